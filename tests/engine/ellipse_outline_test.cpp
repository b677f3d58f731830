// The outer freehand outline on an elliptical area: the factor is looked up
// by the polar angle of the line's outer point, and the line's end moves
// along the line itself (lines on an ellipse are not radial) by the outer
// point's distance from the centre times (factor - 1).
#include <gtest/gtest.h>

#include "engine_test_support.h"

namespace {

constexpr double CX = 320, CY = 240, A_OUT = 400, R_OUT = 200, A_IN = 300, R_IN = 100;

// An ellipse twice as wide as tall, with lines that are bare rectangles from
// the inner to the outer ellipse.
EffectParams wide_ellipse() {
  EffectParams p = defaults_for(640, 480);
  p.radiation_in_radius = R_IN;
  p.radiation_out_radius = R_OUT;
  p.radiation_oblateness = 0.5;  // outer half-width 200 / 0.5; inner 400 - (200 - 100)
  p.line_pitch_rand = 0;
  p.line_pitch = 20;
  p.line_in_margin = 0;
  p.line_in_margin_rand = 0;
  p.line_in_length = 0;
  p.line_out_margin = 0;
  p.line_out_length = 0;
  return p;
}

// Factor 0.9 for the samples at polar angles below pi/4 and from pi to
// 5 pi/4, 1.0 elsewhere (the lines are short against their distance from the
// centre: 0.5 would leave nothing of those at angle 0).
bool halved(double angle) { return angle < M_PI / 4 || (angle >= M_PI && angle < 1.25 * M_PI); }

TEST(EllipseOuterOutline, LinesEndWhereTheOuterPointsAngleAndDistanceSay) {
  EffectParams p = wide_ellipse();
  const auto plain = capture(p);
  ASSERT_GT(plain.size(), 50u);
  for (const auto &poly : plain) {
    const Vertex in = poly.start(), out = poly.end();
    EXPECT_NEAR(std::pow((in.x - CX) / A_IN, 2) + std::pow((in.y - CY) / R_IN, 2), 1, 1e-9);
    EXPECT_NEAR(std::pow((out.x - CX) / A_OUT, 2) + std::pow((out.y - CY) / R_OUT, 2), 1, 1e-9);
  }

  p.radiation_out_freehand.active = 1;
  for (auto &s : p.radiation_out_freehand.samples)
    if (halved(s.pos)) s.factor = 0.9;
  const auto shaped = capture(p);
  ASSERT_EQ(shaped.size(), plain.size());

  int checked = 0, outer_angle_decides = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    const Vertex in = plain[i].start(), out = plain[i].end();
    const double phi_out = angle_about(out, CX, CY);
    const double phi_in = angle_about(in, CX, CY);
    // Lines at a sample boundary or past the last sample (which wraps to
    // sample 0) are left out.
    const double boundaries[] = {0, M_PI / 4, M_PI, 1.25 * M_PI, 2 * M_PI};
    bool near_boundary = false;
    for (double b : boundaries) near_boundary |= std::fabs(phi_out - b) < 0.01 && phi_out != 0;
    if (near_boundary) continue;
    const double k = halved(phi_out) ? 0.9 : 1.0;
    if (halved(phi_out) != halved(phi_in)) ++outer_angle_decides;

    const double rho = distance_from(out, CX, CY);
    const double len = std::hypot(out.x - in.x, out.y - in.y);
    const Vertex expected{out.x + (rho * k - rho) * (out.x - in.x) / len,
                          out.y + (rho * k - rho) * (out.y - in.y) / len};
    EXPECT_NEAR(shaped[i].start().x, in.x, 1e-9) << i;
    EXPECT_NEAR(shaped[i].start().y, in.y, 1e-9) << i;
    EXPECT_NEAR(shaped[i].end().x, expected.x, 1e-6) << i << " at angle " << phi_out;
    EXPECT_NEAR(shaped[i].end().y, expected.y, 1e-6) << i << " at angle " << phi_out;
    ++checked;
  }
  EXPECT_GT(checked, 50);
  // Lines whose inner and outer points lie on different sides of a boundary:
  // only the outer point's angle gives these their factor.
  EXPECT_GE(outer_angle_decides, 2);
}

TEST(EllipseOuterOutline, TheParametricAngleDoesNotPickTheFactor) {
  // Between 45 and 63 degrees of parametric angle, the outer point of this
  // ellipse (tan of its polar angle = tan(theta) / 2) still lies below 45
  // degrees: those lines lose a tenth of their outer point's distance.
  EffectParams p = wide_ellipse();
  p.radiation_out_freehand.active = 1;
  for (auto &s : p.radiation_out_freehand.samples)
    if (halved(s.pos)) s.factor = 0.9;
  const auto plain = [&] {
    EffectParams q = p;
    q.radiation_out_freehand.active = 0;
    return capture(q);
  }();
  const auto shaped = capture(p);
  ASSERT_EQ(shaped.size(), plain.size());
  int seen = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    const Vertex out = plain[i].end();
    const double theta = std::atan2((out.y - CY) / R_OUT, (out.x - CX) / A_OUT);
    const double phi = angle_about(out, CX, CY);
    if (theta > M_PI / 4 + 0.01 && phi < M_PI / 4 - 0.01) {
      // The end moves back along the line by a tenth of the outer point's distance.
      const double moved = std::hypot(shaped[i].end().x - out.x, shaped[i].end().y - out.y);
      EXPECT_NEAR(moved, distance_from(out, CX, CY) * 0.1, 1e-6) << i;
      ++seen;
    }
  }
  EXPECT_GE(seen, 2);
}

}  // namespace
