// The parallel renderer: streak lines across a band from its in side to its out side.
#pragma once

#include <cairo.h>

#include "effect_params.h"

struct ParallelGeometry {
  double ix, iy, ir;   // in centre and in range, work-area pixels
  double ox, oy, orr;  // out centre and out range
};

// x values and ranges convert with the horizontal resolution, the two Y values
// with the vertical one.
ParallelGeometry parallel_geometry_in_pixels(const EffectParams *params);

// Factor of a parallel outline for the across-band fraction v.
double freehand_parallel_factor(const FreehandOutline *outline, double v);

void parallel_draw_line(cairo_t *cr, const EffectParams *params);
