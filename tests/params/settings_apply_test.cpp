#include <gtest/gtest.h>

#include "params_fixtures.h"

namespace {

EffectParams applied(const EffectParams &live, const std::string &text) {
  EffectParams result = live;
  const EffectParams parsed = parse_text(text);
  settings_apply_parsed(&result, &parsed);
  return result;
}

TEST(SettingsApply, OwnTextGivesTheSameRecord) {
  EffectParams p = defaults_640x480();
  p.parallel_out_freehand.active = 1;
  p.parallel_out_freehand.samples[10].factor = 0.3;
  p.area_unit = 3;
  p.line_wave_type = 6;
  const EffectParams live = defaults_640x480();
  EXPECT_TRUE(same_record(applied(live, text_of(p)), p));
}

TEST(SettingsApply, MissingKeysBecomeTheRangeMinimum) {
  EffectParams live = defaults_640x480();
  live.window_x = 5;
  live.topmost = 1;
  live.edit_mode = EditMode::Replace;
  const EffectParams p = applied(live, "[zipstroke]\nversion=0.5.2\n");
  EXPECT_EQ(p.line_pitch, 0.5);
  EXPECT_EQ(p.line_width, 0.5);
  EXPECT_EQ(p.parallel_in_range, 0.001);
  EXPECT_EQ(p.line_pitch_rand_seed, 0);
  EXPECT_EQ(p.line_in_margin_rand, 0);
  EXPECT_EQ(p.radiation_x, 0);
  // The missing colour is black with alpha 0.
  EXPECT_EQ(p.line_color.a, 0);
  // 0 is an item of every combo.
  EXPECT_EQ(p.line_antialias, 0);
  EXPECT_EQ(p.line_pitch_type, 0);
  EXPECT_EQ(p.area_type, 0);
  // Fields without a control are never touched.
  EXPECT_EQ(p.image_id, live.image_id);
  EXPECT_EQ(p.drawable_id, live.drawable_id);
  EXPECT_EQ(p.window_x, 5);
  EXPECT_EQ(p.window_width, -1);
  EXPECT_EQ(p.topmost, 1);
  EXPECT_EQ(p.edit_mode, EditMode::Replace);
}

TEST(SettingsApply, ClampsAndIntegerRules) {
  const EffectParams p = applied(
      defaults_640x480(),
      "[zipstroke]\nversion=0.5.2\nline_pitch=0.1\nline_width=99999\nline_pitch_rand=140\n"
      "radiation_oblateness=1\nradiation_x=-600000\nparallel_in_range=-3\n"
      "line_wave_npoint=7\nline_width_rand_seed=40000\nline_pitch_rand_seed=-8\n"
      "radiation_out_radius=1e300\n");
  EXPECT_EQ(p.line_pitch, 0.5);
  EXPECT_EQ(p.line_width, 32767);
  EXPECT_EQ(p.line_pitch_rand, 100);
  EXPECT_EQ(p.radiation_oblateness, 0.95);
  EXPECT_EQ(p.radiation_x, -524288);
  EXPECT_EQ(p.parallel_in_range, 0.001);
  EXPECT_EQ(p.line_wave_npoint, 4);
  EXPECT_EQ(p.line_width_rand_seed, 32767);
  EXPECT_EQ(p.line_pitch_rand_seed, 0);
  EXPECT_EQ(p.radiation_out_radius, 524288);
}

TEST(SettingsApply, CombosAndAreaTypeRefuseUnknownValues) {
  EffectParams live = defaults_640x480();
  live.line_wave_type = 4;
  live.area_unit = 2;
  const std::string refused =
      "[zipstroke]\nline_antialias=3\nline_pitch_type=2\nline_wave_type=7\narea_unit=5\n"
      "area_type=7\n";
  EffectParams p = applied(live, refused);
  EXPECT_EQ(p.line_antialias, 2);
  EXPECT_EQ(p.line_pitch_type, 1);
  EXPECT_EQ(p.line_wave_type, 4);
  EXPECT_EQ(p.area_unit, 2);
  EXPECT_EQ(p.area_type, 0);
  live.area_type = 1;
  EXPECT_EQ(applied(live, refused).area_type, 1);

  p = applied(live,
              "[zipstroke]\nline_antialias=1\nline_pitch_type=0\nline_wave_type=9\narea_unit=4\n"
              "area_type=0\n");
  EXPECT_EQ(p.line_antialias, 1);
  EXPECT_EQ(p.line_pitch_type, 0);
  EXPECT_EQ(p.line_wave_type, 9);
  EXPECT_EQ(p.area_unit, 4);
  EXPECT_EQ(p.area_type, 0);

  // Path is taken, kept against unknown types, and left for a known one.
  p = applied(live, "[zipstroke]\narea_type=2\n");
  EXPECT_EQ(p.area_type, 2);
  EXPECT_EQ(applied(p, refused).area_type, 2);
  EXPECT_EQ(applied(p, "[zipstroke]\narea_type=1\n").area_type, 1);
  EXPECT_EQ(applied(p, "[zipstroke]\narea_type=0\n").area_type, 0);
}

TEST(SettingsApply, PathFieldsOnlyFromTextsThatGiveThem) {
  EffectParams live = defaults_640x480();
  live.area_type = 2;
  live.path_in_range = 55;
  live.path_spine_points_count = 3;
  live.path_spine_points[2] = {7, 8};
  // Older texts, and texts whose spine cannot be read, leave the band alone.
  for (const char *text : {"[zipstroke]\nversion=0.5.2\narea_type=2\n",
                           "[zipstroke]\narea_type=2\npath_spine_points=1;2;nan;4;\n",
                           "[zipstroke]\narea_type=2\npath_spine_points_count=1\n"
                           "path_spine_points=1;2;3;4;\n"}) {
    const EffectParams p = applied(live, text);
    EXPECT_EQ(p.area_type, 2) << text;
    EXPECT_EQ(p.path_in_range, 55) << text;
    EXPECT_EQ(p.path_spine_points_count, 3) << text;
    EXPECT_EQ(p.path_spine_points[2].x, 7) << text;
  }
  // A text without an area type is a radial one, as it always was.
  EXPECT_EQ(applied(live, "[zipstroke]\n").area_type, 0);

  // Given values are clamped as positions and ranges.
  const EffectParams p = applied(
      live, "[zipstroke]\narea_type=2\npath_in_range=-3\npath_out_range=1e300\n"
            "path_spine_points=-600000;5;10;999999;20.5;-1.25;\n");
  EXPECT_EQ(p.path_in_range, 0.001);
  EXPECT_EQ(p.path_out_range, 524288);
  ASSERT_EQ(p.path_spine_points_count, 3);
  EXPECT_EQ(p.path_spine_points[0].x, -524288);
  EXPECT_EQ(p.path_spine_points[1].y, 524288);
  EXPECT_EQ(p.path_spine_points[2].x, 20.5);
  EXPECT_EQ(p.path_spine_points[2].y, -1.25);
}

TEST(SettingsApply, LengthsArriveInTheTextsUnit) {
  EffectParams live = defaults_640x480();
  const EffectParams p = applied(live,
                                 "[zipstroke]\nversion=0.5.2\narea_unit=2\nline_pitch=0.847\n"
                                 "radiation_x=27.0933\n");
  EXPECT_EQ(p.area_unit, 2);
  EXPECT_EQ(p.line_pitch, 0.847);
  EXPECT_EQ(p.radiation_x, 27.0933);
}

// A control that already shows the wanted value does not move, so the live
// field keeps its own value, even one outside the control's range.
TEST(SettingsApply, UnmovedControlsHoldWhatTheyShow) {
  EffectParams live = defaults_640x480();
  live.line_pitch = 0.2;         // shown as 0.5
  live.line_wave_npoint = 6;     // shown as 6
  live.radiation_x = 320 + 1e-12;
  live.radiation_in_freehand.active = 5;
  live.area_type = 7;            // shows "Radiation"
  EffectParams p = applied(live,
                           "[zipstroke]\nline_pitch=0.3\nline_wave_npoint=6\nradiation_x=320\n"
                           "radiation_in_freehand_active=true\narea_type=0\nparallel_in_x=1e-10\n");
  EXPECT_EQ(p.line_pitch, 0.5);  // the control shows its minimum and writes it back
  EXPECT_EQ(p.line_wave_npoint, 6);
  EXPECT_EQ(p.radiation_x, 320 + 1e-12);
  EXPECT_EQ(p.parallel_in_x, 0.0);  // 1e-10 away: not yet a move
  EXPECT_EQ(p.radiation_in_freehand.active, 5);
  EXPECT_EQ(p.area_type, 7);

  p = applied(live, "[zipstroke]\nline_pitch=0.7\nline_wave_npoint=5\narea_type=1\n"
                    "radiation_in_freehand_active=false\n");
  EXPECT_EQ(p.line_pitch, 0.7);
  EXPECT_EQ(p.line_wave_npoint, 4);
  EXPECT_EQ(p.area_type, 1);
  EXPECT_EQ(p.radiation_in_freehand.active, 0);
}

TEST(SettingsApply, OutlineSamplesOnlyFromAFullList) {
  EffectParams live = defaults_640x480();
  live.radiation_out_freehand.samples[3].factor = 0.75;
  live.parallel_out_freehand.count = 0;

  EffectParams source = defaults_640x480();
  source.radiation_out_freehand.active = 1;
  source.radiation_out_freehand.samples[3].factor = 1.5;
  source.parallel_out_freehand.active = 1;
  source.parallel_out_freehand.samples[0].factor = 2.5;
  EffectParams p = applied(live, text_of(source));
  EXPECT_EQ(p.radiation_out_freehand.active, 1);
  EXPECT_EQ(p.radiation_out_freehand.samples[3].factor, 1.5);
  EXPECT_EQ(p.parallel_out_freehand.count, 1000);
  EXPECT_EQ(p.parallel_out_freehand.samples[0].factor, 2.5);
  // Inactive outlines carry no samples: the live ones stay.
  EXPECT_EQ(p.radiation_in_freehand.count, 1000);
  EXPECT_EQ(p.radiation_in_freehand.samples[999].pos, live.radiation_in_freehand.samples[999].pos);

  // A rejected list or a bare count leaves the live samples alone.
  p = applied(live,
              "[zipstroke]\nradiation_out_freehand_active=true\n"
              "radiation_out_freehand_points_count=999\nradiation_out_freehand_points=1;2;\n"
              "parallel_out_freehand_active=true\nparallel_out_freehand_points_count=1000\n");
  EXPECT_EQ(p.radiation_out_freehand.active, 1);
  EXPECT_EQ(p.radiation_out_freehand.count, 1000);
  EXPECT_EQ(p.radiation_out_freehand.samples[3].factor, 0.75);
  EXPECT_EQ(p.parallel_out_freehand.count, 0);
  EXPECT_EQ(p.parallel_out_freehand.samples[5].pos, live.parallel_out_freehand.samples[5].pos);
}

}  // namespace
