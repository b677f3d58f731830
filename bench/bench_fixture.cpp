#include "bench_fixture.h"

#include <cstring>

#include "image_services.h"

EffectParams bench_default_params(int w, int h, int area_type) {
  FixedImage image;
  image.width = w;
  image.height = h;
  image_services_install_fixed(image);
  static EffectParams params;  // large (four outlines); keep it off the stack
  std::memset(&params, 0, sizeof params);
  effect_params_init_run_fields(&params, 1, 2);
  effect_params_set_defaults(&params);
  params.area_type = area_type;
  return params;
}

int bench_rounds(int fallback) {
  const char *env = std::getenv("ZIPSTROKE_BENCH_ROUNDS");
  if (env && std::atoi(env) > 0) return std::atoi(env);
  return fallback;
}

std::string bench_case_name(int area_type, int w, int h) {
  return std::string(area_type == AREA_RADIATION ? "radial/" : "parallel/") +
         std::to_string(w) + "x" + std::to_string(h);
}

SurfaceDiff surface_diff(cairo_surface_t *a, cairo_surface_t *b) {
  cairo_surface_flush(a);
  cairo_surface_flush(b);
  const int w = cairo_image_surface_get_width(a);
  const int h = cairo_image_surface_get_height(a);
  const int bpp = cairo_image_surface_get_format(a) == CAIRO_FORMAT_A8 ? 1 : 4;
  const int sa = cairo_image_surface_get_stride(a), sb = cairo_image_surface_get_stride(b);
  const unsigned char *da = cairo_image_surface_get_data(a);
  const unsigned char *db = cairo_image_surface_get_data(b);
  SurfaceDiff d{0, 0};
  for (int y = 0; y < h; ++y) {
    const unsigned char *ra = da + static_cast<size_t>(y) * sa;
    const unsigned char *rb = db + static_cast<size_t>(y) * sb;
    if (std::memcmp(ra, rb, static_cast<size_t>(w) * bpp) == 0) continue;
    for (int x = 0; x < w; ++x) {
      bool differs = false;
      for (int k = 0; k < bpp; ++k) {
        const int diff = std::abs(ra[x * bpp + k] - rb[x * bpp + k]);
        if (diff) differs = true;
        if (diff > d.max_byte) d.max_byte = diff;
      }
      if (differs) ++d.pixels;
    }
  }
  return d;
}

void surface_clear(cairo_surface_t *surface) {
  cairo_surface_flush(surface);
  const size_t bytes = static_cast<size_t>(cairo_image_surface_get_stride(surface)) *
                       cairo_image_surface_get_height(surface);
  std::memset(cairo_image_surface_get_data(surface), 0, bytes);
  cairo_surface_mark_dirty(surface);
}
