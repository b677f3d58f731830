// The Path page of the area options: the band's widths at the spine's start
// and end with the freehand outlines of either end, and the spine: its
// number of points, "From Path" and "Draw Spine".  Its controls follow the record as every
// other control does: path_controls_sync shows a record, and each control's
// handler writes its own field.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"

// The page, built for the live record; the controls' handlers get params.
GtkWidget *path_page_new(EffectParams *params);

// Shows the record's widths (a width that is not a number is left as shown)
// in the limits of its unit, and the spine's length in points.
void path_controls_sync(const EffectParams *params);

// Moves the spine's point `index` of the page's record to `value` along one
// axis (clamped as a position control clamps it).
void path_controls_move_spine_point(int index, bool vertical, double value);

// Shows the page's record's spine anew (after it was drawn on the preview).
void path_controls_spine_changed();

// The spin button of path_in_range or path_out_range, or nullptr.
GtkWidget *path_spin_for_key(const char *key);

// Greys out "From Path" while the record's image has no path.
void path_controls_update_from_path(const EffectParams *params);
