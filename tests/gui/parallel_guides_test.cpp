// Parallel guides and handles: band geometry, hit-test order, the drags of
// every handle through the spin buttons, units, and a band of no length.
#include <cairo.h>

#include "geometry.h"
#include "preview_fixture.h"

namespace {

class ParallelGuides : public PreviewHarness {
 protected:
  // Default band of 640 x 480: in centre (0, 240), out centre (640, 240), ranges 480.
  void build_default(FixedImage image = FixedImage{}, int unit = 0) {
    build(image, AREA_PARALLEL, unit);
  }
  void set_band(double ix, double iy, double ir, double ox, double oy, double orr) {
    set_spin(dialog_widgets.parallel_in_x_spin, ix);
    set_spin(dialog_widgets.parallel_in_Y_spin, iy);
    set_spin(dialog_widgets.parallel_in_range_spin, ir);
    set_spin(dialog_widgets.parallel_out_x_spin, ox);
    set_spin(dialog_widgets.parallel_out_Y_spin, oy);
    set_spin(dialog_widgets.parallel_out_range_spin, orr);
  }
};

void expect_point(Point2 p, double x, double y) {
  EXPECT_NEAR(p.x, x, 1e-9);
  EXPECT_NEAR(p.y, y, 1e-9);
}

}  // namespace

TEST(ParallelBand, CornersAndPointsFollowTheBandsDirection) {
  const BandCorners right = parallel_band_corners(0, 240, 640, 240, 480, 480);
  expect_point(right.in_plus, 0, 480);
  expect_point(right.in_minus, 0, 0);
  expect_point(right.out_plus, 640, 480);
  expect_point(right.out_minus, 640, 0);

  // Straight down: n = (-1, 0), t = 0 at the left end of each side.
  const BandCorners down = parallel_band_corners(100, 0, 100, 300, 40, 60);
  expect_point(down.in_plus, 80, 0);
  expect_point(down.out_minus, 130, 300);
  Point2 pin, pout;
  parallel_band_points(down, 0.25, &pin, &pout);
  expect_point(pin, 90, 0);
  expect_point(pout, 85, 300);

  // Coinciding centres take the renderer's direction: sides along (0, 1).
  const BandCorners none = parallel_band_corners(5, 5, 5, 5, 10, 20);
  expect_point(none.in_plus, 5, 10);
  expect_point(none.out_minus, 5, -5);
}

TEST(ParallelBand, PositionAcrossTheBand) {
  const ParallelGeometry g = {0, 240, 480, 640, 240, 480};
  EXPECT_NEAR(parallel_band_position(g, {100, 480}), 0, 1e-12);
  EXPECT_NEAR(parallel_band_position(g, {100, 0}), 1, 1e-12);
  EXPECT_NEAR(parallel_band_position(g, {100, 360}), 0.25, 1e-12);
  EXPECT_EQ(parallel_band_position(g, {100, 500}), -1);
  EXPECT_NEAR(parallel_band_position(g, {900, 240}), 0.5, 1e-12);  // past the out side

  // A band pointing left flips the orientation with its normal.
  const ParallelGeometry left = {640, 240, 480, 0, 240, 480};
  EXPECT_NEAR(parallel_band_position(left, {100, 480}), 1, 1e-12);

  // Ranges 100 at I = (0, 0) and 50 at O = (100, 0): the width goes on
  // changing linearly past both sides, also more than a band length behind I.
  const ParallelGeometry fan = {0, 0, 100, 100, 0, 50};
  EXPECT_NEAR(parallel_band_position(fan, {50, 37.5}), 0, 1e-12);
  EXPECT_NEAR(parallel_band_position(fan, {-150, 0}), 0.5, 1e-12);
  EXPECT_NEAR(parallel_band_position(fan, {-150, 87.5}), 0, 1e-12);
  EXPECT_EQ(parallel_band_position(fan, {300, 0}), -1);  // the width has run out

  const ParallelGeometry point = {5, 5, 10, 5, 5, 10};
  EXPECT_EQ(parallel_band_position(point, {5, 5}), -1);
}

TEST_F(ParallelGuides, InDiscWinsOverTheInSide) {
  build_default();
  drag({0, 240}, {30, 250});
  EXPECT_EQ(params.parallel_in_x, 30);
  EXPECT_EQ(params.parallel_in_Y, 250);
  EXPECT_EQ(params.parallel_out_x, 640);
}

TEST_F(ParallelGuides, SideDragSlidesAlongTheAxis) {
  build_default();
  const double in_range = params.parallel_in_range, out_range = params.parallel_out_range;
  drag({0, 100}, {50, 130});  // on the in side, away from its discs
  EXPECT_EQ(params.parallel_in_x, 50);
  EXPECT_EQ(params.parallel_in_Y, 240);
  EXPECT_EQ(params.parallel_in_range, in_range) << "a side moves, its width stays";
  EXPECT_EQ(params.parallel_out_range, out_range);

  // A diagonal band: the centre goes to the foot of the pointer on the axis.
  set_band(100, 100, 100, 400, 400, 100);
  const double k = std::sqrt(0.5);
  drag({100 - 30 * k, 100 + 30 * k}, {150, 130});
  EXPECT_NEAR(params.parallel_in_x, 140, 1e-9);
  EXPECT_NEAR(params.parallel_in_Y, 140, 1e-9);
  EXPECT_EQ(params.parallel_out_x, 400);
}

TEST_F(ParallelGuides, EdgesDragWidensBothAndStopsAtTheLimit) {
  build_default();
  set_spin(dialog_widgets.parallel_out_range_spin, 400);
  // The lower edge I+ O+ runs from (0, 480) to (640, 440).
  press(200, 480 - 40 * 200.0 / 640);
  motion(200, 480 - 12.5 + 10);  // 10 pixels further from the axis
  EXPECT_NEAR(params.parallel_in_range, 500, 1e-6);
  EXPECT_NEAR(params.parallel_out_range, 420, 1e-6);
  motion(200, 240 + 227.5 - 199);  // out range 400 - 398 = 2
  EXPECT_NEAR(params.parallel_out_range, 2, 1e-6);
  const double in_range = params.parallel_in_range;
  motion(200, 240 + 227.5 - 199.6);  // would leave 0.8: refused
  EXPECT_NEAR(params.parallel_out_range, 2, 1e-6);
  EXPECT_EQ(params.parallel_in_range, in_range);
  release(200, 240);
}

TEST_F(ParallelGuides, RangeDiscSetsTwiceTheDistanceInAnyDirection) {
  build_default();
  drag({0, -5}, {30, 40});  // past the in side's end: the I- disc
  EXPECT_NEAR(params.parallel_in_range, 2 * std::hypot(30, 200), 1e-9);
  EXPECT_EQ(params.parallel_in_x, 0);
  drag({645, 480}, {640, 250});  // beside the out side's end: the O+ disc
  EXPECT_NEAR(params.parallel_out_range, 20, 1e-9);
}

TEST_F(ParallelGuides, BandDragInMillimetres) {
  FixedImage image;
  image.xres = image.yres = 254;  // 10 pixels per millimetre
  build_default(image, /*unit=*/2);
  set_band(0, 24, 48, 64, 24, 48);
  drag({320, 240}, {420, 340});
  EXPECT_NEAR(params.parallel_in_x, 10, 1e-9);
  EXPECT_NEAR(params.parallel_in_Y, 34, 1e-9);
  EXPECT_NEAR(params.parallel_out_x, 74, 1e-9);
  EXPECT_NEAR(params.parallel_out_Y, 34, 1e-9);
  EXPECT_NEAR(params.parallel_in_range, 48, 1e-9);
}

TEST_F(ParallelGuides, HandlesFollowThePointerWhenTheResolutionsDiffer) {
  FixedImage image;
  image.xres = 254;  // 10 pixels per millimetre across
  image.yres = 127;  // 5 down
  build_default(image, /*unit=*/2);
  set_band(0, 48, 48, 64, 48, 48);  // (0, 240) to (640, 240) in pixels, range 480
  drag({640, 240}, {600, 200});  // the out centre
  EXPECT_NEAR(params.parallel_out_x, 60, 1e-9);
  EXPECT_NEAR(params.parallel_out_Y, 40, 1e-9);
  set_band(0, 48, 48, 64, 48, 48);
  drag({0, -5}, {0, 40});  // the I- disc, 200 pixels from the in centre
  EXPECT_NEAR(params.parallel_in_range, 40, 1e-9);  // 400 pixels across
}

TEST_F(ParallelGuides, PressOnNothingChangesNothing) {
  build_default();
  const EffectParams before = params;
  drag({320, 100}, {330, 120});
  EXPECT_EQ(preview_drag_handle(), GuideHandle::None);
  EXPECT_EQ(params.parallel_in_x, before.parallel_in_x);
  EXPECT_EQ(params.parallel_in_Y, before.parallel_in_Y);
  EXPECT_EQ(params.parallel_out_x, before.parallel_out_x);
  EXPECT_EQ(params.parallel_in_range, before.parallel_in_range);
  EXPECT_EQ(params.parallel_out_range, before.parallel_out_range);
}

TEST_F(ParallelGuides, CoincidingCentresStaySound) {
  build_default();
  set_band(300, 200, 100, 300, 200, 60);
  params.parallel_in_freehand.active = 1;
  params.parallel_out_freehand.active = 1;
  cairo_surface_destroy(draw_expose(&params));
  pump();
  for (Point2 p : {Point2{300, 200}, Point2{300, 250}, Point2{300, 230}, Point2{320, 200}}) {
    press(p.x, p.y);
    motion(p.x + 10, p.y + 5);
    release(p.x + 10, p.y + 5);
    expect_spins_finite();
    set_band(300, 200, 100, 300, 200, 60);
  }
  freehand_set_edit_target(FREEHAND_PARALLEL_IN);
  drag({290, 190}, {310, 210});
  EXPECT_EQ(count_factors_not(params.parallel_in_freehand, 1.0), 0);
  cairo_surface_destroy(draw_expose(&params));
}

TEST_F(ParallelGuides, ActiveOutlineWithoutSamplesIsDrawnAlongItsSide) {
  build_default();
  params.parallel_in_freehand.active = 1;
  params.parallel_in_freehand.count = 0;
  params.parallel_in_freehand.samples[3].factor = 0.2;
  cairo_surface_destroy(draw_expose(&params));
  EXPECT_EQ(params.parallel_in_freehand.count, FREEHAND_SAMPLES);
  EXPECT_EQ(count_factors_not(params.parallel_in_freehand, 1.0), 0);
  EXPECT_DOUBLE_EQ(params.parallel_in_freehand.samples[500].pos, 0.5);
}
