// The radial renderer: where its lines go, the wave node table, blocks,
// outlines, and the search for the next angle.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_test_support.h"
#include "zipstroke_radiation.h"

namespace {

constexpr double TWO_PI = 2 * M_PI;

// Lines whose start tip lies on the ray of the line's angle: circles only.
std::vector<double> line_angles(const std::vector<Polygon> &polys, double cx, double cy) {
  std::vector<double> angles;
  for (const auto &poly : polys) angles.push_back(angle_about(poly.start(), cx, cy));
  return angles;
}

TEST(RadialDefaults, LinesRunFromTheInnerToTheOuterCircleStartingAtAngleZero) {
  const EffectParams p = defaults_for(640, 480);
  const auto polys = capture(p);
  // About one line per 5 pixels of the outer circle's 2513.
  EXPECT_GT(polys.size(), 400u);
  EXPECT_LT(polys.size(), 650u);
  EXPECT_NEAR(polys[0].start().y, 240, 1e-9);
  EXPECT_GT(polys[0].start().x, 320);
  for (const auto &poly : polys) {
    // In margin 100 with 50 % spread, no taper beyond the outer circle.
    const double r0 = distance_from(poly.start(), 320, 240);
    EXPECT_GE(r0, 250 - 1e-9);
    EXPECT_LE(r0, 300 + 1e-9);
    EXPECT_NEAR(distance_from(poly.end(), 320, 240), 400, 1e-9);
    EXPECT_NEAR(angle_about(poly.end(), 320, 240), angle_about(poly.start(), 320, 240), 1e-9);
  }
  const auto angles = line_angles(polys, 320, 240);
  EXPECT_TRUE(std::is_sorted(angles.begin(), angles.end()));

  // On the pixels: the centre is empty, the corners are reached.
  const auto cov = coverage_bytes(p, 640, 480);
  int centre = 0;
  for (int y = 140; y < 340; ++y)
    for (int x = 220; x < 420; ++x) centre += cov[y * 640 + x];
  EXPECT_EQ(centre, 0);
  int ring = 0;
  for (unsigned char a : cov) ring += a > 0;
  EXPECT_GT(ring, 640 * 480 / 20);
}

TEST(RadialDefaults, PitchTypeInSpacesTheInnerEnds) {
  EffectParams p = defaults_for(640, 480);
  p.line_pitch_rand = 0;
  p.line_in_margin = 0;
  p.line_in_margin_rand = 0;
  for (int type : {0, 1}) {
    p.line_pitch_type = type;
    const auto polys = capture(p);
    ASSERT_GT(polys.size(), 10u);
    const double r = type == 0 ? 200 : 400;
    for (size_t i = 1; i + 1 < polys.size(); ++i) {
      const Vertex a = type == 0 ? polys[i - 1].start() : polys[i - 1].end();
      const Vertex b = type == 0 ? polys[i].start() : polys[i].end();
      // The chord between neighbours is the pitch, to the search's precision.
      EXPECT_NEAR(std::hypot(a.x - b.x, a.y - b.y), 10, r * M_PI / 18 / 128) << i;
    }
  }
}

TEST(RadialLines, APitchLargerThanTheDiameterDrawsOneLine) {
  EffectParams p = defaults_for(640, 480);
  p.line_pitch = 1000;
  p.line_pitch_rand = 0;
  const auto polys = capture(p);
  ASSERT_EQ(polys.size(), 1u);
  EXPECT_NEAR(polys[0].start().y, 240, 1e-9);
  // No room at all on the pitch ellipse: still the line at angle 0 only.
  p.line_pitch = 10;
  p.radiation_out_radius = 0;
  p.line_in_margin = 0;
  p.line_in_length = 0;
  EXPECT_EQ(capture(p).size(), 1u);
}

TEST(RadialLines, BlocksStartWithAnOnBlockAndAlternate) {
  EffectParams p = defaults_for(640, 480);
  p.line_pitch_rand = 0;  // 10 pixels along the outer circle
  p.line_block_on_pitch = 45;
  p.line_block_off_pitch = 20;
  const auto angles = line_angles(capture(p), 320, 240);
  // Lines at travelled 0..40 are drawn, 50 and 60 skipped (off until 65), 70..100 drawn.
  const int expected[] = {0, 1, 2, 3, 4, 7, 8, 9, 10};
  ASSERT_GE(angles.size(), 9u);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(angles[i] * 400 / 10, expected[i], 0.3) << i;
}

TEST(RadialOutlines, FactorsPullTheInnerEndsOfTheirAnglesAndNothingElse) {
  EffectParams p = defaults_for(640, 480);
  p.line_in_margin = 0;
  p.line_in_margin_rand = 0;
  p.line_in_length = 0;
  const auto plain = capture(p);

  p.radiation_in_freehand.active = 1;  // all factors 1.0
  EXPECT_TRUE(same_polygons(plain, capture(p), 1e-9));

  for (int i = 0; i < 250; ++i) p.radiation_in_freehand.samples[i].factor = 0.5;  // 0 .. pi/2
  const auto pulled = capture(p);
  ASSERT_EQ(pulled.size(), plain.size());
  int halfway = 0;
  for (size_t i = 0; i < pulled.size(); ++i) {
    const double angle = angle_about(plain[i].start(), 320, 240);
    EXPECT_NEAR(distance_from(pulled[i].end(), 320, 240), 400, 1e-9);  // outer ends stay
    const double r = distance_from(pulled[i].start(), 320, 240);
    if (angle > 0.01 && angle < M_PI / 2 - 0.01) {
      EXPECT_NEAR(r, 100, 1e-9);
      ++halfway;
    } else if (angle > M_PI / 2 + 0.01 && angle < TWO_PI - 0.01) {
      EXPECT_NEAR(r, 200, 1e-9);
    }
  }
  EXPECT_GT(halfway, 50);

  // An outer outline moves the outer ends the same way.
  p.radiation_in_freehand.active = 0;
  p.radiation_out_freehand.active = 1;
  for (auto &s : p.radiation_out_freehand.samples) s.factor = 0.75;
  for (const auto &poly : capture(p)) EXPECT_NEAR(distance_from(poly.end(), 320, 240), 300, 1e-9);
}

TEST(RadialOutlines, LookupIsAStepFunctionThatWrapsToSampleZero) {
  FreehandOutline o{};
  freehand_reset_radial(&o);
  o.samples[0].factor = 0.25;
  o.samples[1].factor = 0.5;
  o.samples[500].factor = 2.0;
  EXPECT_EQ(freehand_radial_factor(&o, 0.0), 0.25);
  EXPECT_EQ(freehand_radial_factor(&o, 0.001), 0.5);  // first pos >= phi is sample 1
  EXPECT_EQ(freehand_radial_factor(&o, 500 * RADIAL_SAMPLE_STEP), 2.0);
  EXPECT_EQ(freehand_radial_factor(&o, TWO_PI - 0.001), 0.25);  // past the last sample
  EXPECT_EQ(freehand_radial_factor(&o, -0.001), 0.25);          // -0.001 is 2 pi - 0.001
  EXPECT_EQ(freehand_radial_factor(&o, -M_PI), 2.0);

  // Counts outside 1..1000 never read past the samples.
  o.count = 5000;
  EXPECT_EQ(freehand_radial_factor(&o, 3.0), 1.0);
  o.count = 0;
  EXPECT_EQ(freehand_radial_factor(&o, 3.0), 0.0);
  o.count = -4;
  EXPECT_EQ(freehand_radial_factor(&o, 3.0), 0.0);
  o.count = 10;  // only the first ten samples: nothing at or beyond 3.0
  EXPECT_EQ(freehand_radial_factor(&o, 3.0), 0.0);
  EXPECT_EQ(freehand_radial_factor(&o, 6.0), 0.25);  // past 2 pi - 2 pi / 10: wraps
}

TEST(WaveNodes, CircleDividesEvenly) {
  const auto e = radial_wave_nodes(8, 400, 400, 0);
  ASSERT_EQ(e.size(), 8u);
  for (int i = 0; i < 8; ++i) EXPECT_DOUBLE_EQ(e[i], (i + 1) * TWO_PI / 8);
}

TEST(WaveNodes, EllipseMirrorsTheFirstQuarter) {
  auto e = radial_wave_nodes(4, 600, 400, 0.33);
  ASSERT_EQ(e.size(), 4u);
  EXPECT_DOUBLE_EQ(e[0], M_PI / 2);
  EXPECT_DOUBLE_EQ(e[1], M_PI);
  EXPECT_DOUBLE_EQ(e[2], 3 * M_PI / 2);
  EXPECT_DOUBLE_EQ(e[3], TWO_PI);

  e = radial_wave_nodes(8, 600, 400, 0.33);
  ASSERT_EQ(e.size(), 8u);
  EXPECT_GT(e[0], 0);
  EXPECT_LT(e[0], M_PI / 2);
  EXPECT_DOUBLE_EQ(e[1], M_PI / 2);
  EXPECT_DOUBLE_EQ(e[2], M_PI - e[0]);
  EXPECT_DOUBLE_EQ(e[3], M_PI);
  EXPECT_DOUBLE_EQ(e[4], M_PI + e[0]);
  EXPECT_DOUBLE_EQ(e[5], 3 * M_PI / 2);
  EXPECT_DOUBLE_EQ(e[6], TWO_PI - e[0]);
  EXPECT_DOUBLE_EQ(e[7], TWO_PI);
  // On a wide ellipse the flat top near pi/2 holds most of the arc, so the
  // first half of the quarter's arc ends well past a parametric pi/4.
  const double mark = radial_wave_nodes(8, 2000, 100, 0.95)[0];
  EXPECT_GT(mark, M_PI / 4);
}

TEST(WaveNodes, OddCountsAndCrowdedTablesStayInside) {
  // Counts that are not multiples of 4 leave the tail at 0.
  auto e = radial_wave_nodes(6, 600, 400, 0.33);
  ASSERT_EQ(e.size(), 6u);
  EXPECT_DOUBLE_EQ(e[3], TWO_PI);
  EXPECT_EQ(e[4], 0);
  EXPECT_EQ(e[5], 0);
  for (int n : {1, 2, 3}) {
    e = radial_wave_nodes(n, 600, 400, 0.33);
    ASSERT_EQ(e.size(), static_cast<size_t>(n));
    EXPECT_DOUBLE_EQ(e[0], M_PI / 2);
  }
  // 128 points on a flat ellipse: fewer marks than periods, so neighbours repeat.
  e = radial_wave_nodes(128, 2000, 100, 0.95);
  for (double v : e) {
    EXPECT_GE(v, 0);
    EXPECT_LE(v, TWO_PI);
  }
  EXPECT_DOUBLE_EQ(e[127], TWO_PI);
  EXPECT_TRUE(radial_wave_nodes(0, 600, 400, 0.3).empty());
  EXPECT_TRUE(radial_wave_nodes(-8, 600, 400, 0.3).empty());
}

TEST(RadialWaves, EachLineMovesAlongItsOwnDirectionByItsPhase) {
  EffectParams p = defaults_for(640, 480);
  p.line_in_margin = 0;
  p.line_in_margin_rand = 0;
  p.line_in_length = 0;
  p.line_wave_npoint = 4;
  p.line_wave_depth = 20;
  p.line_wave_type = 6;  // W(t) = t
  const auto polys = capture(p);
  ASSERT_GT(polys.size(), 100u);
  double previous_angle = -1;
  for (const auto &poly : polys) {
    const double angle = angle_about(poly.start(), 320, 240);
    const double shift = distance_from(poly.start(), 320, 240) - 200;
    // Four equal periods; the index moves at most one node per line, which
    // never lags here because the lines are much denser than the nodes.
    const double t = std::fmod(angle, M_PI / 2) / (M_PI / 2);
    if (std::fabs(t) > 1e-6 && std::fabs(t - 1) > 1e-6) {
      EXPECT_NEAR(shift, 20 * t, 1e-6);
    }
    EXPECT_NEAR(distance_from(poly.end(), 320, 240), 400 + shift, 1e-6);  // length kept
    EXPECT_GT(angle, previous_angle);
    previous_angle = angle;
  }
  // An ellipse crowded with wave points has empty periods; they draw with phase 0.
  p.radiation_oblateness = 0.95;
  p.line_wave_npoint = 128;
  EXPECT_GT(capture(p).size(), 100u);
}

// The search for the next angle as it stops at the eighth reversal, for
// comparison: the lines of settings whose searches all end with a chord of at
// least half the pitch must stay exactly these.
std::vector<double> search_as_written(double a, double r, double pitch, double spread,
                                      int seed, bool *all_wide) {
  std::vector<double> angles;
  GRand *gen = g_rand_new_with_seed(seed);
  double theta = 0, rx = a, ry = 0;
  *all_wide = true;
  while (theta < TWO_PI) {
    angles.push_back(theta);
    double p;
    do p = pitch - pitch * g_rand_double(gen) * spread / 100;
    while (p <= 0);
    p = std::max(p, 0.01);
    double delta = M_PI / 18, d = 0, qx = 0, qy = 0;
    int reversals = 0;
    while (reversals < 8) {
      theta += delta;
      qx = a * std::cos(theta);
      qy = r * std::sin(theta);
      d = std::sqrt((qx - rx) * (qx - rx) + (qy - ry) * (qy - ry));
      if ((d > p && delta > 0) || (d < p && delta < 0)) {
        delta = -delta / 2;
        ++reversals;
      }
      if (theta >= 3 * M_PI) delta = -delta / 2;
    }
    if (d < p / 2) *all_wide = false;
    rx = qx;
    ry = qy;
  }
  g_rand_free(gen);
  return angles;
}

TEST(RadialSearch, SearchesThatEndWellAtTheEighthReversalAreUnchanged) {
  EffectParams p = defaults_for(640, 480);
  p.line_pitch = 3;
  p.line_pitch_rand = 50;
  bool all_wide = false;
  const auto expected = search_as_written(400, 400, 3, 50, p.line_pitch_rand_seed, &all_wide);
  ASSERT_TRUE(all_wide) << "the setting must exercise only searches that end as written";
  const auto angles = line_angles(capture(p), 320, 240);
  ASSERT_EQ(angles.size(), expected.size());
  for (size_t i = 0; i < angles.size(); ++i) EXPECT_NEAR(angles[i], expected[i], 1e-9) << i;
}

// A chord exactly equal to the pitch turns nothing back.  The pitch here is
// the chord the search meets, computed as it is, on its second step (back
// from 10 to 5 degrees): turning there would end on another angle.
TEST(RadialSearch, AChordEqualToThePitchDoesNotTurnTheSearch) {
  EffectParams p = defaults_for(640, 480);  // outer circle of radius 400
  const double step = G_PI / 18.0;
  const double theta = step + -step / 2.0;
  const double qx = 400 * std::cos(theta), qy = 400 * std::sin(theta);
  p.line_pitch = std::sqrt((400 - qx) * (400 - qx) + (0 - qy) * (0 - qy));
  p.line_pitch_rand = 0;
  bool all_wide = false;
  const auto expected = search_as_written(400, 400, p.line_pitch, 0, p.line_pitch_rand_seed, &all_wide);
  ASSERT_TRUE(all_wide);
  const auto angles = line_angles(capture(p), 320, 240);
  ASSERT_EQ(angles.size(), expected.size());
  for (size_t i = 0; i < angles.size(); ++i) EXPECT_NEAR(angles[i], expected[i], 1e-9) << i;
}

bool has_repeated_angle(std::vector<double> angles) {
  std::sort(angles.begin(), angles.end());
  for (size_t i = 1; i < angles.size(); ++i)
    if (angles[i] - angles[i - 1] < 1e-12) return true;
  return false;
}

TEST(RadialSearch, ASmallPitchWithoutSpreadEndsWithoutRepeatingLines) {
  EffectParams p = defaults_for(640, 480);
  p.line_pitch = 0.5;
  p.line_pitch_rand = 0;
  const auto polys = capture(p);
  EXPECT_GE(polys.size(), 4000u);
  EXPECT_LE(polys.size(), 6000u);
  EXPECT_FALSE(has_repeated_angle(line_angles(polys, 320, 240)));
}

TEST(RadialSearch, DefaultsRepeatNoLine) {
  for (auto [w, h] : {std::pair{640, 480}, std::pair{4000, 3000}}) {
    const EffectParams p = defaults_for(w, h);
    const auto polys = capture(p);
    EXPECT_GT(polys.size(), static_cast<size_t>(w) / 2);
    EXPECT_FALSE(has_repeated_angle(line_angles(polys, w / 2, h / 2))) << w << "x" << h;
  }
}

TEST(RadialGeometry, VerticalCentreUsesTheVerticalResolution) {
  EffectParams p = defaults_for(640, 480, 254, 127);
  p.area_unit = 2;  // millimetres
  p.radiation_x = 10;
  p.radiation_y = 10;
  p.radiation_in_radius = 5;
  const RadialGeometry g = radial_geometry_in_pixels(&p, image_resolution(p.image_id));
  EXPECT_DOUBLE_EQ(g.cx, 100);
  EXPECT_DOUBLE_EQ(g.cy, 50);
  EXPECT_DOUBLE_EQ(g.r_in, 50);
}

}  // namespace
