// The parallel renderer: lines across the band, stepping, waves, outlines,
// and the band's position in other units.
#include <gtest/gtest.h>

#include "control_ranges.h"
#include "engine_test_support.h"
#include "units.h"
#include "zipstroke_parallel.h"

namespace {

// Straight lines from the in side to the out side: no margins or tapers.
EffectParams bare_band(int w = 640, int h = 480) {
  EffectParams p = defaults_for(w, h);
  p.area_type = AREA_PARALLEL;
  p.line_in_margin = 0;
  p.line_in_margin_rand = 0;
  p.line_in_length = 0;
  p.line_pitch_rand = 0;
  return p;
}

TEST(ParallelDefaults, HorizontalLinesAcrossTheAreaFromTheBottomEdgeUp) {
  EffectParams p = defaults_for(640, 480);
  p.area_type = AREA_PARALLEL;
  const auto polys = capture(p);
  // 480 pixels at about 5 per line.
  EXPECT_GT(polys.size(), 60u);
  EXPECT_LT(polys.size(), 140u);
  EXPECT_NEAR(polys[0].start().y, 480, 1e-9);
  double previous = 481;
  for (const auto &poly : polys) {
    EXPECT_NEAR(poly.start().y, poly.end().y, 1e-9);  // horizontal
    EXPECT_NEAR(poly.end().x, 640, 1e-9);             // reaching the right edge
    EXPECT_GE(poly.start().x, 50 - 1e-9);             // in margin 100, 50 % spread
    EXPECT_LE(poly.start().x, 100 + 1e-9);
    EXPECT_LT(poly.start().y, previous);
    EXPECT_GE(poly.start().y, 0);
    previous = poly.start().y;
  }
}

TEST(ParallelLines, ALineLandingExactlyOnTheFarEndIsDrawn) {
  EffectParams p = bare_band();
  p.line_pitch_type = 0;  // IN: steps of exactly 10 over 480
  const auto polys = capture(p);
  ASSERT_EQ(polys.size(), 49u);
  for (size_t i = 0; i < polys.size(); ++i) {
    EXPECT_NEAR(polys[i].start().y, 480 - 10.0 * i, 1e-9);
    EXPECT_NEAR(polys[i].start().x, 0, 1e-9);
  }
}

TEST(ParallelLines, AWiderOutSideFansTheLinesOut) {
  EffectParams p = bare_band();
  p.parallel_out_range = 960;
  p.line_pitch_type = 1;  // OUT: ends spaced by the pitch, starts by half of it
  const auto polys = capture(p);
  ASSERT_EQ(polys.size(), 97u);
  for (size_t i = 1; i < polys.size(); ++i) {
    EXPECT_NEAR(polys[i - 1].start().y - polys[i].start().y, 5, 1e-9);
    EXPECT_NEAR(polys[i - 1].end().y - polys[i].end().y, 10, 1e-9);
    EXPECT_NEAR(polys[i].end().x, 640, 1e-9);
  }
  EXPECT_NEAR(polys[0].end().y, 240 + 480, 1e-9);
}

TEST(ParallelLines, BlocksStartWithAnOnBlock) {
  EffectParams p = bare_band();
  p.line_pitch_type = 0;
  p.line_block_on_pitch = 45;
  p.line_block_off_pitch = 25;
  const auto polys = capture(p);
  // On for s 0..40, off for 50 and 60, on again from 70 (45 + 25) to 110.
  const double expected[] = {0, 10, 20, 30, 40, 70, 80, 90, 100, 110};
  ASSERT_GE(polys.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_NEAR(480 - polys[i].start().y, expected[i], 1e-9) << i;
}

TEST(ParallelWaves, PeriodSpansTheInSideDividedByPointsLessOne) {
  for (int n : {4, 8}) {
    EffectParams p = bare_band();
    p.line_pitch_type = 0;
    p.line_wave_npoint = n;
    p.line_wave_depth = 20;
    p.line_wave_type = 6;  // W(t) = t
    const auto polys = capture(p);
    ASSERT_EQ(polys.size(), 49u);
    const double period = 480.0 / (n - 1);
    for (size_t i = 0; i < polys.size(); ++i) {
      const double s = 10.0 * i;
      const double shift = 20 * std::fmod(s, period) / period;
      EXPECT_NEAR(polys[i].start().x, shift, 1e-9) << n << " " << s;
      EXPECT_NEAR(polys[i].end().x, 640 + shift, 1e-9);  // moved, not shortened
    }
  }
}

TEST(ParallelOutlines, FactorsKeepTheirShareFromEachEnd) {
  EffectParams p = bare_band();
  p.line_pitch_type = 0;
  p.parallel_in_freehand.active = 1;
  for (int i = 0; i < FREEHAND_SAMPLES; ++i) p.parallel_in_freehand.samples[i].factor = 0.5;
  auto polys = capture(p);
  // The line at s = 480 finds no sample (the last lies at 0.999): factor 0, nothing left.
  ASSERT_EQ(polys.size(), 48u);
  for (const auto &poly : polys) {
    EXPECT_NEAR(poly.start().x, 320, 1e-9);
    EXPECT_NEAR(poly.end().x, 640, 1e-9);
  }
  p.parallel_out_freehand.active = 1;
  for (int i = 0; i < FREEHAND_SAMPLES; ++i) p.parallel_out_freehand.samples[i].factor = 0.5;
  EXPECT_EQ(capture(p).size(), 0u);  // zero length everywhere

  // With the initial samples an active outline changes nothing but the last line.
  EffectParams q = bare_band();
  q.line_pitch_type = 0;
  const auto plain = capture(q);
  q.parallel_out_freehand.active = 1;
  const auto outlined = capture(q);
  ASSERT_EQ(outlined.size(), plain.size() - 1);
  EXPECT_TRUE(same_polygons(outlined, {plain.begin(), plain.end() - 1}, 1e-9));
}

TEST(ParallelOutlines, LookupTakesTheFirstSampleAtOrPastTheFraction) {
  FreehandOutline o{};
  freehand_reset_parallel(&o);
  o.samples[0].factor = 0.2;
  o.samples[500].factor = 0.7;
  o.samples[999].factor = 0.9;
  EXPECT_EQ(freehand_parallel_factor(&o, -3), 0.2);   // clamped to 0
  EXPECT_EQ(freehand_parallel_factor(&o, 0.4995), 0.7);
  EXPECT_EQ(freehand_parallel_factor(&o, 0.999), 0.9);
  EXPECT_EQ(freehand_parallel_factor(&o, 0.9995), 0.0);  // none at or past it
  EXPECT_EQ(freehand_parallel_factor(&o, 7), 0.0);
  o.count = 0;
  EXPECT_EQ(freehand_parallel_factor(&o, 0.5), 0.0);
  o.count = 1 << 20;
  EXPECT_EQ(freehand_parallel_factor(&o, 0.9995), 0.0);  // never past sample 999
}

// Every length of the record expressed in another unit, with the resolution
// of its axis (the table of control ranges knows which).
EffectParams in_unit(EffectParams p, int unit, double xres, double yres) {
  for (const SpinRange &range : SPIN_RANGES) {
    if (range.axis == LengthAxis::None) continue;
    const double res = range.axis == LengthAxis::Vertical ? yres : xres;
    // Written as is: the record holds values the controls would clamp.
    auto *field = reinterpret_cast<double *>(reinterpret_cast<char *>(&p) + range.offset);
    *field = pixels_to_units(*field, unit, res);
  }
  p.area_unit = unit;
  return p;
}

TEST(ParallelGeometry, TheBandStaysPutInAnyUnitWhenResolutionsDiffer) {
  EffectParams p = defaults_for(640, 480, 254, 127);
  p.area_type = AREA_PARALLEL;
  p.parallel_in_x = 40;
  p.parallel_in_Y = 100;
  p.parallel_out_x = 600;
  p.parallel_out_Y = 380;
  p.parallel_in_range = 200;
  p.parallel_out_range = 300;
  p.line_width = 3;
  const auto pixels = capture(p);
  ASSERT_GT(pixels.size(), 20u);
  const EffectParams mm = in_unit(p, UNIT_MM, 254, 127);
  EXPECT_DOUBLE_EQ(mm.parallel_in_Y, 20);  // 100 pixels at 127 dpi
  EXPECT_TRUE(same_polygons(pixels, capture(mm), 1e-6));
  const ParallelGeometry g = parallel_geometry_in_pixels(&mm, image_resolution(mm.image_id));
  EXPECT_NEAR(g.iy, 100, 1e-9);
  EXPECT_NEAR(g.oy, 380, 1e-9);
  EXPECT_NEAR(g.ir, 200, 1e-9);

  // The radial area likewise.
  p.area_type = AREA_RADIATION;
  p.radiation_x = 300;
  p.radiation_y = 200;
  EXPECT_TRUE(same_polygons(capture(p), capture(in_unit(p, UNIT_MM, 254, 127)), 1e-6));
}

}  // namespace
