// On/off blocks shorter than the distance between two lines: the block state
// changes at most once per line, so a short block still turns exactly one
// line on or off, in both areas.
#include <gtest/gtest.h>

#include "engine_test_support.h"

namespace {

// Plain lines without spreads: the pitch is exact, every line starts on its
// side of the area.
EffectParams exact_lines(AreaType area) {
  EffectParams p = defaults_for(640, 480);
  p.area_type = area;
  p.line_pitch_rand = 0;
  p.line_in_margin = 0;
  p.line_in_margin_rand = 0;
  p.line_in_length = 0;
  p.line_block_on_pitch_rand = 0;
  p.line_block_off_pitch_rand = 0;
  return p;
}

// Which of the lines at 0, 10, 20, ... pixels along the in side are drawn,
// by the rule: at a line whose position has reached the next switch, the
// state flips once and the switch moves on by the new state's block length.
std::vector<double> drawn_positions(double pitch, double on, double off, double end) {
  std::vector<double> drawn;
  bool state_on = false;
  double next_switch = 0;
  for (double s = 0; s <= end; s += pitch) {
    if (s >= next_switch) {
      state_on = !state_on;
      next_switch += state_on ? on : off;
    }
    if (state_on) drawn.push_back(s);
  }
  return drawn;
}

TEST(ShortBlocks, ParallelBlocksShorterThanThePitchDrawEverySecondLine) {
  EffectParams p = exact_lines(AREA_PARALLEL);
  p.line_pitch_type = 0;  // steps of exactly 10 along the 480-pixel in side
  p.line_block_on_pitch = 3;
  p.line_block_off_pitch = 4;
  const auto polys = capture(p);
  ASSERT_EQ(polys.size(), 25u);  // 0, 20, ..., 480
  for (size_t i = 0; i < polys.size(); ++i)
    EXPECT_NEAR(480 - polys[i].start().y, 20.0 * i, 1e-9) << i;
}

TEST(ShortBlocks, AShortOffBlockSkipsOneLineAndALongOnBlockKeepsSeveral) {
  EffectParams p = exact_lines(AREA_PARALLEL);
  p.line_pitch_type = 0;
  for (const auto &blocks : {std::pair<double, double>{25, 3}, {3, 25}, {12, 7}, {9.5, 0.5}}) {
    p.line_block_on_pitch = blocks.first;
    p.line_block_off_pitch = blocks.second;
    const auto expected = drawn_positions(10, blocks.first, blocks.second, 480);
    const auto polys = capture(p);
    ASSERT_EQ(polys.size(), expected.size()) << blocks.first << "/" << blocks.second;
    for (size_t i = 0; i < polys.size(); ++i)
      EXPECT_NEAR(480 - polys[i].start().y, expected[i], 1e-9) << blocks.first << "/" << i;
  }
}

TEST(ShortBlocks, RadialBlocksShorterThanThePitchDrawEverySecondLine) {
  EffectParams p = exact_lines(AREA_RADIATION);  // pitch 10 along the outer circle, radius 400
  const auto all = capture(p);
  p.line_block_on_pitch = 3;
  p.line_block_off_pitch = 4;
  const auto polys = capture(p);
  // Lines 0, 2, 4, ... of the unblocked render: half of them, rounded up.
  ASSERT_EQ(polys.size(), (all.size() + 1) / 2);
  for (size_t i = 0; i < polys.size(); ++i) {
    EXPECT_NEAR(polys[i].end().x, all[2 * i].end().x, 1e-9) << i;
    EXPECT_NEAR(polys[i].end().y, all[2 * i].end().y, 1e-9) << i;
  }
}

}  // namespace
