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
  stored->parallel_in_freehand.samples[999].pos = 0.0;  // out of order
  stored->radiation_out_freehand.samples[1].factor = 2.5;  // a drawn outline: kept
  stored->path_out_range = INFINITY;
  stored->path_spine_points[20].y = NAN;
  stored->path_in_freehand.count = -3;

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
  EXPECT_EQ(params->path_out_range, d->path_out_range);
  EXPECT_EQ(params->path_spine_points[20].y, d->path_spine_points[20].y);
  EXPECT_EQ(params->path_in_freehand.count, FREEHAND_SAMPLES);

  // A spine of too few or too many points takes the default one; Path stays.
  for (int count : {1, 1001}) {
    stored = defaults();
    stored->area_type = AREA_PATH;
    stored->path_spine_points_count = count;
    params = defaults();
    ASSERT_TRUE(last_values_restore(params.get(), stored.get(), sizeof(EffectParams)));
    EXPECT_EQ(params->path_spine_points_count, d->path_spine_points_count);
    EXPECT_EQ(params->area_type, AREA_PATH);
  }
}

// Outlines from a hand-written preset: positions off the editor's grid
// ("0.009"), or spaced unevenly, are as usable as the editor's own.
TEST(LastValues, OutlinesOffTheEditorsGridSurviveTheNextRun) {
  auto stored = defaults();
  FreehandOutline &parallel = stored->parallel_out_freehand;
  for (int i = 0; i < FREEHAND_SAMPLES; ++i)
    parallel.samples[i] = {0.009 + i * 0.00099, 1.0 + (i % 7) * 0.1};
  parallel.active = 1;
  FreehandOutline &radial = stored->radiation_in_freehand;
  for (int i = 0; i < FREEHAND_SAMPLES; ++i)
    radial.samples[i] = {std::pow(i / 1000.0, 2.0) * 6.28, 0.5};
  radial.samples[10].pos = radial.samples[9].pos;  // a repeated position is still in order

  auto params = defaults();
  ASSERT_TRUE(last_values_restore(params.get(), stored.get(), sizeof(EffectParams)));
  EXPECT_EQ(std::memcmp(&params->parallel_out_freehand, &parallel, sizeof parallel), 0);
  EXPECT_EQ(std::memcmp(&params->radiation_in_freehand, &radial, sizeof radial), 0);
}

TEST(LastValues, OnlyOutlinesNoReaderCanUseAreReset) {
  struct Damage {
    const char *what;
    void (*apply)(FreehandOutline *);
  };
  const Damage damages[] = {
      {"count below 0", [](FreehandOutline *o) { o->count = -1; }},
      {"count beyond the table", [](FreehandOutline *o) { o->count = FREEHAND_SAMPLES + 1; }},
      {"infinite position", [](FreehandOutline *o) { o->samples[400].pos = INFINITY; }},
      {"position out of order", [](FreehandOutline *o) { o->samples[400].pos = o->samples[398].pos; }},
      {"NaN factor", [](FreehandOutline *o) { o->samples[0].factor = NAN; }},
  };
  for (const Damage &damage : damages) {
    auto stored = defaults();
    for (int i = 0; i < FREEHAND_SAMPLES; ++i)
      stored->parallel_in_freehand.samples[i].pos = 0.0005 + i * 0.000999;
    stored->parallel_in_freehand.samples[5].factor = 3.0;
    stored->parallel_in_freehand.active = 1;
    damage.apply(&stored->parallel_in_freehand);
    auto params = defaults();
    ASSERT_TRUE(last_values_restore(params.get(), stored.get(), sizeof(EffectParams)));
    auto d = defaults();
    d->parallel_in_freehand.active = 1;
    EXPECT_EQ(std::memcmp(&params->parallel_in_freehand, &d->parallel_in_freehand,
                          sizeof(FreehandOutline)), 0)
        << damage.what;
  }
  // A shorter count is possible (the readers stop at it); order counts only up to it.
  auto stored = defaults();
  stored->radiation_out_freehand.count = 10;
  stored->radiation_out_freehand.samples[500].pos = 0.0;
  auto params = defaults();
  ASSERT_TRUE(last_values_restore(params.get(), stored.get(), sizeof(EffectParams)));
  EXPECT_EQ(params->radiation_out_freehand.count, 10);
  EXPECT_EQ(params->radiation_out_freehand.samples[500].pos, 0.0);
}

}  // namespace
