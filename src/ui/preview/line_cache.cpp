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

namespace {

// Rows per band: two bands for each thread, so the threads share the work
// evenly, but not fewer rows than this: each band a line reaches sets the
// line up again (64-row bands cost a sixth more than 256-row ones).
constexpr int MIN_BAND_ROWS = 96;

struct Held {
  SurfacePtr coverage;  // A8, w x h
  // The record as the lines see it (see lines_key), the resolution, the
  // device matrix and the view's rectangle the coverage was drawn for.
  GPtr<EffectParams> key;
  Resolution resolution{};
  cairo_matrix_t matrix{};
  int x = 0, y = 0, w = 0, h = 0;
};
Held held;
long renders = 0;

// The record with the fields the lines never read cleared: the colour's
// red, green and blue (laid on at each expose; its alpha shapes the
// coverage where lines overlap) and where the dialog's window is.
void lines_key(const EffectParams &params, EffectParams *key) {
  std::memcpy(static_cast<void *>(key), &params, sizeof params);
  key->line_color.r = key->line_color.g = key->line_color.b = 0;
  key->window_x = key->window_y = key->window_width = key->window_height = 0;
  key->topmost = 0;
}

bool same_matrix(const cairo_matrix_t &a, const cairo_matrix_t &b) {
  return a.xx == b.xx && a.yx == b.yx && a.xy == b.xy && a.yy == b.yy && a.x0 == b.x0 &&
         a.y0 == b.y0;
}

// Draws the coverage for this record, matrix and rectangle into `held`;
// false (and nothing held) when it cannot.
bool render(const EffectParams *params, const cairo_matrix_t &m, int x, int y, int w, int h) {
  held = Held{};
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
  held.coverage = std::move(coverage);
  held.key.reset(g_new(EffectParams, 1));
  lines_key(*params, held.key.get());
  held.resolution = area_resolution(params);
  held.matrix = m;
  held.x = x, held.y = y, held.w = w, held.h = h;
  return true;
}

bool still_valid(const EffectParams *params, const cairo_matrix_t &m, int x, int y, int w, int h) {
  if (!held.coverage || !held.key || held.x != x || held.y != y || held.w != w || held.h != h ||
      !same_matrix(held.matrix, m))
    return false;
  const Resolution r = area_resolution(params);
  if (!(r.x == held.resolution.x && r.y == held.resolution.y)) return false;
  static GPtr<EffectParams> now(g_new(EffectParams, 1));
  lines_key(*params, now.get());
  return std::memcmp(now.get(), held.key.get(), sizeof(EffectParams)) == 0;
}

}  // namespace

void line_cache_draw(cairo_t *cr, const EffectParams *params, double x, double y, int w, int h) {
  if (params->area_type != AREA_RADIATION && params->area_type != AREA_PARALLEL) return;
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
  const bool usable = placed && (still_valid(params, m, ix, iy, iw, ih) ||
                                 render(params, m, ix, iy, iw, ih));
  CairoSaveGuard saved(cr);
  if (!usable) {
    // Straight onto the target, as the layer output would draw them.
    cairo_set_source_rgba(cr, color_channel_clamped(c.r), color_channel_clamped(c.g),
                          color_channel_clamped(c.b), color_channel_clamped(c.a));
    area_draw_lines(cr, params);
    return;
  }
  cairo_identity_matrix(cr);
  cairo_set_source_rgb(cr, color_channel_clamped(c.r), color_channel_clamped(c.g),
                       color_channel_clamped(c.b));
  cairo_surface_set_device_scale(held.coverage.get(), sx, sy);
  cairo_mask_surface(cr, held.coverage.get(), held.x / sx, held.y / sy);
}

void line_cache_release() { held = Held{}; }

long line_cache_renders() { return renders; }
