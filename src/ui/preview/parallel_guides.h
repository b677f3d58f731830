// Guides and drag handles of the parallel band.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"
#include "freehand.h"
#include "zipstroke_parallel.h"

// The ends of both sides: I+ = I + (ir/2)n, I- = I - (ir/2)n, and likewise at O,
// with n the band's direction d = (O - I)/|O - I| turned a quarter turn
// clockwise on screen, n = (-d.y, d.x).  When the centres coincide the band
// takes the renderer's direction d = (1, 0), so n = (0, 1).
struct BandCorners {
  Point2 in_plus, in_minus, out_plus, out_minus;
};

BandCorners parallel_band_corners(double ix, double iy, double ox, double oy, double ir,
                                  double orr);
// The points at across-band position t (0 at the + ends, 1 at the - ends) on
// the in side and on the out side.
void parallel_band_points(const BandCorners &corners, double t, Point2 *pin, Point2 *pout);
// Position of p across the band, 0..1, or -1 outside.  Along the axis the band
// goes on past both sides, its width changing linearly; a band whose centres
// coincide has no inside.
double parallel_band_position(const ParallelGeometry &geometry, Point2 p);
// The same position before it is limited to the band: below 0 beyond the +
// edge, above 1 beyond the - edge; NaN where the band has no width.
double parallel_band_position_unlimited(const ParallelGeometry &geometry, Point2 p);

void parallel_draw_guides(cairo_t *cr, EffectParams *params);
// The cursor over user point (x, y) of cr (a preview context): what a press there grabs.
GdkCursorType parallel_cursor_at(cairo_t *cr, const EffectParams *params, double x, double y);
gboolean parallel_handle_event(cairo_t *cr, GdkEvent *event, EffectParams *params);

enum ParallelDragTarget {
  PARALLEL_DRAG_NONE = 0,
  PARALLEL_DRAG_BAND = 1,
  PARALLEL_DRAG_IN_POINT = 2,
  PARALLEL_DRAG_OUT_POINT = 3,
  PARALLEL_DRAG_IN_SIDE = 4,
  PARALLEL_DRAG_OUT_SIDE = 5,
  PARALLEL_DRAG_IN_RANGE = 6,
  PARALLEL_DRAG_OUT_RANGE = 7,
  PARALLEL_DRAG_EDGES = 8,
};
// The handle grabbed by the press in progress.
int parallel_drag_target_get();
