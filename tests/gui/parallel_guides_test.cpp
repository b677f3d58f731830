// Parallel guides and handles through the real dialog: hit-test order, the
// drags of every handle through the spin buttons, units, and a band of no length.
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
}  // namespace

TEST_F(ParallelGuides, InDiscWinsOverTheInSide) {
  build_default();
  drag({0, 240}, {30, 250});
  // The preview's scale need not be a binary fraction: equal to rounding.
  EXPECT_NEAR(params.parallel_in_x, 30, 1e-9);
  EXPECT_NEAR(params.parallel_in_Y, 250, 1e-9);
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
