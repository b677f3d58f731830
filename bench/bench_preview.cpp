// Preview: the cost of painting the image picture in one expose for a large
// work area against a small one, and the cost of one expose's lines against
// the same lines rendered at full size.
#include <gdk/gdk.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include <benchmark/benchmark.h>

#include "bench_fixture.h"
#include "bench_registry.h"
#include "benchmarks.h"
#include "heap_counter.h"
#include "host_services.h"
#include "image_services.h"
#include "paired_timer.h"
#include "preview.h"
#include "render.h"

namespace {

// A stand-in for GIMP's thumbnail of the visible layers: a gradient under a
// grid, so that every thumbnail pixel differs from its neighbours.
GdkPixbuf *stand_in_thumbnail(int32_t, int, int, int, int, int thumb_w, int thumb_h) {
  GdkPixbuf *pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, thumb_w, thumb_h);
  guchar *pixels = gdk_pixbuf_get_pixels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  for (int y = 0; y < thumb_h; ++y)
    for (int x = 0; x < thumb_w; ++x) {
      guchar *p = pixels + static_cast<size_t>(y) * stride + 3 * x;
      const bool grid = x % 16 == 0 || y % 16 == 0;
      p[0] = static_cast<guchar>(grid ? 255 : x * 255 / thumb_w);
      p[1] = static_cast<guchar>(grid ? 255 : y * 255 / thumb_h);
      p[2] = static_cast<guchar>((x * 7 + y * 13) & 0xff);
    }
  return pixbuf;
}

void install_stand_in_host() {
  HostServices host{};
  host.work_area_thumbnail = stand_in_thumbnail;
  host_services_install(host);
}

void use_work_area(int w, int h) {
  FixedImage image;
  image.width = w;
  image.height = h;
  image_services_install_fixed(image);
  preview_picture_init(1);
}

SurfaceRef window_surface() {
  return SurfaceRef(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, PREVIEW_SIZE, PREVIEW_SIZE));
}

void paint_picture(cairo_surface_t *target) {
  ContextRef cr(target);
  preview_apply_transform(cr);
  preview_paint_picture(cr);
  cairo_surface_flush(target);
}

// The preview transform of a w x h work area (longer side 500 or more) at
// zoom z (1 = 100 %).
void apply_preview_transform(cairo_t *cr, int w, int h, double z = 1.0) {
  const double s = static_cast<double>(PREVIEW_SIZE) / std::max(w, h);
  cairo_scale(cr, s * z, s * z);
  const double d = PREVIEW_SIZE / s / z;
  cairo_translate(cr, (d - w) * 0.5, (d - h) * 0.5);
}

// The plain design: the thumbnail enlarged once to the work area's size and
// painted under the preview transform on every expose.
struct PlainPicture {
  GdkPixbuf *full = nullptr;
  int w, h;
  PlainPicture(int width, int height) : w(width), h(height) {
    const double s = static_cast<double>(PREVIEW_SIZE) / std::max(w, h);
    const int tw = w > h ? PREVIEW_SIZE : static_cast<int>(s * w);
    const int th = w > h ? static_cast<int>(s * h) : PREVIEW_SIZE;
    GdkPixbuf *thumb = stand_in_thumbnail(1, 0, 0, w, h, tw, th);
    full = gdk_pixbuf_scale_simple(thumb, w, h, GDK_INTERP_NEAREST);
    g_object_unref(thumb);
  }
  ~PlainPicture() { g_object_unref(full); }
  void paint(cairo_surface_t *target) const {
    ContextRef cr(target);
    apply_preview_transform(cr, w, h);
    gdk_cairo_set_source_pixbuf(cr, full, 0, 0);
    cairo_paint(cr);
    cairo_surface_flush(target);
  }
};

// Share of the window's pixels that do not show the thumbnail pixel under
// their centre or one of its eight neighbours (rounding at the edges of
// picture pixels may pick a neighbour).  Blurred or shifted pictures fail;
// outside the work area the window must stay clear, and only the border may
// be partly covered.
double misplaced_share(cairo_surface_t *window, int w, int h, double z) {
  const double s = static_cast<double>(PREVIEW_SIZE) / std::max(w, h);
  const int tw = w > h ? PREVIEW_SIZE : static_cast<int>(s * w);
  const int th = w > h ? static_cast<int>(s * h) : PREVIEW_SIZE;
  GdkPixbuf *thumb = stand_in_thumbnail(1, 0, 0, w, h, tw, th);
  const guchar *tp = gdk_pixbuf_get_pixels(thumb);
  const int tstride = gdk_pixbuf_get_rowstride(thumb);

  SurfaceRef scratch = window_surface();
  ContextRef cr(scratch);
  apply_preview_transform(cr, w, h, z);
  cairo_surface_flush(window);
  const unsigned char *data = cairo_image_surface_get_data(window);
  const int stride = cairo_image_surface_get_stride(window);
  long misplaced = 0;
  for (int y = 0; y < PREVIEW_SIZE; ++y)
    for (int x = 0; x < PREVIEW_SIZE; ++x) {
      uint32_t px;
      std::memcpy(&px, data + y * stride + 4 * x, 4);
      double ux = x + 0.5, uy = y + 0.5;
      cairo_device_to_user(cr, &ux, &uy);
      const int cx = static_cast<int>(std::floor(ux * tw / w));
      const int cy = static_cast<int>(std::floor(uy * th / h));
      bool ok = false;
      bool inside = false;
      for (int dy = -1; dy <= 1 && !ok; ++dy)
        for (int dx = -1; dx <= 1 && !ok; ++dx) {
          const int tx = cx + dx, ty = cy + dy;
          if (tx < 0 || ty < 0 || tx >= tw || ty >= th) continue;
          if (dx == 0 && dy == 0) inside = true;
          const guchar *t = tp + static_cast<size_t>(ty) * tstride + 3 * tx;
          ok = px == (0xff000000u | uint32_t(t[0]) << 16 | uint32_t(t[1]) << 8 | t[2]);
        }
      if (!ok && !inside) ok = px == 0;
      // The picture's border blends with the clear window where it cuts a
      // window pixel.
      const bool border = cx <= 0 || cy <= 0 || cx >= tw - 1 || cy >= th - 1;
      if (!ok && border) ok = (px >> 24) != 0xff;
      misplaced += !ok;
    }
  g_object_unref(thumb);
  return static_cast<double>(misplaced) / (PREVIEW_SIZE * PREVIEW_SIZE);
}

// Zoomed out, each window pixel wholly over the work area must show the mean
// of the thumbnail over the rectangle it covers (thin lines keep their
// weight).  Returns the largest difference of any channel, in levels.
int largest_box_error(cairo_surface_t *window, int w, int h, double z) {
  const double s = static_cast<double>(PREVIEW_SIZE) / std::max(w, h);
  const int tw = w > h ? PREVIEW_SIZE : static_cast<int>(s * w);
  const int th = w > h ? static_cast<int>(s * h) : PREVIEW_SIZE;
  GdkPixbuf *thumb = stand_in_thumbnail(1, 0, 0, w, h, tw, th);
  const guchar *tp = gdk_pixbuf_get_pixels(thumb);
  const int tstride = gdk_pixbuf_get_rowstride(thumb);
  SurfaceRef scratch = window_surface();
  ContextRef cr(scratch);
  apply_preview_transform(cr, w, h, z);
  cairo_surface_flush(window);
  const unsigned char *data = cairo_image_surface_get_data(window);
  const int stride = cairo_image_surface_get_stride(window);
  int largest = 0;
  for (int y = 0; y < PREVIEW_SIZE; ++y)
    for (int x = 0; x < PREVIEW_SIZE; ++x) {
      double u0 = x, v0 = y, u1 = x + 1, v1 = y + 1;
      cairo_device_to_user(cr, &u0, &v0);
      cairo_device_to_user(cr, &u1, &v1);
      // In thumbnail pixels.
      u0 *= static_cast<double>(tw) / w, u1 *= static_cast<double>(tw) / w;
      v0 *= static_cast<double>(th) / h, v1 *= static_cast<double>(th) / h;
      if (u0 < 0 || v0 < 0 || u1 > tw || v1 > th) continue;
      double sum[3] = {0, 0, 0};
      for (int ty = static_cast<int>(v0); ty < v1; ++ty)
        for (int tx = static_cast<int>(u0); tx < u1; ++tx) {
          const double a = (std::min(u1, tx + 1.0) - std::max(u0, static_cast<double>(tx))) *
                           (std::min(v1, ty + 1.0) - std::max(v0, static_cast<double>(ty)));
          if (a <= 0) continue;
          const guchar *t = tp + static_cast<size_t>(ty) * tstride + 3 * tx;
          for (int c = 0; c < 3; ++c) sum[c] += a * t[c];
        }
      uint32_t px;
      std::memcpy(&px, data + y * stride + 4 * x, 4);
      const double area = (u1 - u0) * (v1 - v0);
      for (int c = 0; c < 3; ++c) {
        const int shown = (px >> (16 - 8 * c)) & 0xff;
        largest = std::max(largest, static_cast<int>(std::lround(std::fabs(shown - sum[c] / area))));
      }
    }
  g_object_unref(thumb);
  return largest;
}

void preview_picture(benchmark::State &state) {
  install_stand_in_host();
  SurfaceRef large = window_surface(), small = window_surface();
  const Side a{[&] {
                 use_work_area(6000, 4000);
                 surface_clear(large);
               },
               [&] { paint_picture(large); }};
  const Side b{[&] {
                 use_work_area(500, 500);
                 surface_clear(small);
               },
               [&] { paint_picture(small); }};
  const PairFigures f = time_pair(state, a, b);
  target_report("preview_picture", f.ratio, 1.5,
                "picture paint 6000x4000 / 500x500: " + std::to_string(f.a_ms) + " ms / " +
                    std::to_string(f.b_ms) + " ms");

  // At every zoom the user must see the same picture, in the same place: at
  // 100 % the thumbnail's pixels, smaller the mean of what each pixel covers.
  use_work_area(6000, 4000);
  std::string shares;
  bool same = true;
  for (int zoom = 100; zoom >= 25; zoom -= 25) {
    surface_clear(large);
    paint_picture(large);
    if (zoom == 100) {
      const double share = misplaced_share(large, 6000, 4000, zoom / 100.0);
      same = same && share == 0.0;
      shares += "100%: " + std::to_string(share * 100.0) + "% of pixels misplaced";
    } else {
      const int error = largest_box_error(large, 6000, 4000, zoom / 100.0);
      same = same && error <= 1;
      shares += ", " + std::to_string(zoom) + "%: " + std::to_string(error) +
                " levels from the box mean at most";
    }
    preview_zoom_out();
  }
  check_report("preview picture in place at every zoom, 6000x4000", same, shares);
  preview_picture_release();

  // What the picture holds for the life of the dialog.
  heap_count_begin();
  use_work_area(6000, 4000);
  heap_count_end();
  const long long held = heap_count_live();
  preview_picture_release();
  heap_count_begin();
  auto *enlarged = new PlainPicture(6000, 4000);
  heap_count_end();
  const long long plain_held = heap_count_live();
  delete enlarged;
  figure_report("preview_picture_held_MB", held / 1e6,
                "picture kept for a 6000x4000 work area (heap counter); the plain design's "
                "enlarged pixbuf holds " + std::to_string(plain_held / 1000000) + " MB");
  // Zoomed in, the part in view is held besides, at most the view's pixels.
  use_work_area(6000, 4000);
  for (int i = 0; i < 12 && preview_view_scale() < 1; ++i) preview_zoom_in();
  heap_count_begin();
  preview_detail_fetch_now();
  heap_count_end();
  figure_report("preview_picture_detail_held_MB", heap_count_live() / 1e6,
                "the part in view at 100 % of a 6000x4000 work area's pixels, 500x500 view");
  preview_picture_release();
}

// The same target at the closer zooms: 6000 x 4000 at 100 % and at 400 % of
// the image's pixels (range(0)), against 500 x 500 fitting.
void preview_picture_zoomed(benchmark::State &state) {
  install_stand_in_host();
  const double magnification = static_cast<double>(state.range(0));
  SurfaceRef large = window_surface(), small = window_surface();
  const Side a{[&] {
                 use_work_area(6000, 4000);
                 for (int i = 0; i < 12 && preview_view_scale() < magnification; ++i)
                   preview_zoom_in();
                 // The part in view at the image's own pixels, as the widget
                 // fetches it once the view stands still.
                 preview_detail_fetch_now();
                 surface_clear(large);
               },
               [&] { paint_picture(large); }};
  const Side b{[&] {
                 use_work_area(500, 500);
                 surface_clear(small);
               },
               [&] { paint_picture(small); }};
  const PairFigures f = time_pair(state, a, b);
  const std::string zoom = std::to_string(static_cast<int>(magnification * 100));
  a.prepare();  // the large side's state, as timed
  int dw = 0, dh = 0;
  preview_detail_size(&dw, &dh);
  check_report("preview picture at " + zoom + " % from the image's own pixels", dw > 0 && dh > 0,
               "part in view fetched: " + std::to_string(dw) + " x " + std::to_string(dh) +
                   " pixels");
  target_report("preview_picture_at_" + zoom + "pct", f.ratio, 1.5,
                "picture paint 6000x4000 at " + zoom + " % / 500x500: " +
                    std::to_string(f.a_ms) + " ms / " + std::to_string(f.b_ms) + " ms");
  preview_picture_release();
}

// The same target zoomed out: 6000 x 4000 at 75, 50 and 25 % of fitting
// (range(0)), where each window pixel is the mean of what it covers.
void preview_picture_zoomed_out(benchmark::State &state) {
  install_stand_in_host();
  const int percent = static_cast<int>(state.range(0));
  SurfaceRef large = window_surface(), small = window_surface();
  const Side a{[&] {
                 use_work_area(6000, 4000);
                 for (int i = 0; i < 4 && preview_zoom_get() > percent; ++i) preview_zoom_out();
                 surface_clear(large);
               },
               [&] { paint_picture(large); }};
  const Side b{[&] {
                 use_work_area(500, 500);
                 surface_clear(small);
               },
               [&] { paint_picture(small); }};
  const PairFigures f = time_pair(state, a, b);
  const std::string zoom = std::to_string(percent);
  target_report("preview_picture_at_" + zoom + "pct_of_fit", f.ratio, 1.5,
                "picture paint 6000x4000 at " + zoom + " % of fitting / 500x500: " +
                    std::to_string(f.a_ms) + " ms / " + std::to_string(f.b_ms) + " ms");
  preview_picture_release();
}

// What a pan costs before the next expose can copy the picture: making the
// picture of the view (the thumbnail enlarged, the part in view over it) at
// 100 % and 400 % of the image's pixels, against cairo painting the
// thumbnail enlarged with nearest sampling onto the same window.
void preview_picture_remake(benchmark::State &state) {
  install_stand_in_host();
  const double magnification = static_cast<double>(state.range(0)) / 100;
  SurfaceRef window = window_surface(), plain = window_surface();
  GdkPixbuf *thumb = stand_in_thumbnail(1, 0, 0, 6000, 4000, 500, 333);
  SurfaceRef thumb_surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 500, 333));
  {
    ContextRef cr(thumb_surface);
    gdk_cairo_set_source_pixbuf(cr, thumb, 0, 0);
    cairo_paint(cr);
  }
  g_object_unref(thumb);
  use_work_area(6000, 4000);
  for (int i = 0; i < 12 && preview_view_scale() < magnification; ++i) preview_zoom_in();
  preview_detail_fetch_now();
  double nudge = 0.25;
  const Side a{[&] {
                 double x = 0, y = 0;
                 preview_pan_get(&x, &y);
                 preview_pan_to(x + nudge, y);  // a new view: the next paint remakes the picture
                 nudge = -nudge;
                 surface_clear(window);
               },
               [&] { paint_picture(window); }};
  const Side b{[&] { surface_clear(plain); },
               [&] {
                 ContextRef cr(plain);
                 preview_apply_transform(cr);
                 cairo_scale(cr, 6000.0 / 500, 4000.0 / 333);
                 cairo_set_source_surface(cr, thumb_surface, 0, 0);
                 cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
                 cairo_paint(cr);
                 cairo_surface_flush(plain);
               }};
  const PairFigures f = time_pair(state, a, b);
  figure_report("preview_picture_remake_at_" + std::to_string(state.range(0)) + "pct", f.ratio,
                "picture of a new view, 6000x4000 / cairo nearest paint of the thumbnail: " +
                    std::to_string(f.a_ms) + " ms / " + std::to_string(f.b_ms) + " ms");
  preview_picture_release();
}

void preview_picture_plain(benchmark::State &state) {
  const PlainPicture large_picture(6000, 4000), small_picture(500, 500);
  SurfaceRef large = window_surface(), small = window_surface();
  const Side a{[&] { surface_clear(large); }, [&] { large_picture.paint(large); }};
  const Side b{[&] { surface_clear(small); }, [&] { small_picture.paint(small); }};
  const PairFigures f = time_pair(state, a, b);
  figure_report("preview_picture_plain_design", f.ratio,
                "full-size enlarged pixbuf, 6000x4000 / 500x500: " + std::to_string(f.a_ms) +
                    " ms / " + std::to_string(f.b_ms) + " ms");
}

void preview_lines(benchmark::State &state) {
  const int w = 6000, h = 4000;
  const EffectParams params = bench_default_params(w, h, AREA_RADIATION);
  SurfaceRef window = window_surface();
  SurfaceRef full(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
  const ColorRGBA &c = params.line_color;
  const Side preview{[&] { surface_clear(window); },
                     [&] {
                       ContextRef cr(window);
                       apply_preview_transform(cr, w, h);
                       cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
                       render_effect(cr, &params, image_resolution(params.image_id));
                       cairo_surface_flush(window);
                     }};
  const Side full_size{[&] { surface_clear(full); },
                       [&] {
                         ContextRef cr(full);
                         render_effect(cr, &params, image_resolution(params.image_id));
                         cairo_surface_flush(full);
                       }};
  const PairFigures f = time_pair(state, preview, full_size);
  figure_report("preview_lines_radial_6000x4000", f.ratio,
                "one expose's lines at zoom 100 / the same lines at full size: " +
                    std::to_string(f.a_ms) + " ms / " + std::to_string(f.b_ms) + " ms");
}

// One whole expose (background, picture, lines, guides) of the default radial
// effect, for a large work area against a small one.
void preview_expose(benchmark::State &state) {
  install_stand_in_host();
  static EffectParams large_params, small_params;
  large_params = bench_default_params(6000, 4000, AREA_RADIATION);
  small_params = bench_default_params(500, 500, AREA_RADIATION);
  SurfaceRef large = window_surface(), small = window_surface();
  const Side a{[&] { use_work_area(6000, 4000); },
               [&] {
                 ContextRef cr(large);
                 preview_draw_window(cr, &large_params);
                 cairo_surface_flush(large);
               }};
  const Side b{[&] { use_work_area(500, 500); },
               [&] {
                 ContextRef cr(small);
                 preview_draw_window(cr, &small_params);
                 cairo_surface_flush(small);
               }};
  const PairFigures f = time_pair(state, a, b);
  figure_report("preview_expose_radial", f.ratio,
                "whole expose 6000x4000 / 500x500: " + std::to_string(f.a_ms) + " ms / " +
                    std::to_string(f.b_ms) + " ms");
  preview_picture_release();
}

}  // namespace

void register_preview_benchmarks() {
  benchmark::RegisterBenchmark("preview_picture/6000x4000_vs_500x500", preview_picture)
      ->UseManualTime()
      ->Iterations(bench_rounds(31))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("preview_picture_zoomed/6000x4000_vs_500x500",
                               preview_picture_zoomed)
      ->Arg(1)
      ->Arg(4)
      ->UseManualTime()
      ->Iterations(bench_rounds(31))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("preview_picture_zoomed_out/6000x4000_vs_500x500",
                               preview_picture_zoomed_out)
      ->Arg(75)
      ->Arg(50)
      ->Arg(25)
      ->UseManualTime()
      ->Iterations(bench_rounds(31))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("preview_picture_remake/6000x4000", preview_picture_remake)
      ->Arg(100)
      ->Arg(400)
      ->UseManualTime()
      ->Iterations(bench_rounds(21))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("preview_picture_plain/6000x4000_vs_500x500",
                               preview_picture_plain)
      ->UseManualTime()
      ->Iterations(bench_rounds(11))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("preview_lines/radial/6000x4000", preview_lines)
      ->UseManualTime()
      ->Iterations(bench_rounds(9))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("preview_expose/radial/6000x4000_vs_500x500", preview_expose)
      ->UseManualTime()
      ->Iterations(bench_rounds(21))
      ->Unit(benchmark::kMillisecond);
}
