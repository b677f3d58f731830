// The record as the preview draws it: its shapes in work-area pixels, the
// image's resolution and its lines.  The preview's one place that asks the
// engine and the image about them.
#pragma once

#include <cairo.h>

#include "effect_params.h"
#include "geometry.h"
#include "image_services.h"

Resolution area_resolution(const EffectParams *params);
AreaShapes area_shapes(const EffectParams *params);
// The lines of params->area_type in the context's source, in work-area pixels.
void area_draw_lines(cairo_t *cr, const EffectParams *params);
