// Guides and drag handles of the radial area.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"

void radiation_draw_guides(cairo_t *cr, EffectParams *params);
gboolean radiation_handle_event(cairo_t *cr, GdkEvent *event, EffectParams *params);
double ellipse_radial_offset(double r, double ob, double cx, double cy, double mx, double my);
