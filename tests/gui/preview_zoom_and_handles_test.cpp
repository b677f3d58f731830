// Inspecting the lines closely: every edge reacts within 5 screen pixels at
// every zoom, both ellipses show a handle, the cursor tells what a press
// grabs, and the preview grows with the window.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "gtk_test_compat.h"
#include "geometry.h"
#include "preview_fixture.h"
#include "area_pixels.h"

namespace {

using PreviewInspect = PreviewHarness;

// Steps the zoom to `scale` window pixels per image pixel (one of the zoom's own stops).
void zoom_to_scale(double scale) {
  for (int i = 0; i < 12 && preview_view_scale() > scale * (1 + 1e-9); ++i) preview_zoom_out();
  for (int i = 0; i < 12 && preview_view_scale() < scale * (1 - 1e-9); ++i) preview_zoom_in();
  ASSERT_NEAR(preview_view_scale(), scale, 1e-12);
}

double fit_of(int w, int h) {
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  return std::min({static_cast<double>(vw) / w, static_cast<double>(vh) / h, 1.0});
}

// Whether the window pixel at p shows the guides' colour (0, 0.5, 1).
bool guide_coloured(cairo_surface_t *surface, Point2 p) {
  const int x = static_cast<int>(std::floor(p.x)), y = static_cast<int>(std::floor(p.y));
  if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(surface) ||
      y >= cairo_image_surface_get_height(surface))
    return false;
  const uint32_t px = *reinterpret_cast<const uint32_t *>(
      cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface) + 4 * x);
  const int r = (px >> 16) & 0xff, g = (px >> 8) & 0xff, b = px & 0xff;
  return r < 8 && std::abs(g - 128) <= 2 && b > 250;
}

}  // namespace

// A press 5 screen pixels inside or outside either ellipse grabs that ellipse
// at every zoom; 12 pixels from every guide it grabs nothing.
TEST_F(PreviewInspect, EllipseEdgesReactWithinFiveScreenPixelsAtEveryZoom) {
  build(FixedImage{});  // 640 x 480, centre (320, 240)
  set_spin(dialog_widgets.radiation_in_radius_spin, 80);
  set_spin(dialog_widgets.radiation_out_radius_spin, 150);
  set_spin(dialog_widgets.radiation_oblateness_spin, 0);
  const double fit = fit_of(640, 480);
  for (double k : {fit / 4, fit, 1.0, 4.0}) {
    zoom_to_scale(k);
    SCOPED_TRACE(testing::Message() << "scale " << k);
    for (double degrees : {30.0, 135.0, 250.0}) {
      const double c = std::cos(degrees * G_PI / 180), s = std::sin(degrees * G_PI / 180);
      for (double off : {-5.0, 5.0}) {
        // The outer ellipse, dragged 10 screen pixels outwards.
        double r = 150 + off / k;
        press(320 + r * c, 240 + r * s);
        motion(320 + (r + 10 / k) * c, 240 + (r + 10 / k) * s);
        release(320 + (r + 10 / k) * c, 240 + (r + 10 / k) * s);
        // The edge goes where the pointer goes (to the spin button's thousandth).
        EXPECT_NEAR(params.radiation_out_radius, r + 10 / k, 0.0006) << degrees << " " << off;
        EXPECT_DOUBLE_EQ(params.radiation_in_radius, 80);
        set_spin(dialog_widgets.radiation_out_radius_spin, 150);
        set_spin(dialog_widgets.radiation_oblateness_spin, 0);
        // The inner one, likewise (where the band leaves room between them).
        if (70 / k <= 2 * 5) continue;
        r = 80 + off / k;
        press(320 + r * c, 240 + r * s);
        motion(320 + (r + 10 / k) * c, 240 + (r + 10 / k) * s);
        release(320 + (r + 10 / k) * c, 240 + (r + 10 / k) * s);
        EXPECT_NEAR(params.radiation_in_radius, r + 10 / k, 0.0006) << degrees << " " << off;
        EXPECT_DOUBLE_EQ(params.radiation_out_radius, 150);
        set_spin(dialog_widgets.radiation_in_radius_spin, 80);
      }
    }
    if (k >= fit) {
      // Midway across the band, well away from the spokes' ends: nothing.
      const EffectParams before = params;
      const double r = 115, c = std::cos(0.9), s = std::sin(0.9);
      if (35 * k >= 12) {
        drag({320 + r * c, 240 + r * s}, {320 + (r + 20) * c, 240 + (r + 20) * s});
        EXPECT_EQ(params.radiation_in_radius, before.radiation_in_radius);
        EXPECT_EQ(params.radiation_out_radius, before.radiation_out_radius);
        EXPECT_EQ(params.radiation_x, before.radiation_x);
      }
    }
  }
}

TEST_F(PreviewInspect, BandEdgesAndSidesReactWithinFiveScreenPixelsAtEveryZoom) {
  build(FixedImage{}, AREA_PARALLEL);
  // In side x = 100 from y 140 to 340, out side x = 540 from y 90 to 390.
  set_spin(dialog_widgets.parallel_in_x_spin, 100);
  set_spin(dialog_widgets.parallel_in_Y_spin, 240);
  set_spin(dialog_widgets.parallel_in_range_spin, 200);
  set_spin(dialog_widgets.parallel_out_x_spin, 540);
  set_spin(dialog_widgets.parallel_out_Y_spin, 240);
  set_spin(dialog_widgets.parallel_out_range_spin, 300);
  const double fit = fit_of(640, 480);
  for (double k : {fit / 4, fit, 1.0, 4.0}) {
    zoom_to_scale(k);
    SCOPED_TRACE(testing::Message() << "scale " << k);
    for (double off : {-5.0, 5.0}) {
      // The in side, a third of the way down (far from its discs at any zoom
      // but the farthest, where 50 image pixels are still 12 screen pixels).
      press(100 + off / k, 190);
      EXPECT_EQ(preview_drag_handle(), GuideHandle::BandInSide) << off;
      release(100 + off / k, 190);
      press(540 + off / k, 150);
      EXPECT_EQ(preview_drag_handle(), GuideHandle::BandOutSide) << off;
      release(540 + off / k, 150);
      // The lower edge runs from (100, 340) to (540, 390): 5 screen pixels across it.
      const double len = std::hypot(440, 50);
      const Point2 on = {320, 365};
      const Point2 n = {-50 / len, 440 / len};
      press(on.x + n.x * off / k, on.y + n.y * off / k);
      EXPECT_EQ(preview_drag_handle(), GuideHandle::BandEdges) << off;
      release(on.x, on.y);
    }
  }
}

// The inner ellipse's handle sits on its right end as the outer one's does on
// its own, a disc of the guides' colour 8 screen pixels across at any zoom.
TEST_F(PreviewInspect, BothEllipsesShowAHandleAtEveryZoom) {
  build(FixedImage{});
  set_spin(dialog_widgets.radiation_in_radius_spin, 60);
  set_spin(dialog_widgets.radiation_out_radius_spin, 150);
  set_spin(dialog_widgets.radiation_oblateness_spin, 0.25);  // A_out 200, A_in 110
  params.area_type = AREA_RADIATION;
  const double fit = fit_of(640, 480);
  for (double k : {fit, 1.0, 4.0}) {
    zoom_to_scale(k);
    SCOPED_TRACE(testing::Message() << "scale " << k);
    for (double a : {110.0, 200.0}) {
      preview_pan_to(320 + a, 240);  // at 400 % the handles lie off the middle
      cairo_surface_t *surface = draw_expose(&params);
      const Point2 centre = to_window(320 + a, 240);
      int inside = 0, blue = 0;
      // Every pixel whose centre lies within 6.5 screen pixels of the handle's centre.
      for (int dy = -7; dy <= 7; ++dy)
        for (int dx = -7; dx <= 7; ++dx) {
          const Point2 p = {std::floor(centre.x) + dx + 0.5, std::floor(centre.y) + dy + 0.5};
          if (std::hypot(p.x - centre.x, p.y - centre.y) > 6.5) continue;
          ++inside;
          blue += guide_coloured(surface, p);
        }
      EXPECT_GT(inside, 120);
      EXPECT_EQ(blue, inside) << "handle at A = " << a;
      // Just outside the disc on the axis above it, the picture (or a spoke) shows.
      EXPECT_FALSE(guide_coloured(surface, {centre.x, centre.y - 11})) << a;
      cairo_surface_destroy(surface);
    }
  }
  // The new handle grabs the inner ellipse (a press inside its disc, off the line).
  zoom_to_scale(1.0);
  preview_pan_to(430, 240);
  press(430, 240 - 7);
  motion(450, 240 - 7);
  release(450, 240 - 7);
  EXPECT_GT(params.radiation_in_radius, 60);
  EXPECT_DOUBLE_EQ(params.radiation_out_radius, 150);
}

// With no button held, the cursor shows what a press at the pointer would move.
TEST_F(PreviewInspect, TheCursorShowsWhatAPressGrabs) {
  build(FixedImage{});
  set_spin(dialog_widgets.radiation_in_radius_spin, 80);
  set_spin(dialog_widgets.radiation_out_radius_spin, 150);
  set_spin(dialog_widgets.radiation_oblateness_spin, 0);
  struct Case {
    Point2 at;
    GdkCursorType cursor;
  };
  const double fit = fit_of(640, 480);
  for (double k : {fit, 4.0}) {
    zoom_to_scale(k);
    SCOPED_TRACE(k);
    const Case cases[] = {
        {{320, 240}, GDK_FLEUR},                 // the centre
        {{320, 240 - 150 - 4 / k}, GDK_SIZING},  // the outer ellipse, 4 px off
        {{320 - 80 + 4 / k, 240}, GDK_SIZING},   // the inner ellipse
        {{470, 240}, GDK_CROSSHAIR},             // the oblateness handle
        {{400 + 2 / k, 240 + 7 / k}, GDK_SIZING},  // the inner ellipse's handle
        {{20, 20}, GDK_ARROW},                   // nothing
    };
    for (const Case &c : cases) {
      preview_pan_to(c.at.x, c.at.y);
      motion(c.at.x, c.at.y);
      EXPECT_EQ(preview_cursor_get(), c.cursor) << c.at.x << ", " << c.at.y;
      EXPECT_EQ(cursor_type(), c.cursor) << c.at.x << ", " << c.at.y;
    }
  }
  // Drawing an outline, the pencil shows wherever the pointer goes.
  set_active(dialog_widgets.radiation_in_freehand.check, true);
  gtk_button_clicked(GTK_BUTTON(dialog_widgets.radiation_in_freehand.edit_button));
  motion(320, 240);
  EXPECT_EQ(cursor_type(), GDK_PENCIL);
  gtk_button_clicked(GTK_BUTTON(dialog_widgets.radiation_in_freehand.edit_button));
  EXPECT_EQ(cursor_type(), GDK_ARROW);
  motion(320, 240);
  EXPECT_EQ(cursor_type(), GDK_FLEUR);

  // The band: its middle moves it, its sides and edges resize, its ends' discs go where dropped.
  params.area_type = AREA_PARALLEL;
  zoom_to_scale(fit);
  const Case band[] = {
      {{320, 240}, GDK_FLEUR},       // the band's middle
      {{0, 240}, GDK_CROSSHAIR},     // the in point
      {{3, 120}, GDK_SIZING},        // the in side
      {{320, 480 - 3}, GDK_SIZING},  // an edge
      {{640, 480}, GDK_CROSSHAIR},   // a range disc
      {{200, 300}, GDK_ARROW},
  };
  for (const Case &c : band) {
    motion(c.at.x, c.at.y);
    EXPECT_EQ(cursor_type(), c.cursor) << c.at.x << ", " << c.at.y;
  }
}

// The window can be resized; the preview takes the room and the fitting zoom
// follows it, while a fixed magnification stays as it is.
TEST_F(PreviewInspect, ThePreviewGrowsWithTheWindow) {
  build(FixedImage{});
  EXPECT_TRUE(gtk_window_get_resizable(GTK_WINDOW(window)));
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  const double before = preview_view_scale();
  gint ww = 0, wh = 0;
  gtk_window_get_size(GTK_WINDOW(window), &ww, &wh);
  gtk_window_resize(GTK_WINDOW(window), ww + 400, wh + 300);
  ASSERT_TRUE(wait_for_preview_size(vw + 400, vh + 300));
  int grown_w = 0, grown_h = 0;
  preview_view_size(&grown_w, &grown_h);
  EXPECT_EQ(grown_w, vw + 400);
  EXPECT_EQ(grown_h, vh + 300);
  EXPECT_DOUBLE_EQ(preview_view_scale(), std::min({grown_w / 640.0, grown_h / 480.0, 1.0}));
  EXPECT_GT(preview_view_scale(), before);
  // The work area stays centred in the larger view.
  const Point2 middle = to_window(320, 240);
  EXPECT_DOUBLE_EQ(middle.x, grown_w / 2.0);
  EXPECT_DOUBLE_EQ(middle.y, grown_h / 2.0);
  // What the widget paints is the whole larger view.
  cairo_surface_t *surface = draw_expose(&params);
  EXPECT_EQ(cairo_image_surface_get_width(surface), grown_w);
  cairo_surface_destroy(surface);
}

// At 400 %, panned to the right of the centre, a freehand stroke lands where
// it is drawn: the samples it covers take its distance over the ellipse's.
TEST_F(PreviewInspect, FreehandDrawingWorksZoomedIn) {
  build(FixedImage{});
  set_spin(dialog_widgets.radiation_in_radius_spin, 100);
  set_spin(dialog_widgets.radiation_out_radius_spin, 200);
  set_spin(dialog_widgets.radiation_oblateness_spin, 0);
  set_active(dialog_widgets.radiation_in_freehand.check, true);
  gtk_button_clicked(GTK_BUTTON(dialog_widgets.radiation_in_freehand.edit_button));
  zoom_to_scale(4.0);
  preview_pan_to(320 + 110, 240);
  auto at = [](double degrees) {
    return Point2{320 + 110 * std::cos(degrees * G_PI / 180), 240 + 110 * std::sin(degrees * G_PI / 180)};
  };
  press(at(-10).x, at(-10).y);
  for (int degrees = -8; degrees <= 10; degrees += 2) motion(at(degrees).x, at(degrees).y);
  release(at(10).x, at(10).y);
  const FreehandOutline &o = params.radiation_in_freehand;
  int written = 0;
  for (const FreehandSample &sample : o.samples) {
    double degrees = sample.pos * 180 / G_PI;
    if (degrees > 180) degrees -= 360;
    if (std::fabs(degrees) < 9.5) {
      EXPECT_NEAR(sample.factor, 1.1, 1e-9) << degrees;
      ++written;
    } else if (std::fabs(degrees) > 10.5) {
      EXPECT_EQ(sample.factor, 1.0) << degrees;
    }
  }
  EXPECT_GT(written, 50);
}
