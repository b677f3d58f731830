// The block GIMP keeps between runs, as the run procedure takes it back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "effect_params.h"
#include "image_services.h"
#include "last_values.h"

namespace {

std::unique_ptr<EffectParams> defaults() {
  auto p = std::make_unique<EffectParams>();
  std::memset(p.get(), 0, sizeof(EffectParams));
  effect_params_init_run_fields(p.get(), 1, 2);
  effect_params_set_defaults(p.get());
  return p;
}

TEST(LastValues, ABlockOfThisBuildReplacesTheWholeRecord) {
  auto stored = defaults();
  stored->line_pitch = 3.25;
  stored->area_unit = 2;
  stored->window_x = 15;
  stored->topmost = 1;
  stored->parallel_in_freehand.active = 1;
  stored->parallel_in_freehand.samples[500].factor = 1.75;
  auto params = defaults();
  ASSERT_TRUE(last_values_restore(params.get(), stored.get(), sizeof(EffectParams)));
  EXPECT_EQ(std::memcmp(params.get(), stored.get(), sizeof(EffectParams)), 0);
}

TEST(LastValues, ABlockOfAnotherSizeIsIgnored) {
  auto params = defaults();
  auto before = defaults();
  std::vector<unsigned char> block(sizeof(EffectParams) + 8, 0xab);
  EXPECT_FALSE(last_values_restore(params.get(), block.data(), block.size()));
  EXPECT_FALSE(last_values_restore(params.get(), block.data(), 5));
  EXPECT_FALSE(last_values_restore(params.get(), nullptr, sizeof(EffectParams)));
  EXPECT_EQ(std::memcmp(params.get(), before.get(), sizeof(EffectParams)), 0);
}

TEST(LastValues, UnusableValuesInADamagedBlockKeepTheDefaults) {
  auto stored = defaults();
  stored->line_pitch = NAN;
  stored->radiation_x = -INFINITY;
  stored->line_width = 7.0;
  stored->line_antialias = 42;
  stored->line_wave_type = 3;
  stored->area_unit = 9;
  stored->area_type = -1;
  stored->line_color.g = NAN;
  stored->topmost = 5;
  stored->radiation_in_freehand.active = 3;
  stored->radiation_in_freehand.samples[3].factor = NAN;
  stored->parallel_out_freehand.count = 1000000;
  stored->parallel_in_freehand.samples[999].pos = 1e300;
  stored->radiation_out_freehand.samples[1].factor = 2.5;  // a drawn outline: kept

  auto params = defaults();
  ASSERT_TRUE(last_values_restore(params.get(), stored.get(), sizeof(EffectParams)));
  auto d = defaults();
  EXPECT_EQ(params->line_pitch, d->line_pitch);
  EXPECT_EQ(params->radiation_x, d->radiation_x);
  EXPECT_EQ(params->line_width, 7.0);
  EXPECT_EQ(params->line_antialias, d->line_antialias);
  EXPECT_EQ(params->line_wave_type, d->line_wave_type);
  EXPECT_EQ(params->area_unit, 0);
  EXPECT_EQ(params->area_type, 0);
  EXPECT_EQ(params->line_color.g, d->line_color.g);
  EXPECT_EQ(params->topmost, 1);
  EXPECT_EQ(params->radiation_in_freehand.active, 1);
  EXPECT_EQ(params->radiation_in_freehand.samples[3].factor, 1.0);
  EXPECT_EQ(params->parallel_out_freehand.count, FREEHAND_SAMPLES);
  EXPECT_EQ(params->parallel_in_freehand.samples[999].pos, 999 * PARALLEL_SAMPLE_STEP);
  EXPECT_EQ(params->radiation_out_freehand.samples[1].factor, 2.5);
}

}  // namespace
