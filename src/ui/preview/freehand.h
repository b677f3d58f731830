// The freehand rows of the area pages: "FreeHand", "Edit Start" and "Reset"
// for each outline, and the choice of the outline being drawn.
#pragma once

#include <gtk/gtk.h>

#include "dialog_widgets.h"
#include "effect_params.h"
#include "freehand_capture.h"

// A row: check button "FreeHand", "Edit Start", "Reset" and an expanding label.
// Fills *row with the three controls; both buttons start insensitive.
GtkWidget *make_freehand_row(EffectParams *params, FreehandRow *row);

// Selects the outline being drawn (FREEHAND_NONE for none), with the pencil
// or the arrow cursor.
void freehand_set_edit_target(FreehandTarget target);
void on_freehand_toggled(GtkToggleButton *check, EffectParams *params);
void on_freehand_edit_clicked(GtkButton *button, EffectParams *params);
void on_freehand_reset_clicked(GtkButton *button, EffectParams *params);
// The "Draw Spine" toggle: while it is down, a stroke on the preview draws
// the Path band's spine anew (any outline's editing ends).
void on_draw_spine_toggled(GtkToggleButton *toggle, gpointer);
