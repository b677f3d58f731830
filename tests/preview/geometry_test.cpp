// The guides' geometry without a widget: ellipse distances, the band's
// corners and the position across it.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry.h"

namespace {

void expect_point(Point2 p, double x, double y) {
  EXPECT_NEAR(p.x, x, 1e-9);
  EXPECT_NEAR(p.y, y, 1e-9);
}

}  // namespace

TEST(RadialShape, RayOffsetMatchesTheEllipse) {
  // Ellipse A 200, R 100 about (0, 0).
  EXPECT_NEAR(ellipse_radial_offset(100, 0.5, 0, 0, 250, 0), 50, 1e-9);
  EXPECT_NEAR(ellipse_radial_offset(100, 0.5, 0, 0, 0, -60), -40, 1e-9);
  EXPECT_NEAR(ellipse_radial_offset(100, 0.5, 0, 0, -150, 0), -50, 1e-9);
  // On the diagonal the ellipse lies at 1/sqrt(1/200^2 + 1/100^2) * sqrt(2)... per axis.
  const double rho = 1 / std::sqrt(0.5 / (200.0 * 200.0) + 0.5 / (100.0 * 100.0));
  EXPECT_NEAR(ellipse_radial_offset(100, 0.5, 0, 0, 100, 100), std::hypot(100, 100) - rho, 1e-9);
  // A flattened ellipse: the segment's end along x, nothing elsewhere.
  EXPECT_DOUBLE_EQ(ellipse_distance(50, 0, 0), 50);
  EXPECT_DOUBLE_EQ(ellipse_distance(50, 0, 1), 0);
  EXPECT_DOUBLE_EQ(ellipse_distance(0, 0, 1), 0);
  // Such an inner ellipse (radius 0, 150 across) is grabbed along its whole length.
  const RadialShape flat = radial_shape_of({0, 0, 0, 150, 0.5});
  HitView view{};
  cairo_matrix_init_identity(&view.to_device);
  view.scale = 1;
  EXPECT_EQ(radial_hit_test(flat, {100, 3}, view), GuideHandle::RadialInner);
}

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

  // Ranges 100 at I and 50 at O = I + (100, 0): the width goes on changing
  // linearly past both sides, also more than a band length behind I.
  for (const Point2 i : {Point2{0, 0}, Point2{30, -20}}) {
    const ParallelGeometry fan = {i.x, i.y, 100, i.x + 100, i.y, 50};
    EXPECT_NEAR(parallel_band_position(fan, i + Point2{50, 37.5}), 0, 1e-12);
    EXPECT_NEAR(parallel_band_position(fan, i + Point2{-150, 0}), 0.5, 1e-12);
    EXPECT_NEAR(parallel_band_position(fan, i + Point2{-150, 87.5}), 0, 1e-12);
    EXPECT_NEAR(parallel_band_position(fan, i + Point2{199, 0}), 0.5, 1e-12);  // half a pixel wide there
    EXPECT_EQ(parallel_band_position(fan, i + Point2{300, 0}), -1);  // the width has run out
  }

  const ParallelGeometry point = {5, 5, 10, 5, 5, 10};
  EXPECT_EQ(parallel_band_position(point, {5, 5}), -1);
}
