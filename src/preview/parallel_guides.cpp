#include "parallel_guides.h"

BandCorners parallel_band_corners(double, double, double, double, double, double) {
  return {};
}
void parallel_band_points(const BandCorners &, double, Point2 *pin, Point2 *pout) {
  *pin = {0, 0};
  *pout = {0, 0};
}
double parallel_band_position(const ParallelGeometry &, Point2) { return -1; }
void parallel_draw_guides(cairo_t *, EffectParams *) {}
gboolean parallel_handle_event(cairo_t *, GdkEvent *, EffectParams *) { return FALSE; }
