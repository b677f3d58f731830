// The preview: the picture of the work area, the lines drawn live, zoom and
// the routing of mouse events to the handler of the current area type.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"

GtkWidget *preview_new(EffectParams *params);

// A cairo context on `window` whose user space is the work area in pixels.
cairo_t *preview_context_new(GdkWindow *window);

// A length meant in screen pixels, in user units.
double preview_length_to_user(double px);

void preview_zoom_in();
void preview_zoom_out();

double preview_scale_get();
int preview_zoom_get();

// Freehand editing flags: the outline being edited (0 none, 1..4) and whether
// the press in progress started a stroke.
int freehand_edit_target_get();
int freehand_drawing_get();
