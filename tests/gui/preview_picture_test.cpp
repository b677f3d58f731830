// The picture under the lines as the user sees it: zoomed out, thin line art
// keeps its brightness and its detail (each screen pixel the mean of what it
// covers); zoomed in, the picture shows the image's own pixels, fetched for
// the part in view once the view stands still.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "preview_fixture.h"

namespace {

using PreviewPicture = PreviewHarness;

FixedImage image_of(int w, int h) {
  FixedImage image;
  image.width = w;
  image.height = h;
  return image;
}

// Black one-pixel lines on white: vertical lines on every other column in
// the upper half, diagonal lines every fourth pixel in the lower half.
uint32_t line_art(int x, int y) {
  const bool black = y < 240 ? x % 2 == 0 : (x + y) % 4 == 0;
  return black ? 0x000000u : 0xffffffu;
}

// A pixel checker under two gradients: every image pixel differs from each neighbour.
uint32_t pixel_checker(int x, int y) {
  const uint32_t r = (x * 7) & 0xff, g = (y * 5) & 0xff, b = (x + y) % 2 ? 230 : 25;
  return r << 16 | g << 8 | b;
}

uint32_t shown_at(cairo_surface_t *surface, int x, int y) {
  return *reinterpret_cast<const uint32_t *>(cairo_image_surface_get_data(surface) +
                                             y * cairo_image_surface_get_stride(surface) + 4 * x) &
         0xffffff;
}

// The mean grey of the line art over the work-area rectangle [u0, u1) x [v0, v1).
double box_mean(double u0, double u1, double v0, double v1) {
  double sum = 0;
  for (int y = static_cast<int>(std::floor(v0)); y < v1; ++y)
    for (int x = static_cast<int>(std::floor(u0)); x < u1; ++x) {
      const double wx = std::min(u1, x + 1.0) - std::max(u0, static_cast<double>(x));
      const double wy = std::min(v1, y + 1.0) - std::max(v0, static_cast<double>(y));
      if (wx > 0 && wy > 0) sum += wx * wy * (line_art(x, y) & 0xff);
    }
  return sum / ((u1 - u0) * (v1 - v0));
}

// Horizontal and vertical neighbour differences squared, averaged: how much
// detail a grid of grey values shows.
double edge_energy(const std::vector<double> &grey, int w, int h) {
  double sum = 0;
  long n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double v = grey[y * w + x];
      if (x + 1 < w) sum += std::pow(grey[y * w + x + 1] - v, 2), ++n;
      if (y + 1 < h) sum += std::pow(grey[(y + 1) * w + x] - v, 2), ++n;
    }
  return n ? sum / n : 0;
}

// The work-area rectangle a view of vw x vh window pixels shows at scale k
// about the point (px, py), whole image pixels, inside a w x h work area.
struct Rect {
  int x, y, w, h;
};
Rect visible_rect(int vw, int vh, double k, double px, double py, int w, int h) {
  const int x0 = static_cast<int>(std::floor(std::max(0.0, px - vw / (2 * k))));
  const int y0 = static_cast<int>(std::floor(std::max(0.0, py - vh / (2 * k))));
  const int x1 = static_cast<int>(std::ceil(std::min(static_cast<double>(w), px + vw / (2 * k))));
  const int y1 = static_cast<int>(std::ceil(std::min(static_cast<double>(h), py + vh / (2 * k))));
  return {x0, y0, x1 - x0, y1 - y0};
}

// The image pixels a window pixel may show when magnified: the one under its
// centre, or either one when the centre lies on their border.
std::pair<int, int> under_centre(double c) {
  const double r = std::round(c);
  if (std::fabs(c - r) < 1e-6) return {static_cast<int>(r) - 1, static_cast<int>(r)};
  return {static_cast<int>(std::floor(c)), static_cast<int>(std::floor(c))};
}

// Magnified, every window pixel over the image shows the image pixel under
// its centre exactly.  Returns how many were checked; adds the mismatches to
// *wrong.
int check_image_pixels(cairo_surface_t *surface, double k, double px, double py, int w, int h,
                       uint32_t (*image)(int, int), int *wrong) {
  const int vw = cairo_image_surface_get_width(surface);
  const int vh = cairo_image_surface_get_height(surface);
  int checked = 0;
  for (int Y = 0; Y < vh; ++Y)
    for (int X = 0; X < vw; ++X) {
      const double u0 = (X - vw / 2.0) / k + px, v0 = (Y - vh / 2.0) / k + py;
      if (u0 < 0 || v0 < 0 || u0 + 1 / k > w || v0 + 1 / k > h) continue;
      const auto cx = under_centre(u0 + 0.5 / k), cy = under_centre(v0 + 0.5 / k);
      const uint32_t shown = shown_at(surface, X, Y);
      bool match = false;
      for (int i : {cx.first, cx.second})
        for (int j : {cy.first, cy.second})
          match = match || (i >= 0 && j >= 0 && i < w && j < h && shown == image(i, j));
      ++checked;
      if (!match) ++*wrong;
    }
  return checked;
}

}  // namespace

// Zoomed out, each screen pixel shows the mean of the image over the
// rectangle it covers: the line art keeps its brightness (no lines dropped
// or thickened) and its detail (no moiré), against that mean computed here
// from the image itself.  At 100 % it is the image's own pixels.  An odd
// size puts the work area's edges inside screen pixels at most zooms.
TEST_F(PreviewPicture, ZoomedOutLineArtKeepsItsBrightnessAndDetail) {
  source_image_set(line_art);
  thumbnail = source_thumbnail;
  build(image_of(481, 481));
  params.area_type = AREA_NONE_FOR_TESTS;  // the picture alone
  ASSERT_DOUBLE_EQ(preview_scale_get(), 1.0);
  for (int zoom = 100; zoom >= 25; zoom -= 25) {
    SCOPED_TRACE(zoom);
    if (zoom < 100) preview_zoom_out();
    ASSERT_EQ(preview_zoom_get(), zoom);
    const double k = preview_view_scale();
    ASSERT_NEAR(k, zoom / 100.0, 1e-12);
    double px = 0, py = 0;
    preview_pan_get(&px, &py);
    cairo_surface_t *surface = draw_expose(&params);
    const int vw = cairo_image_surface_get_width(surface);
    const int vh = cairo_image_surface_get_height(surface);
    // The screen pixels wholly over the image.
    const int x0 = static_cast<int>(std::ceil(vw / 2.0 - px * k));
    const int y0 = static_cast<int>(std::ceil(vh / 2.0 - py * k));
    const int x1 = static_cast<int>(std::floor(vw / 2.0 + (481 - px) * k));
    const int y1 = static_cast<int>(std::floor(vh / 2.0 + (481 - py) * k));
    if (zoom == 100) {
      // The image's own pixels (a window of odd size puts their borders
      // mid-pixel: either neighbour then).
      int wrong = 0;
      EXPECT_GT(check_image_pixels(surface, k, px, py, 481, 481, line_art, &wrong), 400 * 400);
      EXPECT_EQ(wrong, 0);
      cairo_surface_destroy(surface);
      continue;
    }
    // Each half of the line art on its own: lines of either kind must keep their weight.
    for (int half = 0; half < 2; ++half) {
      SCOPED_TRACE(half ? "diagonal lines" : "vertical lines");
      const double split = vh / 2.0 + (240 - py) * k;
      const int top = half ? static_cast<int>(std::ceil(split)) : y0;
      const int bottom = half ? y1 : static_cast<int>(std::floor(split));
      const int w = x1 - x0, h = bottom - top;
      ASSERT_GT(w * h, 1000);
      std::vector<double> shown, expected;
      double error = 0;
      for (int Y = top; Y < bottom; ++Y)
        for (int X = x0; X < x1; ++X) {
          const double u0 = (X - vw / 2.0) / k + px, v0 = (Y - vh / 2.0) / k + py;
          expected.push_back(box_mean(u0, u0 + 1 / k, v0, v0 + 1 / k));
          const uint32_t c = shown_at(surface, X, Y);
          shown.push_back(((c >> 16 & 0xff) + (c >> 8 & 0xff) + (c & 0xff)) / 3.0);
          error += std::fabs(shown.back() - expected.back());
        }
      double mean_shown = 0, mean_expected = 0;
      for (size_t i = 0; i < shown.size(); ++i) mean_shown += shown[i], mean_expected += expected[i];
      mean_shown /= shown.size();
      mean_expected /= expected.size();
      EXPECT_NEAR(mean_shown, mean_expected, 2.0);
      const double detail_shown = edge_energy(shown, w, h);
      const double detail_expected = edge_energy(expected, w, h);
      EXPECT_NEAR(detail_shown, detail_expected, 0.15 * detail_expected + 20)
          << "neighbour difference squared";
      EXPECT_LT(error / shown.size(), 3.0) << "mean difference from the box mean";
    }
    cairo_surface_destroy(surface);
  }
  source_image_set(nullptr);
}

// Between the thumbnail's resolution and the image's own, the part in view
// is fetched at the resolution it is shown at, on both axes; a middle-button
// drag far past the work area's corner stops with the view at that corner.
TEST_F(PreviewPicture, AViewBetweenThumbnailAndImageIsFetchedAtItsOwnScale) {
  source_image_set(pixel_checker);
  thumbnail = source_thumbnail;
  build(image_of(4000, 3000));
  params.area_type = AREA_NONE_FOR_TESTS;
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  for (int i = 0; i < 8 && preview_view_scale() < 0.5 - 1e-9; ++i) preview_zoom_in();
  ASSERT_NEAR(preview_view_scale(), 0.5, 1e-12);
  wait_for_detail();
  double px = 0, py = 0;
  preview_pan_get(&px, &py);
  const Rect r = visible_rect(vw, vh, 0.5, px, py, 4000, 3000);
  EXPECT_EQ(last_thumbnail_request.w, r.w);
  EXPECT_EQ(last_thumbnail_request.h, r.h);
  EXPECT_EQ(last_thumbnail_request.thumb_w, (r.w + 1) / 2);
  EXPECT_EQ(last_thumbnail_request.thumb_h, (r.h + 1) / 2);

  press(vw / 2.0, vh / 2.0, 2);
  motion(vw / 2.0 + 5000, vh / 2.0 + 5000);
  preview_pan_get(&px, &py);
  EXPECT_NEAR(px, vw / (2 * 0.5), 1e-9) << "the view's left edge on the work area's";
  EXPECT_NEAR(py, vh / (2 * 0.5), 1e-9);
  motion(vw / 2.0 - 9000, vh / 2.0 - 9000);
  preview_pan_get(&px, &py);
  EXPECT_NEAR(px, 4000 - vw / (2 * 0.5), 1e-9);
  EXPECT_NEAR(py, 3000 - vh / (2 * 0.5), 1e-9);
  release(vw / 2.0 - 9000, vh / 2.0 - 9000, 2);
  source_image_set(nullptr);
}

// GTK 3 draws a widget through its toplevel's context moved to the widget,
// so the widget's corner is not device (0, 0): the expose there must be the
// same picture, to the last column and row, as one drawn at the corner (a
// picture kept only for the device rectangle from (0, 0) lost the columns
// past the view's width), also far into a large window.  Fitted, zoomed out,
// and zoomed in with a pan.
TEST_F(PreviewPicture, TheExposeIsTheSameWhereverTheWidgetLiesInItsWindow) {
  source_image_set(pixel_checker);
  thumbnail = source_thumbnail;
  build(image_of(640, 480));
  params.area_type = AREA_NONE_FOR_TESTS;
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  for (int step = 0; step < 3; ++step) {
    SCOPED_TRACE(step);
    if (step == 1) preview_zoom_out();
    if (step == 2) {
      preview_zoom_in();
      preview_zoom_in();
      preview_zoom_in();
      preview_pan_to(600, 40);
    }
    cairo_surface_t *at_corner = draw_expose(&params);
    // Far along one axis at a time, the other as before.
    for (const auto &[DX, DY] : {std::pair<int, int>{1800, 0}, std::pair<int, int>{0, 1800}}) {
      cairo_surface_t *moved = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, vw + 2 * DX, vh + 2 * DY);
      cairo_t *cr = cairo_create(moved);
      cairo_rectangle(cr, DX, DY, vw, vh);
      cairo_clip(cr);
      cairo_translate(cr, DX, DY);
      preview_draw_window(cr, &params);
      cairo_destroy(cr);
      cairo_surface_flush(moved);
      int differ = 0;
      for (int y = 0; y < vh; ++y)
        for (int x = 0; x < vw; ++x)
          if (shown_at(at_corner, x, y) != shown_at(moved, x + DX, y + DY)) ++differ;
      EXPECT_EQ(differ, 0) << "of " << vw << " x " << vh << " at " << DX << ", " << DY;
      // And the picture reaches the view's last column where the work area does.
      const double k = preview_view_scale();
      double px = 0, py = 0;
      preview_pan_get(&px, &py);
      const double right = vw / 2.0 + (640 - px) * k;
      if (right >= vw) {
        const uint32_t background = shown_at(at_corner, 0, 0);
        const int y = static_cast<int>(std::clamp(vh / 2.0 + (240 - py) * k, 0.0, vh - 1.0));
        EXPECT_NE(shown_at(moved, vw - 1 + DX, y + DY), background);
      }
      cairo_surface_destroy(moved);
    }
    cairo_surface_destroy(at_corner);
  }
  source_image_set(nullptr);
}

// Zoomed in past the thumbnail's resolution, the part in view is fetched
// again at the image's own pixels, bounded to what the view shows (zooming
// further in about the middle needs no new fetch): at 100, 200 and 400 %
// every screen pixel within one image pixel shows exactly that pixel.  The fetch waits for the main loop (a run of zoom steps fetches
// once, for the last view); a middle-button pan fetches nothing while it
// drags, keeps showing a picture meanwhile, and fetches the new view after
// the release.
TEST_F(PreviewPicture, ZoomedInItShowsTheImagesOwnPixelsOfTheViewOnly) {
  source_image_set(pixel_checker);
  thumbnail = source_thumbnail;
  build(image_of(4000, 3000));
  params.area_type = AREA_NONE_FOR_TESTS;
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  int tw = 0, th = 0;
  preview_picture_size(&tw, &th);
  ASSERT_EQ(tw, 500);
  EXPECT_FALSE(preview_detail_pending()) << "fitting, the thumbnail is as fine as the screen";
  int dw = 0, dh = 0;
  preview_detail_size(&dw, &dh);
  EXPECT_EQ(dw, 0);

  // Steps up to 100 % of the image's pixels: nothing is fetched inside the steps.
  const int calls = last_thumbnail_request.calls;
  for (int i = 0; i < 12 && preview_view_scale() < 1 - 1e-9; ++i) preview_zoom_in();
  ASSERT_NEAR(preview_view_scale(), 1.0, 1e-12);
  EXPECT_EQ(last_thumbnail_request.calls, calls);
  EXPECT_TRUE(preview_detail_pending());
  // A press while it is due holds the fetch back; the release asks again.
  press(vw / 2.0, vh / 2.0, 1);
  wait_for_detail();
  EXPECT_EQ(last_thumbnail_request.calls, calls);
  release(vw / 2.0, vh / 2.0, 1);
  EXPECT_TRUE(preview_detail_pending());

  for (double k : {1.0, 2.0, 4.0}) {
    SCOPED_TRACE(k);
    for (int i = 0; i < 4 && preview_view_scale() < k - 1e-9; ++i) preview_zoom_in();
    ASSERT_NEAR(preview_view_scale(), k, 1e-12);
    const int before = last_thumbnail_request.calls;
    wait_for_detail();
    double px = 0, py = 0;
    preview_pan_get(&px, &py);
    if (k == 1) {
      EXPECT_EQ(last_thumbnail_request.calls, before + 1) << "one fetch for the view";
      const Rect r = visible_rect(vw, vh, k, px, py, 4000, 3000);
      EXPECT_EQ(last_thumbnail_request.x, r.x);
      EXPECT_EQ(last_thumbnail_request.y, r.y);
      EXPECT_EQ(last_thumbnail_request.w, r.w);
      EXPECT_EQ(last_thumbnail_request.h, r.h);
      EXPECT_EQ(last_thumbnail_request.thumb_w, r.w) << "the image's own pixels";
      EXPECT_EQ(last_thumbnail_request.thumb_h, r.h);
      EXPECT_LE(last_thumbnail_request.w, vw + 2) << "no more than the view shows";
    } else {
      // Zooming in about the middle shows part of what was fetched at 100 %.
      EXPECT_EQ(last_thumbnail_request.calls, before);
    }
    cairo_surface_t *surface = draw_expose(&params);
    int wrong = 0;
    EXPECT_GT(check_image_pixels(surface, k, px, py, 4000, 3000, pixel_checker, &wrong), vw * vh * 9 / 10);
    EXPECT_EQ(wrong, 0);
    cairo_surface_destroy(surface);
  }

  // Moved by a call (as by the wheel): the part now in view is asked for,
  // and meanwhile the thumbnail shows around the fetched part (the view at
  // 100 %), on every side.
  double x0 = 0, y0 = 0;
  preview_pan_get(&x0, &y0);
  for (const double d : {0.5, -0.5}) {
    preview_pan_to(x0 + d * vw, y0 + d * vh);
    EXPECT_TRUE(preview_detail_pending());
    cairo_surface_t *surface = draw_expose(&params);
    int empty = 0;  // the checker's blue is never 0
    for (int y = 0; y < vh; ++y)
      for (int x = 0; x < vw; ++x) empty += (shown_at(surface, x, y) & 0xff) == 0;
    EXPECT_EQ(empty, 0) << d;
    cairo_surface_destroy(surface);
  }
  preview_pan_to(x0 + 200, y0);
  EXPECT_TRUE(preview_detail_pending());
  wait_for_detail();

  // A middle-button pan at 400 %: no fetch while it drags.
  double px = 0, py = 0;
  preview_pan_get(&px, &py);
  const int before_pan = last_thumbnail_request.calls;
  press(px, py, 2);
  for (int step = 1; step <= 5; ++step) {
    motion(px - 20 * step, py - 12 * step);  // the view follows the pointer: it moves right and down
    pump();
    EXPECT_FALSE(preview_detail_pending());
  }
  g_main_context_iteration(nullptr, FALSE);
  EXPECT_EQ(last_thumbnail_request.calls, before_pan);
  double qx = 0, qy = 0;
  preview_pan_get(&qx, &qy);
  ASSERT_GT(std::fabs(qx - px), vw / 4.0) << "panned by more than the view's half width";
  // Meanwhile the newly shown part has a picture (the thumbnail), not the grey.
  {
    cairo_surface_t *surface = draw_expose(&params);
    EXPECT_NE(shown_at(surface, vw - 3, vh - 3), 0x454545u);
    cairo_surface_destroy(surface);
  }
  release(px - 100, py - 60, 2);
  EXPECT_TRUE(preview_detail_pending());
  wait_for_detail();
  EXPECT_EQ(last_thumbnail_request.calls, before_pan + 1);
  preview_pan_get(&qx, &qy);
  const Rect r = visible_rect(vw, vh, 4, qx, qy, 4000, 3000);
  EXPECT_EQ(last_thumbnail_request.x, r.x);
  EXPECT_EQ(last_thumbnail_request.y, r.y);
  EXPECT_EQ(last_thumbnail_request.w, r.w);
  EXPECT_EQ(last_thumbnail_request.h, r.h);
  EXPECT_EQ(last_thumbnail_request.thumb_w, r.w);
  EXPECT_LE(last_thumbnail_request.w, vw / 4.0 + 2) << "no more than the view shows";
  cairo_surface_t *surface = draw_expose(&params);
  int wrong = 0;
  EXPECT_GT(check_image_pixels(surface, 4, qx, qy, 4000, 3000, pixel_checker, &wrong), vw * vh * 9 / 10);
  EXPECT_EQ(wrong, 0);
  cairo_surface_destroy(surface);

  // Back at fitting the thumbnail serves again and the fetched part is let go.
  for (int i = 0; i < 12 && preview_zoom_get() > 100; ++i) preview_zoom_out();
  ASSERT_EQ(preview_zoom_get(), 100);
  EXPECT_FALSE(preview_detail_pending());
  preview_detail_size(&dw, &dh);
  EXPECT_EQ(dw, 0);
  EXPECT_EQ(dh, 0);
  source_image_set(nullptr);
}

namespace {
int refused_details = 0;
// A host that gives the thumbnail of the whole work area and nothing else.
GdkPixbuf *whole_area_only(int32_t id, int x, int y, int w, int h, int thumb_w, int thumb_h) {
  if (x != 0 || y != 0 || w != 4000 || h != 3000) {
    ++refused_details;
    return nullptr;
  }
  return source_thumbnail(id, x, y, w, h, thumb_w, thumb_h);
}
}  // namespace

// A host that cannot give the part in view: the thumbnail stays, and the same
// view is not asked for again and again.
TEST_F(PreviewPicture, AViewTheHostCannotGiveKeepsTheThumbnailAndIsAskedOnce) {
  source_image_set(pixel_checker);
  thumbnail = whole_area_only;
  refused_details = 0;
  build(image_of(4000, 3000));
  params.area_type = AREA_NONE_FOR_TESTS;
  for (int i = 0; i < 12 && preview_view_scale() < 4 - 1e-9; ++i) preview_zoom_in();
  wait_for_detail();
  EXPECT_EQ(refused_details, 1);
  // A click (which asks again for the view after its release) and a redraw.
  press(100, 100);
  release(100, 100);
  EXPECT_FALSE(preview_detail_pending());
  wait_for_detail();
  EXPECT_EQ(refused_details, 1);
  cairo_surface_t *surface = draw_expose(&params);
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  EXPECT_NE(shown_at(surface, vw / 2, vh / 2), 0x454545u) << "the thumbnail still shows";
  cairo_surface_destroy(surface);
  preview_pan_to(1000, 1000);  // another view: asked once more, and refused
  EXPECT_FALSE(preview_detail_fetch_now());
  EXPECT_EQ(refused_details, 2);
  source_image_set(nullptr);
}

namespace {
int32_t left_out_layer = -2;
GdkPixbuf *without_layer(int32_t id, int32_t layer, int x, int y, int w, int h, int thumb_w,
                         int thumb_h) {
  left_out_layer = layer;
  return source_thumbnail(id, x, y, w, h, thumb_w, thumb_h);
}
}  // namespace

// Editing a layer, the part in view is fetched without that layer too.
TEST_F(PreviewPicture, TheEditedLayerStaysOutOfThePartInView) {
  source_image_set(pixel_checker);
  thumbnail = source_thumbnail;
  build(image_of(4000, 3000));
  HostServices host = host_services();
  host.work_area_thumbnail_without = without_layer;
  host_services_install(host);
  preview_picture_init(params.image_id, 17);
  EXPECT_EQ(left_out_layer, 17);
  left_out_layer = -2;
  for (int i = 0; i < 12 && preview_view_scale() < 2 - 1e-9; ++i) preview_zoom_in();
  wait_for_detail();
  EXPECT_EQ(left_out_layer, 17);
  EXPECT_EQ(last_thumbnail_request.thumb_w, last_thumbnail_request.w);
  EXPECT_LT(last_thumbnail_request.w, 4000);
  preview_picture_init(params.image_id, 0);  // a layer id of 0 is a layer too
  EXPECT_EQ(left_out_layer, 0);
  EXPECT_TRUE(preview_detail_pending()) << "the picture taken again asks for the view's part again";
  source_image_set(nullptr);
}

namespace {
// Orange at this alpha.
uint32_t orange_alpha = 0xff;
uint32_t plain_orange(int, int) { return orange_alpha << 24 | 0xc08040u; }

// Window pixel (X, Y) shows the orange over the grey background by the share
// of it the picture covers and by the orange's alpha.
void expect_orange_blend(cairo_surface_t *surface, int X, int Y, double share) {
  const uint32_t shown = shown_at(surface, X, Y);
  for (int shift : {16, 8, 0}) {
    const double picture = (0xc08040u >> shift) & 0xff, grey = 0x45;
    EXPECT_NEAR((shown >> shift) & 0xff, grey + share * orange_alpha / 255.0 * (picture - grey), 2.0)
        << "pixel " << X << ", " << Y << " covered " << share << ", alpha " << orange_alpha
        << ", channel shift " << shift;
  }
}
// An 800 x 600 image of four flat quarters.
uint32_t quarters(int x, int y) { return (x < 400 ? 0xc08040u : 0x4080c0u) ^ (y < 300 ? 0 : 0xffu); }
}  // namespace

// Under a transform that is no plain scale and shift (a half turn), cairo
// samples the picture instead, and it still shows each part in its place, to
// the work area's edges and no further.
TEST_F(PreviewPicture, UnderATurnedTransformThePictureStillShows) {
  source_image_set(quarters);
  thumbnail = source_thumbnail;
  build(image_of(800, 600));
  preview_zoom_out();  // room around the work area on all sides
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, vw, vh);
  cairo_t *cr = cairo_create(surface);
  cairo_translate(cr, vw / 2.0, vh / 2.0);
  cairo_rotate(cr, M_PI);
  cairo_translate(cr, -vw / 2.0, -vh / 2.0);
  preview_apply_transform(cr);
  preview_paint_picture(cr);
  cairo_surface_flush(surface);
  // Work-area points inside each quarter, just inside and outside each edge.
  const struct {
    double u, v;
  } points[] = {{200, 150}, {600, 150}, {200, 450}, {600, 450}, {200, 10}, {200, 590},
                {10, 150},  {790, 150}, {200, -30}, {200, 630}, {-30, 150}, {830, 150}};
  for (const auto &p : points) {
    double x = p.u, y = p.v;
    cairo_user_to_device(cr, &x, &y);
    ASSERT_TRUE(x >= 0 && y >= 0 && x < vw && y < vh) << p.u << ", " << p.v;
    const uint32_t shown = *reinterpret_cast<const uint32_t *>(
        cairo_image_surface_get_data(surface) +
        static_cast<int>(y) * cairo_image_surface_get_stride(surface) + 4 * static_cast<int>(x));
    const bool inside = p.u >= 0 && p.v >= 0 && p.u < 800 && p.v < 600;
    EXPECT_EQ(shown, inside ? 0xff000000u | quarters(p.u, p.v) : 0u) << p.u << ", " << p.v;
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  source_image_set(nullptr);
}

// Where the work area's edge cuts a screen pixel, that pixel shows the
// picture over the grey background by the share of it the picture covers;
// a translucent picture shows the grey through it by its alpha too.
TEST_F(PreviewPicture, EdgesThatCutAPixelBlendByTheShareCovered) {
  for (const uint32_t alpha : {0xffu, 0x80u}) {
    orange_alpha = alpha;
    source_image_set(plain_orange, alpha < 0xff);
    thumbnail = source_thumbnail;
    build(image_of(4000, 3001));
    params.area_type = AREA_NONE_FOR_TESTS;
    int checked = 0;
    for (int zoom = 100; zoom >= 25; zoom -= 25) {
      SCOPED_TRACE(zoom);
      if (zoom < 100) preview_zoom_out();
      const Point2 top_left = to_window(0, 0), bottom_right = to_window(4000, 3001);
      cairo_surface_t *surface = draw_expose(&params);
      const int vw = cairo_image_surface_get_width(surface);
      const int vh = cairo_image_surface_get_height(surface);
      auto expect_blend = [&](int X, int Y, double share) {
        if (X < 0 || Y < 0 || X >= vw || Y >= vh) return;
        expect_orange_blend(surface, X, Y, share);
        ++checked;
      };
      const int middle_x = vw / 2, middle_y = vh / 2;
      const double t = top_left.y, b = bottom_right.y, l = top_left.x, r = bottom_right.x;
      if (t != std::floor(t)) expect_blend(middle_x, static_cast<int>(std::floor(t)), std::ceil(t) - t);
      if (b != std::floor(b)) expect_blend(middle_x, static_cast<int>(std::floor(b)), b - std::floor(b));
      if (l != std::floor(l)) expect_blend(static_cast<int>(std::floor(l)), middle_y, std::ceil(l) - l);
      if (r != std::floor(r)) expect_blend(static_cast<int>(std::floor(r)), middle_y, r - std::floor(r));
      expect_blend(middle_x, middle_y, 1.0);
      cairo_surface_destroy(surface);
    }
    EXPECT_GT(checked, 6) << "edges that cut pixels were found";
    TearDown();
  }
  orange_alpha = 0xff;
  source_image_set(nullptr);
}

// Zoomed in on a work area narrower than the view, its side edges cut
// screen pixels: there the part fetched for the view gives only the share
// it covers, and the thumbnail kept above and below that part gives nothing
// (it stops where the fetched part begins), in every channel, opaque or not.
TEST_F(PreviewPicture, ZoomedInTheSideEdgesBlendByTheShareCovered) {
  for (const uint32_t alpha : {0xffu, 0x80u}) {
    orange_alpha = alpha;
    source_image_set(plain_orange, alpha < 0xff);
    thumbnail = source_thumbnail;
    build(image_of(301, 3000));
    params.area_type = AREA_NONE_FOR_TESTS;
    for (int i = 0; i < 12 && preview_view_scale() < 1 - 1e-9; ++i) preview_zoom_in();
    ASSERT_NEAR(preview_view_scale(), 1.0, 1e-12);
    wait_for_detail();
    int dw = 0, dh = 0;
    preview_detail_size(&dw, &dh);
    ASSERT_EQ(dw, 301) << "the part in view was fetched";
    cairo_surface_t *surface = draw_expose(&params);
    const int vh = cairo_image_surface_get_height(surface);
    const double left = to_window(0, 0).x, right = to_window(301, 0).x;
    ASSERT_NE(left, std::floor(left)) << "an edge that cuts a pixel";
    for (int Y : {2, vh / 2, vh - 3}) {
      expect_orange_blend(surface, static_cast<int>(std::floor(left)), Y, std::ceil(left) - left);
      expect_orange_blend(surface, static_cast<int>(std::floor(right)), Y, right - std::floor(right));
      expect_orange_blend(surface, static_cast<int>(left + right) / 2, Y, 1.0);
    }
    cairo_surface_destroy(surface);
    TearDown();
  }
  orange_alpha = 0xff;
  source_image_set(nullptr);
}
