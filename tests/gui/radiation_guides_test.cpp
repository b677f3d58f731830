// Radial guides and handles: hit-test order, the drags through the spin
// buttons, units, and degenerate geometry.
#include <cairo.h>

#include "preview_fixture.h"
#include "area_pixels.h"

namespace {

class RadiationGuides : public PreviewHarness {
 protected:
  // 640 x 480 at 72 dpi, centre (320, 240), radii 80 and 150 pixels.
  void build_small(double oblateness = 0, FixedImage image = FixedImage{}) {
    build(image);
    set_spin(dialog_widgets.radiation_in_radius_spin, 80);
    set_spin(dialog_widgets.radiation_out_radius_spin, 150);
    set_spin(dialog_widgets.radiation_oblateness_spin, oblateness);
  }
  GtkWidget *in_spin() { return dialog_widgets.radiation_in_radius_spin; }
  GtkWidget *out_spin() { return dialog_widgets.radiation_out_radius_spin; }
  GtkWidget *ob_spin() { return dialog_widgets.radiation_oblateness_spin; }
};

int count_red_pixels(cairo_surface_t *surface) {
  const unsigned char *data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  int n = 0;
  for (int y = 0; y < PREVIEW_SIZE; ++y)
    for (int x = 0; x < PREVIEW_SIZE; ++x) {
      const uint32_t p = *reinterpret_cast<const uint32_t *>(data + y * stride + 4 * x);
      if (((p >> 16) & 0xff) > 200 && ((p >> 8) & 0xff) < 60 && (p & 0xff) < 60) ++n;
    }
  return n;
}

}  // namespace

TEST_F(RadiationGuides, OblatenessHandleWinsOverTheOuterEllipse) {
  build_small();
  // (470, 240) is both on the outer ellipse and inside the handle's disc.
  drag({470, 240}, {490, 240});
  EXPECT_NEAR(spin(ob_spin()), 1 - 150.0 / 170.0, 1e-9);
  EXPECT_DOUBLE_EQ(spin(out_spin()), 150);
  EXPECT_DOUBLE_EQ(params.radiation_oblateness, spin(ob_spin()));
}

TEST_F(RadiationGuides, OuterEllipseDragKeepsTheInnerEllipseAndAnEvenBand) {
  build_small(0.25);  // A_out 200, A_in 130
  drag({320, 240 - 150}, {320, 240 - 160});  // straight up: measured from the top point
  EXPECT_NEAR(params.radiation_out_radius, 160, 1e-9);
  const double a_out = params.radiation_out_radius / (1 - params.radiation_oblateness);
  const double a_in = a_out - (params.radiation_out_radius - params.radiation_in_radius);
  EXPECT_NEAR(a_in, 130, 1e-9);
  EXPECT_NEAR(a_out - a_in, params.radiation_out_radius - params.radiation_in_radius, 1e-9);
  EXPECT_DOUBLE_EQ(params.radiation_in_radius, 80);
}

TEST_F(RadiationGuides, InnerEllipseDragFollowsThePointerAlongItsRay) {
  build_small(0.25);  // inner ellipse: A 130, R 80
  press(320 + 130, 240);  // the inner ellipse's right end
  motion(320 + 150, 240);
  EXPECT_NEAR(params.radiation_in_radius, 100, 1e-9);
  motion(320, 240 - 70);  // every motion measures from the ellipse at the press
  EXPECT_NEAR(params.radiation_in_radius, 70, 1e-9);
  release(320, 170);
  EXPECT_DOUBLE_EQ(params.radiation_out_radius, 150);
  EXPECT_DOUBLE_EQ(params.radiation_oblateness, 0.25);
}

// The handle stays on the horizontal axis at the pointer's distance from the
// centre, whichever way the pointer goes.
TEST_F(RadiationGuides, OblatenessHandleFollowsThePointerInAnyDirection) {
  build_small();
  press(470, 240);
  motion(320, 240 - 200);  // straight up, 200 away: A_out 200
  EXPECT_NEAR(params.radiation_oblateness, 1 - 150.0 / 200, 1e-9);
  motion(320 - 120 * 0.6, 240 + 120 * 0.8);  // down and left, 120 away
  EXPECT_NEAR(params.radiation_oblateness, 1 - 150.0 / 120, 1e-9);
  motion(320 + 1e-7, 240);  // all but at the centre: the least oblateness
  EXPECT_DOUBLE_EQ(params.radiation_oblateness, -4);
  motion(320, 240);  // at the centre: likewise
  EXPECT_DOUBLE_EQ(params.radiation_oblateness, -4);
  motion(320 + 300, 240);  // far out
  EXPECT_DOUBLE_EQ(params.radiation_oblateness, 1 - 150.0 / 300);
  motion(320 - 180, 240);  // left of the centre, 180 away
  release(320 - 180, 240);
  EXPECT_NEAR(params.radiation_oblateness, 1 - 150.0 / 180, 1e-9);
  const RadialShape g = area_shapes(&params).radial;
  EXPECT_NEAR(g.a_out, 180, 1e-9);
}

TEST_F(RadiationGuides, CentreDragStoresTheRecordUnit) {
  FixedImage image;
  image.xres = 254;  // 10 pixels per millimetre across
  image.yres = 127;  // 5 down
  build(image, AREA_RADIATION, /*unit=*/2);
  set_spin(dialog_widgets.radiation_x_spin, 32);  // 320 pixels
  set_spin(dialog_widgets.radiation_y_spin, 48);  // 240 pixels
  set_spin(in_spin(), 8);
  set_spin(out_spin(), 15);
  drag({320, 240}, {400, 300});
  EXPECT_NEAR(params.radiation_x, 40, 1e-9);
  EXPECT_NEAR(params.radiation_y, 60, 1e-9);
  EXPECT_NEAR(spin(dialog_widgets.radiation_x_spin), 40, 1e-9);
}

TEST_F(RadiationGuides, PressOnNothingChangesNothing) {
  build_small();
  const EffectParams before = params;
  drag({10, 10}, {300, 200});
  EXPECT_EQ(params.radiation_x, before.radiation_x);
  EXPECT_EQ(params.radiation_y, before.radiation_y);
  EXPECT_EQ(params.radiation_in_radius, before.radiation_in_radius);
  EXPECT_EQ(params.radiation_out_radius, before.radiation_out_radius);
  EXPECT_EQ(params.radiation_oblateness, before.radiation_oblateness);
}

TEST_F(RadiationGuides, PointerExactlyAtTheCentreLeavesTheEllipseAlone) {
  FixedImage image;
  image.width = 500;  // a scale of 1: window and user coordinates match exactly
  image.height = 500;
  build(image);
  set_spin(in_spin(), 80);
  set_spin(out_spin(), 150);
  press(250, 250 - 150);
  motion(250, 250 - 140);
  EXPECT_NEAR(params.radiation_out_radius, 140, 1e-9);
  motion(250, 250);
  EXPECT_NEAR(params.radiation_out_radius, 140, 1e-9);
  expect_spins_finite();
  release(250, 250);
  EXPECT_DOUBLE_EQ(ellipse_radial_offset(100, 0.5, 10, 10, 10, 10), 0);
}

TEST_F(RadiationGuides, DegenerateGeometryKeepsCairoAndTheSpinsSound) {
  build_small();
  struct Shape {
    double in, out, ob;
  };
  const Shape shapes[] = {{0, 150, 0}, {0, 150, -4}, {0, 0, 0}, {80, 0, 0.95}, {150, 150, -4}};
  params.radiation_in_freehand.active = 1;
  params.radiation_out_freehand.active = 1;
  for (const Shape &shape : shapes) {
    SCOPED_TRACE(testing::Message() << shape.in << " " << shape.out << " " << shape.ob);
    set_spin(in_spin(), shape.in);
    set_spin(out_spin(), shape.out);
    set_spin(ob_spin(), shape.ob);
    cairo_surface_destroy(draw_expose(&params));
    pump();
    // Presses on the centre and on where the ellipses would be, then drags.
    for (Point2 p : {Point2{320, 240}, Point2{320 + shape.out, 240}, Point2{320, 240 - shape.in}}) {
      press(p.x, p.y);
      motion(320, 240);
      motion(p.x + 7, p.y - 3);
      release(p.x + 7, p.y - 3);
      expect_spins_finite();
    }
    cairo_surface_destroy(draw_expose(&params));
    set_spin(dialog_widgets.radiation_x_spin, 320);
    set_spin(dialog_widgets.radiation_y_spin, 240);
  }
}

TEST_F(RadiationGuides, ActiveOutlineWithoutSamplesIsGivenThemAndDrawnRedWhileEdited) {
  build_small();
  params.radiation_in_freehand.active = 1;
  params.radiation_in_freehand.count = 0;
  params.radiation_in_freehand.samples[5].factor = 7;
  cairo_surface_t *plain = draw_expose(&params);
  EXPECT_EQ(params.radiation_in_freehand.count, FREEHAND_SAMPLES);
  EXPECT_EQ(count_factors_not(params.radiation_in_freehand, 1.0), 0);
  EXPECT_DOUBLE_EQ(params.radiation_in_freehand.samples[999].pos, 999 * RADIAL_SAMPLE_STEP);
  EXPECT_EQ(count_red_pixels(plain), 0);
  cairo_surface_destroy(plain);

  for (FreehandSample &sample : params.radiation_in_freehand.samples) sample.factor = 1.4;
  freehand_set_edit_target(FREEHAND_RADIATION_IN);
  cairo_surface_t *edited = draw_expose(&params);
  EXPECT_GT(count_red_pixels(edited), 100);
  cairo_surface_destroy(edited);
  freehand_set_edit_target(FREEHAND_RADIATION_OUT);  // the outer outline is not shown: nothing red
  cairo_surface_t *other = draw_expose(&params);
  EXPECT_EQ(count_red_pixels(other), 0);
  cairo_surface_destroy(other);
}
