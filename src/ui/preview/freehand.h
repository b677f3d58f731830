// Freehand outlines: the three controls of each row, the edit target and the
// capture that turns pointer motion into factors.
#pragma once

#include <gtk/gtk.h>

#include "dialog_widgets.h"
#include "effect_params.h"

// Edit targets, in the order of the rows.
enum FreehandTarget {
  FREEHAND_NONE = 0,
  FREEHAND_RADIATION_IN = 1,
  FREEHAND_RADIATION_OUT = 2,
  FREEHAND_PARALLEL_IN = 3,
  FREEHAND_PARALLEL_OUT = 4,
};

// A row: check button "FreeHand", "Edit Start", "Reset" and an expanding label.
// Fills *row with the three controls; both buttons start insensitive.
GtkWidget *make_freehand_row(EffectParams *params, FreehandRow *row);

// Selects the outline being edited (0 none), with the pencil or arrow cursor.
void freehand_set_edit_target(int target);
void on_freehand_toggled(GtkToggleButton *check, EffectParams *params);
void on_freehand_edit_clicked(GtkButton *button, EffectParams *params);
void on_freehand_reset_clicked(GtkButton *button, EffectParams *params);

struct Point2 {
  double x, y;
};

// One motion of a stroke from `last` to `current` (preview user units).
void freehand_capture_radial(EffectParams *params, Point2 last, Point2 current);
void freehand_capture_parallel(EffectParams *params, Point2 last, Point2 current);

// A whole stroke of the outline being edited: its press, each motion (captured
// as above), and its release.  A radial stroke that has gone round the
// centre (11/12 of a turn or more) is closed at its release, the samples between its last
// and its first point filled in as a motion between them would; a parallel
// stroke that came in over one edge of the band and left over the other gets
// the parts of those two motions inside the band as well.  Any other stroke
// ends where it ended.
void freehand_stroke_begin(EffectParams *params, Point2 p);
void freehand_stroke_to(EffectParams *params, Point2 p);
void freehand_stroke_end(EffectParams *params);
