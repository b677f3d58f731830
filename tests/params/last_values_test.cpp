// The last values as GIMP 3 keeps them: a text, read back over the defaults of
// the next run, and the raw record of older builds read once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "last_values.h"
#include "params_fixtures.h"

namespace {

std::unique_ptr<EffectParams> defaults() {
  return std::make_unique<EffectParams>(defaults_640x480());
}

std::string text_of_last_values(const EffectParams &p) {
  gsize length = 0;
  std::unique_ptr<char, decltype(&g_free)> text(last_values_to_text(&p, &length), g_free);
  return std::string(text.get(), length);
}

LastValuesFound read(EffectParams *p, const std::string &data) {
  return last_values_read(p, data.data(), data.size());
}

// Every keyed, run and geometry field away from its default; the colour's
// channels and alpha off the 8-bit grid.
std::unique_ptr<EffectParams> worked_on() {
  auto p = defaults();
  p->line_color = {0.1234, 0.5, 0.75, 0.6};
  p->line_antialias = 1;
  p->line_pitch_type = 1;
  p->line_wave_type = 4;
  p->area_unit = 2;
  p->area_type = AREA_PARALLEL;
  for (const SpinRange &r : SPIN_RANGES)
    spin_field_set(p.get(), r, spin_limits(r, 0, Resolution{72, 72}),
                   spin_field_get(p.get(), r) / 2 + 0.375);
  p->path_in_range = 33.5;
  p->path_out_range = 12.25;
  p->path_spine_points_count = 3;
  p->path_spine_points[2] = {40.125, 7.5};
  p->window_x = 77;
  p->window_y = -5;
  p->window_width = 900;
  p->window_height = 700;
  p->topmost = 1;
  p->geometry_width = 1234;
  p->geometry_height = 567;
  p->geometry_xres = 300.5;
  p->geometry_yres = 150.25;
  return p;
}

TEST(LastValuesText, EveryFieldComesBackAndTheTextIsSmall) {
  auto stored = worked_on();
  stored->radiation_in_freehand.active = 1;  // ticked, still in its reset shape
  const std::string plain = text_of_last_values(*stored);
  EXPECT_LT(plain.size(), 4096u);

  // Drawn outlines come back whether ticked or not; one without samples too.
  stored->radiation_out_freehand.samples[3].factor = 1.0 / 3.0;
  stored->parallel_in_freehand.active = 1;
  stored->parallel_in_freehand.samples[999] = {0.9995, 2.5};
  stored->parallel_out_freehand.active = 1;
  stored->parallel_out_freehand.count = 0;
  stored->path_out_freehand.samples[10].factor = 0.5;
  const std::string text = text_of_last_values(*stored);

  auto next = defaults();
  ASSERT_EQ(read(next.get(), text), LastValuesFound::Text);
  EXPECT_TRUE(same_record(*next, *stored));
  EXPECT_EQ(next->geometry_width, 1234);
  EXPECT_EQ(next->geometry_height, 567);
  EXPECT_EQ(next->geometry_xres, 300.5);
  EXPECT_EQ(next->geometry_yres, 150.25);
}

TEST(LastValuesText, TheRawRecordOfOlderBuildsIsTakenWithThisRunsIds) {
  auto stored = worked_on();
  stored->image_id = 40;
  stored->drawable_id = 41;
  stored->edit_mode = EditMode::Replace;
  auto next = defaults();
  ASSERT_EQ(last_values_read(next.get(), stored.get(), sizeof(EffectParams)),
            LastValuesFound::Record);
  stored->image_id = next->image_id;
  stored->drawable_id = next->drawable_id;
  stored->edit_mode = EditMode::Create;
  EXPECT_TRUE(same_record(*next, *stored));
}

TEST(LastValuesText, AnythingButOurTextOrRecordLeavesTheDefaults) {
  const std::string ours = text_of_last_values(*worked_on());
  const std::string format_key = "format=1";
  const size_t at = ours.find(format_key);
  ASSERT_NE(at, std::string::npos);
  const auto with_format = [&](const std::string &value) {
    return std::string(ours).replace(at, format_key.size(), value);
  };
  const std::string run_group = std::string("[") + LAST_VALUES_GROUP + "]";
  const std::string preset_text = ours.substr(0, ours.find(run_group));
  const std::string cases[] = {
      "",
      std::string(64, 'A'),
      "not a key file",
      preset_text,                                       // a preset: no run fields
      ours.substr(ours.find(run_group)),                 // no settings
      with_format("format=2"),                           // a later format
      with_format("format=one"),
      with_format("formats=1"),
      std::string(ours).insert(10, 1, '\0'),             // not text
  };
  for (const std::string &data : cases) {
    auto next = defaults();
    EXPECT_EQ(read(next.get(), data), LastValuesFound::None) << data.substr(0, 40);
    EXPECT_TRUE(same_record(*next, *defaults())) << data.substr(0, 40);
  }
  auto next = defaults();
  EXPECT_EQ(last_values_read(next.get(), nullptr, 100), LastValuesFound::None);
}

TEST(LastValuesText, ValuesTheTextLacksOrNoControlCouldShowKeepTheDefaults) {
  const std::string run_group = std::string("[") + LAST_VALUES_GROUP + "]\nformat=1\n";
  const std::string text =
      "[zipstroke]\nversion=0.5.2\nline_pitch=nan\nline_antialias=7\narea_type=3\n"
      "line_width=4\nradiation_in_freehand_active=true\nradiation_in_freehand_points_count=1000\n"
      "radiation_in_freehand_points=1;2;3\n" +
      run_group + "window_x=12\nwindow_y=far\nline_color=0.5;inf;0;1\n";
  auto next = defaults();
  ASSERT_EQ(read(next.get(), text), LastValuesFound::Text);
  auto want = defaults();
  want->line_width = 4;
  want->window_x = 12;
  // A list that does not fit its count leaves no samples, as in a preset.
  want->radiation_in_freehand.active = 1;
  want->radiation_in_freehand.count = 0;
  EXPECT_TRUE(same_record(*next, *want));
}

}  // namespace
