#include "line_cache.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "area_pixels.h"
#include "cairo_ptr.h"
#include "cairo_save_guard.h"
#include "color.h"
#include "layer_bands.h"
#include "zipstroke_parallel.h"
#include "zipstroke_radiation.h"

namespace {

// Rows per band: two bands for each thread, so the threads share the work
// evenly, but not fewer rows than this: each band a line reaches sets the
// line up again (64-row bands cost a sixth more than 256-row ones).
constexpr int MIN_BAND_ROWS = 96;

struct Held {
  SurfacePtr coverage;  // A8, w x h
  // The record as the lines see it (see lines_key), the resolution, the
  // device matrix and the device rectangle the coverage was drawn for.
  GPtr<EffectParams> key;
  Resolution resolution{};
  cairo_matrix_t matrix{};
  int x = 0, y = 0, w = 0, h = 0;
  // Where the lines were anchored (see anchor_of), in work-area pixels.
  double anchor_x = 0, anchor_y = 0, shape_x = 0, shape_y = 0;
};
// The lines of the view as they are.
Held held;
// While a drag moves every line alike: the lines with room around the view,
// shifted to follow the drag (see line_cache_set_drag).
Held roomy;
LineDrag drag = LineDrag::None;
long renders = 0;
// How long the last drawing of the view's lines took, in microseconds.
gint64 last_render_us = 0;

// Room kept around the view for a drag, in device pixels: half the view's
// longer side, so the centre can travel that far before the lines are drawn
// again, but no more than this.
constexpr int MAX_ROOM = 1024;
// A band move whose two ends moved by amounts at most this far apart (in
// device pixels: the controls round each end on its own) still counts as
// moving every line alike.
constexpr double SHAPE_TOLERANCE = 1.0 / 64;

// The record with the fields the lines never read cleared: the colour's
// red, green and blue (laid on at each expose; its alpha shapes the
// coverage where lines overlap) and where the dialog's window is.
void lines_key(const EffectParams &params, EffectParams *key) {
  std::memcpy(static_cast<void *>(key), &params, sizeof params);
  key->line_color.r = key->line_color.g = key->line_color.b = 0;
  key->window_x = key->window_y = key->window_width = key->window_height = 0;
  key->topmost = 0;
}

// The fields a drag of the centre or of the band changes: cleared in the
// record a move compares.
void clear_anchor(EffectParams *key) {
  key->radiation_x = key->radiation_y = 0;
  key->parallel_in_x = key->parallel_in_Y = key->parallel_out_x = key->parallel_out_Y = 0;
}

// The point every line of the record moves with, and for a band the out
// centre relative to it, in work-area pixels.
void anchor_of(const EffectParams *params, const Resolution &res, Held *h) {
  if (params->area_type == AREA_RADIATION) {
    const RadialGeometry g = radial_geometry_in_pixels(params, res);
    h->anchor_x = g.cx, h->anchor_y = g.cy;
    h->shape_x = h->shape_y = 0;
  } else {
    const ParallelGeometry g = parallel_geometry_in_pixels(params, res);
    h->anchor_x = g.ix, h->anchor_y = g.iy;
    h->shape_x = g.ox - g.ix, h->shape_y = g.oy - g.iy;
  }
}

bool same_matrix(const cairo_matrix_t &a, const cairo_matrix_t &b) {
  return a.xx == b.xx && a.yx == b.yx && a.xy == b.xy && a.yy == b.yy && a.x0 == b.x0 &&
         a.y0 == b.y0;
}

// Draws the coverage for this record, matrix and rectangle into `to`;
// false (and nothing held there) when it cannot.
bool render(Held &to, const EffectParams *params, const cairo_matrix_t &m, int x, int y, int w,
            int h) {
  to = Held{};
  SurfacePtr coverage(cairo_image_surface_create(CAIRO_FORMAT_A8, w, h));
  if (cairo_surface_status(coverage.get()) != CAIRO_STATUS_SUCCESS) return false;
  unsigned char *data = cairo_image_surface_get_data(coverage.get());
  const int stride = cairo_image_surface_get_stride(coverage.get());
  cairo_matrix_t view = m;
  view.x0 -= x;
  view.y0 -= y;
  BandOptions options;
  const int threads = layer_output_threads();
  options.band_rows = std::max(MIN_BAND_ROWS, (h + 2 * threads - 1) / (2 * threads));
  options.transform = &view;
  // Grey and alpha pixels: the alpha is the coverage.
  const BandStatus status = render_layer_bands(
      params, area_resolution(params), w, h, LayerFormat::GRAYA, ColorRGBA{0, 0, 0, 1},
      [&](int y0, int rows, const unsigned char *pixels) {
        for (int r = 0; r < rows; ++r) {
          unsigned char *to = data + static_cast<size_t>(y0 + r) * stride;
          const unsigned char *from = pixels + static_cast<size_t>(r) * w * 2;
          for (int i = 0; i < w; ++i) to[i] = from[2 * i + 1];
        }
        return true;
      },
      options);
  if (status != BandStatus::Done) return false;
  cairo_surface_mark_dirty(coverage.get());
  ++renders;
  to.coverage = std::move(coverage);
  to.key.reset(g_new(EffectParams, 1));
  lines_key(*params, to.key.get());
  to.resolution = area_resolution(params);
  anchor_of(params, to.resolution, &to);
  to.matrix = m;
  to.x = x, to.y = y, to.w = w, to.h = h;
  return true;
}

bool same_view(const Held &h, const EffectParams *params, const cairo_matrix_t &m) {
  if (!h.coverage || !h.key || !same_matrix(h.matrix, m)) return false;
  const Resolution r = area_resolution(params);
  return r.x == h.resolution.x && r.y == h.resolution.y;
}

bool still_valid(const EffectParams *params, const cairo_matrix_t &m, int x, int y, int w, int h) {
  if (!same_view(held, params, m) || held.x != x || held.y != y || held.w != w || held.h != h)
    return false;
  static GPtr<EffectParams> now(g_new(EffectParams, 1));
  lines_key(*params, now.get());
  return std::memcmp(now.get(), held.key.get(), sizeof(EffectParams)) == 0;
}

// Whether the roomy coverage, shifted by whole device pixels, holds the lines
// of params over the view's rectangle: the record differs from the one it was
// drawn for only in where its lines stand.  The shift goes to (*dx, *dy).
bool roomy_follows(const EffectParams *params, const cairo_matrix_t &m, int x, int y, int w,
                   int h, int *dx, int *dy) {
  if (!same_view(roomy, params, m)) return false;
  static GPtr<EffectParams> now(g_new(EffectParams, 1)), then(g_new(EffectParams, 1));
  lines_key(*params, now.get());
  std::memcpy(static_cast<void *>(then.get()), roomy.key.get(), sizeof(EffectParams));
  clear_anchor(now.get());
  clear_anchor(then.get());
  if (std::memcmp(now.get(), then.get(), sizeof(EffectParams)) != 0) return false;
  Held a;
  anchor_of(params, roomy.resolution, &a);
  // Work-area pixels to device pixels, without the translation.
  const auto device = [&m](double ux, double uy, double *px, double *py) {
    *px = m.xx * ux + m.xy * uy;
    *py = m.yx * ux + m.yy * uy;
  };
  double sx, sy, ex, ey;
  device(a.anchor_x - roomy.anchor_x, a.anchor_y - roomy.anchor_y, &sx, &sy);
  device(a.shape_x - roomy.shape_x, a.shape_y - roomy.shape_y, &ex, &ey);
  if (!(std::fabs(ex) <= SHAPE_TOLERANCE && std::fabs(ey) <= SHAPE_TOLERANCE)) return false;
  if (!(std::fabs(sx) < 1e6 && std::fabs(sy) < 1e6)) return false;
  *dx = static_cast<int>(std::lround(sx));
  *dy = static_cast<int>(std::lround(sy));
  // The shifted coverage must still cover the whole view.
  return roomy.x + *dx <= x && roomy.y + *dy <= y && roomy.x + *dx + roomy.w >= x + w &&
         roomy.y + *dy + roomy.h >= y + h;
}

// The coverage of params with room around the view's rectangle.
bool render_roomy(const EffectParams *params, const cairo_matrix_t &m, int x, int y, int w,
                  int h) {
  const int room = std::min(MAX_ROOM, std::max(w, h) / 2);
  return render(roomy, params, m, x - room, y - room, w + 2 * room, h + 2 * room);
}

}  // namespace

void line_cache_draw(cairo_t *cr, const EffectParams *params, double x, double y, int w, int h) {
  if (params->area_type != AREA_RADIATION && params->area_type != AREA_PARALLEL &&
      params->area_type != AREA_PATH)
    return;
  // The coverage is held in the target's own pixels: on a screen of two
  // pixels a point (GTK 3's window scale), twice as many a side.
  double sx = 1, sy = 1;
  cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
  if (!(sx >= 1 && sx <= 8)) sx = 1;
  if (!(sy >= 1 && sy <= 8)) sy = 1;
  cairo_matrix_t m, scale;
  cairo_get_matrix(cr, &m);
  cairo_matrix_init_scale(&scale, sx, sy);
  cairo_matrix_multiply(&m, &m, &scale);
  const ColorRGBA &c = params->line_color;
  const bool placed = w > 0 && h > 0 && std::fabs(x) < 1e6 && std::fabs(y) < 1e6 &&
                      std::isfinite(m.xx + m.yx + m.xy + m.yy + m.x0 + m.y0);
  const int ix = placed ? static_cast<int>(std::floor(x * sx)) : 0;
  const int iy = placed ? static_cast<int>(std::floor(y * sy)) : 0;
  const int iw = static_cast<int>(std::ceil(w * sx)), ih = static_cast<int>(std::ceil(h * sy));
  // While a drag moves every line alike, the lines follow it as the roomy
  // coverage shifted; at rest (and at the press) they are drawn as always,
  // and the roomy coverage is made ready for the next motion.
  int dx = 0, dy = 0;
  const Held *shown = nullptr;
  if (placed && drag != LineDrag::None) {
    const bool follows = roomy_follows(params, m, ix, iy, iw, ih, &dx, &dy);
    if (!follows) dx = dy = 0;
    const bool ready = follows || render_roomy(params, m, ix, iy, iw, ih);
    if (drag == LineDrag::Moving && ready && !still_valid(params, m, ix, iy, iw, ih))
      shown = &roomy;
  }
  if (shown == nullptr && placed && !still_valid(params, m, ix, iy, iw, ih)) {
    const gint64 start = g_get_monotonic_time();
    render(held, params, m, ix, iy, iw, ih);
    last_render_us = g_get_monotonic_time() - start;
  }
  if (shown == nullptr && held.coverage && still_valid(params, m, ix, iy, iw, ih)) {
    shown = &held;
    dx = dy = 0;
  }
  CairoSaveGuard saved(cr);
  if (shown == nullptr) {
    // Straight onto the target, as the layer output would draw them.
    cairo_set_source_rgba(cr, color_channel_clamped(c.r), color_channel_clamped(c.g),
                          color_channel_clamped(c.b), color_channel_clamped(c.a));
    area_draw_lines(cr, params);
    return;
  }
  cairo_identity_matrix(cr);
  cairo_set_source_rgb(cr, color_channel_clamped(c.r), color_channel_clamped(c.g),
                       color_channel_clamped(c.b));
  cairo_surface_set_device_scale(shown->coverage.get(), sx, sy);
  cairo_mask_surface(cr, shown->coverage.get(), (shown->x + dx) / sx, (shown->y + dy) / sy);
}

void line_cache_set_drag(LineDrag state) { drag = state; }
LineDrag line_cache_drag() { return drag; }

double line_cache_last_render_ms() { return last_render_us / 1000.0; }

void line_cache_release() {
  held = Held{};
  roomy = Held{};
}

long line_cache_renders() { return renders; }
