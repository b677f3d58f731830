// Rendering a whole effect at full size, shared by the layer output, the
// headless renderer and the benchmarks.
#pragma once

#include <cairo.h>

#include "effect_params.h"
#include "image_services.h"

// Draws the lines of params->area_type (nothing for any other value) onto cr,
// untransformed: one user unit is one pixel of the work area.
// Lengths convert to pixels with `res`, the image's resolution as the caller
// knows it.
void render_effect(cairo_t *cr, const EffectParams *params, const Resolution &res);
