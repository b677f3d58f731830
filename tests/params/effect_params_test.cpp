#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

#include "control_ranges.h"
#include "params_fixtures.h"
#include "path_spine.h"
#include "units.h"

namespace {

TEST(Defaults, WholeImageOf640x480) {
  const EffectParams p = defaults_640x480();
  EXPECT_FALSE(work_area_of(1).has_selection);
  EXPECT_EQ(p.area_type, 0);
  EXPECT_EQ(p.area_unit, 0);
  EXPECT_DOUBLE_EQ(p.radiation_x, 320);
  EXPECT_DOUBLE_EQ(p.radiation_y, 240);
  EXPECT_DOUBLE_EQ(p.radiation_out_radius, 400);
  EXPECT_DOUBLE_EQ(p.radiation_in_radius, 200);
  EXPECT_DOUBLE_EQ(p.radiation_oblateness, 0);
  EXPECT_DOUBLE_EQ(p.line_in_margin, 100);
  EXPECT_DOUBLE_EQ(p.line_in_length, 100);
  EXPECT_DOUBLE_EQ(p.parallel_in_x, 0);
  EXPECT_DOUBLE_EQ(p.parallel_in_Y, 240);
  EXPECT_DOUBLE_EQ(p.parallel_out_Y, 240);
  EXPECT_DOUBLE_EQ(p.parallel_in_range, 480);
  EXPECT_DOUBLE_EQ(p.parallel_out_range, 480);
  EXPECT_DOUBLE_EQ(p.parallel_out_x, 640);
  // The path: an arc from the middle of the left edge to that of the right
  // one, 60 (an eighth of the height) above them in the middle, on a circle
  // through those three points; widths a third of the height.
  EXPECT_DOUBLE_EQ(p.path_in_range, 160);
  EXPECT_DOUBLE_EQ(p.path_out_range, 160);
  ASSERT_EQ(p.path_spine_points_count, 33);
  EXPECT_EQ(p.path_spine_points[0].x, 0);
  EXPECT_EQ(p.path_spine_points[0].y, 240);
  EXPECT_EQ(p.path_spine_points[16].x, 320);
  EXPECT_EQ(p.path_spine_points[16].y, 180);
  EXPECT_EQ(p.path_spine_points[32].x, 640);
  EXPECT_EQ(p.path_spine_points[32].y, 240);
  const double radius = (320.0 * 320.0 + 60.0 * 60.0) / 120.0;
  for (int i = 1; i < 33; ++i) {
    const SpinePoint &q = p.path_spine_points[i];
    EXPECT_NEAR(std::hypot(q.x - 320, q.y - (180 + radius)), radius, 1e-3) << i;
    EXPECT_GT(q.x, p.path_spine_points[i - 1].x) << i;
  }
  EXPECT_EQ(p.path_in_freehand.active, 0);
  EXPECT_EQ(p.path_out_freehand.count, FREEHAND_SAMPLES);

  EXPECT_EQ(p.line_color.r, 0);
  EXPECT_EQ(p.line_color.a, 1.0);
  EXPECT_EQ(p.line_antialias, 2);
  EXPECT_DOUBLE_EQ(p.line_pitch, 10);
  EXPECT_DOUBLE_EQ(p.line_pitch_rand, 100);
  EXPECT_EQ(p.line_pitch_type, 1);
  EXPECT_DOUBLE_EQ(p.line_wave_depth, 50);
  EXPECT_DOUBLE_EQ(p.line_width, 2);
  EXPECT_DOUBLE_EQ(p.line_in_margin_rand, 50);
  EXPECT_DOUBLE_EQ(p.line_out_margin, 0);
  EXPECT_DOUBLE_EQ(p.line_out_length, 0);
  // Every other spread is 0 and every seed 100.
  for (const SpinRange &r : SPIN_RANGES) {
    const std::string key = r.key;
    if (key.size() > 10 && key.compare(key.size() - 10, 10, "_rand_seed") == 0) {
      EXPECT_EQ(spin_field_get(&p, r), 100) << key;
    } else if (key.size() > 5 && key.compare(key.size() - 5, 5, "_rand") == 0 &&
               key != "line_pitch_rand" && key != "line_in_margin_rand") {
      EXPECT_EQ(spin_field_get(&p, r), 0) << key;
    }
  }
}

TEST(Defaults, SelectionIsTheWorkArea) {
  FixedImage image;
  image.has_selection = true;
  image.sel_x1 = 10;
  image.sel_y1 = 20;
  image.sel_x2 = 111;
  image.sel_y2 = 71;
  image_services_install_fixed(image);
  EffectParams p{};
  effect_params_set_defaults(&p);
  // w 101, h 51: halves truncate before they become doubles, and positions
  // are measured from the selection's corner.
  EXPECT_EQ(p.radiation_x, 50.0);
  EXPECT_EQ(p.radiation_y, 25.0);
  EXPECT_EQ(p.parallel_in_Y, 25.0);
  EXPECT_EQ(p.parallel_out_x, 101.0);
  EXPECT_EQ(p.parallel_in_range, 51.0);
  EXPECT_DOUBLE_EQ(p.radiation_out_radius, std::sqrt(101.0 * 101 + 51 * 51) / 2);
  EXPECT_TRUE(work_area_of(1).has_selection);

  // An area without height has no arc to bulge: its spine runs straight.
  image = FixedImage{};
  image.height = 0;
  image_services_install_fixed(image);
  effect_params_set_defaults(&p);
  EXPECT_EQ(p.path_spine_points[8].x, image.width / 4.0);
  EXPECT_EQ(p.path_spine_points[8].y, 0.0);
  image_services_install_fixed(FixedImage{});
}

TEST(Defaults, OutlinesAreResetAndInactive) {
  const EffectParams p = defaults_640x480();
  for (const FreehandOutline *o : {&p.radiation_in_freehand, &p.radiation_out_freehand}) {
    EXPECT_EQ(o->active, 0);
    EXPECT_EQ(o->count, 1000);
    EXPECT_EQ(o->samples[0].pos, 0.0);
    EXPECT_EQ(o->samples[0].factor, 1.0);
    // Each pos is i times the step, not a running sum.
    EXPECT_EQ(o->samples[999].pos, 999.0 * 0.006283185307179587);
    EXPECT_NEAR(o->samples[999].pos, 6.2769, 1e-4);
    EXPECT_EQ(o->samples[999].factor, 1.0);
  }
  for (const FreehandOutline *o : {&p.parallel_in_freehand, &p.parallel_out_freehand,
                                   &p.path_in_freehand, &p.path_out_freehand}) {
    EXPECT_EQ(o->active, 0);
    EXPECT_EQ(o->count, 1000);
    EXPECT_EQ(o->samples[0].pos, 0.0);
    EXPECT_EQ(o->samples[999].pos, 999.0 * 0.001);
    EXPECT_EQ(o->samples[999].factor, 1.0);
  }
}

TEST(Defaults, ResetKeepsRunAndWindowFields) {
  EffectParams p = defaults_640x480();
  p.image_id = 7;
  p.drawable_id = 8;
  p.window_x = 11;
  p.window_y = 12;
  p.window_width = 300;
  p.window_height = 200;
  p.topmost = 1;
  p.edit_mode = EditMode::Replace;
  p.line_pitch = 33;
  FreehandOutline *outlines[] = {&p.radiation_in_freehand, &p.radiation_out_freehand,
                                 &p.parallel_in_freehand,  &p.parallel_out_freehand,
                                 &p.path_in_freehand,      &p.path_out_freehand};
  for (FreehandOutline *o : outlines) o->active = 1;
  p.radiation_in_freehand.samples[5].factor = 0.25;
  p.path_spine_points[PATH_SPINE_MAX - 1] = {5, 5};
  effect_params_set_defaults(&p);
  EXPECT_EQ(p.path_spine_points[PATH_SPINE_MAX - 1].x, 0);  // nothing of the old spine
  EXPECT_EQ(p.line_pitch, 10);
  for (const FreehandOutline *o : outlines) EXPECT_EQ(o->active, 0);
  EXPECT_EQ(p.radiation_in_freehand.samples[5].factor, 1.0);
  EXPECT_EQ(p.image_id, 7);
  EXPECT_EQ(p.drawable_id, 8);
  EXPECT_EQ(p.window_x, 11);
  EXPECT_EQ(p.window_y, 12);
  EXPECT_EQ(p.window_width, 300);
  EXPECT_EQ(p.window_height, 200);
  EXPECT_EQ(p.topmost, 1);
  EXPECT_EQ(p.edit_mode, EditMode::Replace);

  // A new run's fields are its own, whatever the record held.
  effect_params_init_run_fields(&p, 3, 4);
  const int32_t run[] = {p.image_id, p.drawable_id,   p.window_x, p.window_y,
                         p.window_width, p.window_height, p.topmost, static_cast<int32_t>(p.edit_mode)};
  EXPECT_EQ(std::vector<int32_t>(std::begin(run), std::end(run)),
            (std::vector<int32_t>{3, 4, 0, 0, -1, -1, 0, 0}));
}

// Every value a control edits goes back to its default, whatever it held.
TEST(Defaults, ResetBringsBackEveryControlledValue) {
  const EffectParams defaults = defaults_640x480();
  EffectParams p;
  std::memcpy(&p, &defaults, sizeof p);  // padding included, for the byte comparison
  for (const SpinRange &range : SPIN_RANGES) {
    const double now = spin_field_get(&p, range);
    double other = range.rule == IntRule::WavePoints ? 12 : range.min + 3 * range.step;
    if (other == now) other += range.step;
    spin_field_set(&p, range, other);
    ASSERT_NE(spin_field_get(&p, range), now) << range.key;
  }
  p.line_color = {0.5, 0.25, 0.125, 0.5};
  p.line_antialias = 0;
  p.line_pitch_type = 0;
  p.line_wave_type = 6;
  p.area_type = AREA_PARALLEL;
  p.area_unit = 2;
  for (FreehandOutline *o : {&p.radiation_in_freehand, &p.radiation_out_freehand,
                             &p.parallel_in_freehand, &p.parallel_out_freehand}) {
    o->active = 1;
    o->count = 10;
    o->samples[0] = {0.5, 0.5};
    o->samples[999] = {0.25, 2.0};
  }
  effect_params_set_defaults(&p);
  EXPECT_EQ(std::memcmp(&p, &defaults, sizeof p), 0);
}

TEST(Defaults, OutlineResetLeavesActiveAlone) {
  FreehandOutline o{};
  o.active = 1;
  o.count = 0;
  freehand_reset_parallel(&o);
  EXPECT_EQ(o.active, 1);
  EXPECT_EQ(o.count, 1000);
  EXPECT_EQ(o.samples[500].pos, 0.5);
}

// Every table entry must point at the field its key names: a value set through
// the table has to come out under that key in the settings text.
TEST(ControlRanges, EveryEntryAddressesTheFieldOfItsKey) {
  EffectParams p = defaults_640x480();
  int n = 0;
  for (const SpinRange &r : SPIN_RANGES) {
    const double v = r.min + (r.type == FieldType::Int ? 4 : 0.25);  // inside every range
    spin_field_set(&p, r, v);
    KeyFilePtr kf(settings_to_key_file(&p), g_key_file_free);
    EXPECT_EQ(g_key_file_get_double(kf.get(), SETTINGS_GROUP, r.key, nullptr), v) << r.key;
    spin_field_set(&p, r, r.min);
    ++n;
  }
  EXPECT_EQ(n, 39);
  for (const ComboRange &c : COMBO_RANGES) {
    KeyFilePtr kf(settings_to_key_file(&p), g_key_file_free);
    EXPECT_EQ(g_key_file_get_integer(kf.get(), SETTINGS_GROUP, c.key, nullptr),
              combo_field_get(&p, c))
        << c.key;
  }
}

TEST(ControlRanges, SeedsSpreadsAndWavePoints) {
  for (const SpinRange &r : SPIN_RANGES) {
    const std::string key = r.key;
    if (key.find("_rand_seed") != std::string::npos) {
      EXPECT_EQ(r.min, 0) << key;
      EXPECT_EQ(r.max, 32767) << key;
      EXPECT_EQ(r.digits, 0) << key;
      EXPECT_EQ(r.type, FieldType::Int) << key;
    } else if (key.size() > 5 && key.compare(key.size() - 5, 5, "_rand") == 0) {
      EXPECT_EQ(r.min, 0) << key;
      EXPECT_EQ(r.max, 100) << key;
      EXPECT_EQ(r.digits, 2) << key;
    } else if (key != "line_wave_npoint") {
      EXPECT_EQ(r.digits, 3) << key;
    }
  }

  // The pitch, block and wave seeds truncate; width, margin and length seeds
  // take the nearest integer.
  EffectParams p{};
  const char *truncating[] = {"line_pitch_rand_seed", "line_blick_on_pitch_rand_seed",
                              "line_blick_off_pitch_rand_seed", "line_wave_depth_rand_seed"};
  const char *rounding[] = {"line_width_rand_seed", "line_in_margin_rand_seed",
                            "line_in_length_rand_seed", "line_out_margin_rand_seed",
                            "line_out_length_rand_seed"};
  for (const char *key : truncating) {
    const SpinRange *r = spin_range_find(key);
    ASSERT_NE(r, nullptr) << key;
    spin_field_set(&p, *r, 7.6);
    EXPECT_EQ(spin_field_get(&p, *r), 7) << key;
  }
  for (const char *key : rounding) {
    const SpinRange *r = spin_range_find(key);
    ASSERT_NE(r, nullptr) << key;
    spin_field_set(&p, *r, 7.6);
    EXPECT_EQ(spin_field_get(&p, *r), 8) << key;
    spin_field_set(&p, *r, 7.5);
    EXPECT_EQ(spin_field_get(&p, *r), 8) << key;
    spin_field_set(&p, *r, 7.4);
    EXPECT_EQ(spin_field_get(&p, *r), 7) << key;
  }

  const SpinRange *wave = spin_range_find("line_wave_npoint");
  ASSERT_NE(wave, nullptr);
  EXPECT_EQ(wave->step, 4);
  for (auto [in, out] : {std::pair{7.0, 4}, {128.0, 128}, {127.9, 124}, {3.0, 0}, {500.0, 128},
                         {-9.0, 0}}) {
    spin_field_set(&p, *wave, in);
    EXPECT_EQ(p.line_wave_npoint, out) << in;
  }
}

TEST(ControlRanges, ClampsAndNonFiniteValues) {
  EffectParams p{};
  const SpinRange &pitch = *spin_range_find("line_pitch");
  const SpinRange &oblateness = *spin_range_find("radiation_oblateness");
  const SpinRange &x = *spin_range_find("radiation_x");
  const SpinRange &range = *spin_range_find("parallel_out_range");
  const SpinRange &seed = *spin_range_find("line_width_rand_seed");
  spin_field_set(&p, pitch, 0.0);
  EXPECT_EQ(p.line_pitch, 0.5);
  spin_field_set(&p, oblateness, 1.0);
  EXPECT_EQ(p.radiation_oblateness, 0.95);
  spin_field_set(&p, oblateness, -10);
  EXPECT_EQ(p.radiation_oblateness, -4);
  spin_field_set(&p, x, -1e9);
  EXPECT_EQ(p.radiation_x, -524288);
  spin_field_set(&p, range, 0.0);
  EXPECT_EQ(p.parallel_out_range, 0.001);
  spin_field_set(&p, pitch, NAN);
  EXPECT_EQ(p.line_pitch, 0.5);
  spin_field_set(&p, pitch, INFINITY);
  EXPECT_EQ(p.line_pitch, 32767);
  spin_field_set(&p, seed, 1e300);  // no overflow on the way to an integer
  EXPECT_EQ(p.line_width_rand_seed, 32767);
  spin_field_set(&p, seed, -INFINITY);
  EXPECT_EQ(p.line_width_rand_seed, 0);

  // A spine is drawn from 2 to 1000 points, every coordinate finite.
  p.path_spine_points[0] = {1, 2}, p.path_spine_points[1] = {3, 4};
  for (int n : {1, 2, PATH_SPINE_MAX, PATH_SPINE_MAX + 1}) {
    p.path_spine_points_count = n;
    EXPECT_EQ(path_spine_usable(&p), n == 2 || n == PATH_SPINE_MAX) << n;
  }
  p.path_spine_points_count = 2;
  for (double *v : {&p.path_spine_points[1].x, &p.path_spine_points[1].y}) {
    const double kept = *v;
    *v = NAN;
    EXPECT_FALSE(path_spine_usable(&p));
    *v = kept;
  }

  const ComboRange &wave = *combo_range_find("line_wave_type");
  for (int v : {0, 2, 4, 5, 6, 8, 9}) EXPECT_TRUE(combo_has_value(wave, v)) << v;
  for (int v : {1, 3, 7, 10, -1}) EXPECT_FALSE(combo_has_value(wave, v)) << v;
  EXPECT_TRUE(combo_has_value(*combo_range_find("area_unit"), 4));
  EXPECT_FALSE(combo_has_value(*combo_range_find("area_unit"), 5));
  EXPECT_FALSE(combo_has_value(*combo_range_find("line_antialias"), 3));
  EXPECT_FALSE(combo_has_value(*combo_range_find("line_pitch_type"), 2));
}

}  // namespace

// Work areas up to GIMP's largest image side: the defaults reach the far side
// of the area (Parallel to its last column, Radiation's outer circle to its
// corners), every one of them passes the controls' clamp unchanged in every
// unit, and the settings text gives them back as they were.
TEST(Defaults, BigWorkAreasAreCoveredToTheirFarSide) {
  const struct {
    int width, height;
  } areas[] = {{40000, 300}, {524288, 524288}, {1, 524288}, {524288, 1}, {7, 2}};
  for (const auto &a : areas) {
    FixedImage image;
    image.width = a.width;
    image.height = a.height;
    image.xres = 300.0;
    image.yres = 600.0;
    image_services_install_fixed(image);
    EffectParams p{};
    effect_params_set_defaults(&p);
    const std::string area = std::to_string(a.width) + "x" + std::to_string(a.height);
    EXPECT_EQ(p.parallel_out_x, a.width) << area;
    EXPECT_EQ(p.parallel_in_range, a.height) << area;
    EXPECT_GE(2 * p.radiation_out_radius, std::hypot(a.width, a.height) - 1) << area;
    // The spine from edge to edge, its start 0 and not -0 (as the text shows it).
    EXPECT_FALSE(std::signbit(p.path_spine_points[0].x)) << area;
    EXPECT_EQ(p.path_spine_points[p.path_spine_points_count - 1].x, a.width) << area;
    for (int unit = 0; unit < UNIT_COUNT; ++unit) {
      for (const SpinRange &r : SPIN_RANGES) {
        if (r.type != FieldType::Double) continue;
        const double res = r.axis == LengthAxis::Vertical ? image.yres : image.xres;
        const double value = r.axis == LengthAxis::None
                                 ? spin_field_get(&p, r)
                                 : pixels_to_units(spin_field_get(&p, r), unit, res);
        EXPECT_EQ(spin_clamp(spin_limits(r, unit, {image.xres, image.yres}), value), value)
            << area << " unit " << unit << " " << r.key;
      }
    }
    EffectParams back = p;
    const EffectParams parsed = parse_text(text_of(p));
    settings_apply_parsed(&back, &parsed);
    EXPECT_TRUE(same_record(back, p)) << area;
  }
  image_services_install_fixed(FixedImage{});
}
