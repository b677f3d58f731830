// The parallel renderer: streak lines across a band from its in side to its out side.
#pragma once

#include <cairo.h>

#include "effect_params.h"
#include "image_services.h"

struct ParallelGeometry {
  double ix, iy, ir;   // in centre and in range, work-area pixels
  double ox, oy, orr;  // out centre and out range
};

// x values and ranges convert with the horizontal resolution, the two Y values
// with the vertical one.
ParallelGeometry parallel_geometry_in_pixels(const EffectParams *params, const Resolution &res);

// Factor of a parallel outline for the across-band fraction v (clamped to
// 0..1): the factor of the first sample whose pos is at least v, or 0 when
// there is none.
double freehand_parallel_factor(const FreehandOutline *outline, double v);

// How the two outlines shorten a line of `length` at across-band fraction v:
// the inner one moves its start towards its end (in_shift), the outer one its
// end towards its start; `adjustment` is the change of its length.
struct OutlineCut {
  double in_shift = 0.0, adjustment = 0.0;
};
OutlineCut parallel_outline_cut(const FreehandOutline &in, const FreehandOutline &out, double v,
                                double length);

// Draws every line of area type Parallel onto cr in work-area pixels; leaves
// the context's state as it found it.
void parallel_draw_line(cairo_t *cr, const EffectParams *params, const Resolution &res);
