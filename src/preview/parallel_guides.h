// Guides and drag handles of the parallel band.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"
#include "freehand.h"
#include "zipstroke_parallel.h"

struct BandCorners {
  Point2 in_plus, in_minus, out_plus, out_minus;
};

BandCorners parallel_band_corners(double ix, double iy, double ox, double oy, double ir,
                                  double orr);
void parallel_band_points(const BandCorners &corners, double t, Point2 *pin, Point2 *pout);
// Position of p across the band, 0..1, or -1 outside.
double parallel_band_position(const ParallelGeometry &geometry, Point2 p);

void parallel_draw_guides(cairo_t *cr, EffectParams *params);
gboolean parallel_handle_event(cairo_t *cr, GdkEvent *event, EffectParams *params);
