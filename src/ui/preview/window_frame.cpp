#include "window_frame.h"

#include <algorithm>
#include <cmath>

#include "cairo_ptr.h"
#include "cairo_save_guard.h"
#include "preview.h"

namespace {

// Opaque: the expose paints the grey background first.
SurfacePtr frame;

cairo_surface_t *frame_of_size(int w, int h) {
  if (frame && cairo_image_surface_get_width(frame.get()) == w &&
      cairo_image_surface_get_height(frame.get()) == h)
    return frame.get();
  frame.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h));
  if (cairo_surface_status(frame.get()) != CAIRO_STATUS_SUCCESS) frame.reset();
  return frame.get();
}

}  // namespace

void window_frame_paint(cairo_t *cr, EffectParams *params) {
  int w = 0, h = 0;
  preview_view_size(&w, &h);
  // In the window's own pixels (GTK 3 may give two a point).
  double sx = 1, sy = 1;
  cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
  if (!(sx >= 1 && sx <= 8)) sx = 1;
  if (!(sy >= 1 && sy <= 8)) sy = 1;
  cairo_surface_t *target =
      w > 0 && h > 0 ? frame_of_size(static_cast<int>(std::ceil(w * sx)),
                                     static_cast<int>(std::ceil(h * sy)))
                     : nullptr;
  if (target == nullptr) {
    preview_draw_window(cr, params);
    return;
  }
  cairo_surface_set_device_scale(target, sx, sy);
  // Only what the expose asks for (a window uncovered may need a strip).
  double x1, y1, x2, y2;
  cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
  x1 = std::max(0.0, std::floor(x1)), y1 = std::max(0.0, std::floor(y1));
  x2 = std::min(static_cast<double>(w), std::ceil(x2));
  y2 = std::min(static_cast<double>(h), std::ceil(y2));
  if (!(x2 > x1 && y2 > y1)) return;
  {
    CairoPtr fc(cairo_create(target));
    cairo_rectangle(fc.get(), x1, y1, x2 - x1, y2 - y1);
    cairo_clip(fc.get());
    preview_draw_window(fc.get(), params);
  }
  cairo_surface_flush(target);
  CairoSaveGuard saved(cr);
  cairo_set_source_surface(cr, target, 0, 0);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_rectangle(cr, x1, y1, x2 - x1, y2 - y1);
  cairo_fill(cr);
}

void window_frame_release() { frame.reset(); }
