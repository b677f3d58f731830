// Freehand outlines: the three controls of each row, the edit target and the
// capture that turns pointer motion into factors.
#pragma once

#include <gtk/gtk.h>

#include "dialog_widgets.h"
#include "effect_params.h"

// A row: check button "FreeHand", "Edit Start", "Reset" and an expanding label.
GtkWidget *make_freehand_row(EffectParams *params, FreehandRow *row);

void freehand_set_edit_target(int target);
void on_freehand_toggled(GtkToggleButton *check, EffectParams *params);
void on_freehand_edit_clicked(GtkButton *button, EffectParams *params);
void on_freehand_reset_clicked(GtkButton *button, EffectParams *params);

struct Point2 {
  double x, y;
};

void freehand_capture_radial(EffectParams *params, Point2 last, Point2 current);
void freehand_capture_parallel(EffectParams *params, Point2 last, Point2 current);
