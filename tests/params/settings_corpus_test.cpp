// Every file of the settings corpus either loads and gives a sound record, or
// is refused by the key-file loader with a reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "params_fixtures.h"
#include "path_spine.h"

namespace {

const std::string CORPUS = std::string(ZIPSTROKE_TEST_DATA) + "/settings";

std::vector<std::string> files_in(const std::string &folder) {
  std::vector<std::string> names;
  GDir *dir = g_dir_open(folder.c_str(), 0, nullptr);
  if (!dir) return names;
  while (const char *name = g_dir_read_name(dir)) names.push_back(name);
  g_dir_close(dir);
  std::sort(names.begin(), names.end());
  return names;
}

struct Loaded {
  KeyFilePtr key_file{nullptr, g_key_file_free};
  std::string error;
};

// As a preset is loaded: from the file, keeping comments.
Loaded load(const std::string &path) {
  Loaded result;
  result.key_file.reset(g_key_file_new());
  GError *error = nullptr;
  if (!g_key_file_load_from_file(result.key_file.get(), path.c_str(), G_KEY_FILE_KEEP_COMMENTS,
                                 &error)) {
    result.key_file.reset();
    result.error = error ? error->message : "";
    g_clear_error(&error);
  }
  return result;
}

void expect_sound_parse(const EffectParams &p, const std::string &name) {
  for (const SpinRange &r : SPIN_RANGES)
    EXPECT_TRUE(std::isfinite(spin_field_get(&p, r))) << name << " " << r.key;
  for (double c : {p.line_color.r, p.line_color.g, p.line_color.b, p.line_color.a})
    EXPECT_TRUE(c >= 0 && c <= 1) << name;
  EXPECT_TRUE(p.path_spine_points_count == 0 || path_spine_usable(&p)) << name;
  for (const FreehandOutline *o : {&p.radiation_in_freehand, &p.radiation_out_freehand,
                                   &p.parallel_in_freehand, &p.parallel_out_freehand,
                                   &p.path_in_freehand, &p.path_out_freehand}) {
    EXPECT_TRUE(o->count >= 0 && o->count <= FREEHAND_SAMPLES) << name;
    EXPECT_TRUE(o->active == 0 || o->active == 1) << name;
    for (const FreehandSample &s : o->samples)
      ASSERT_TRUE(std::isfinite(s.pos) && std::isfinite(s.factor)) << name;
  }
}

// Applied onto the defaults, every controlled field lies in its range.
void expect_sound_apply(const EffectParams &parsed, const std::string &name) {
  EffectParams live = defaults_640x480();
  settings_apply_parsed(&live, &parsed);
  for_each_spin_range([&](const SpinRange &r) {
    const double v = spin_field_get(&live, r);
    EXPECT_TRUE(v >= r.min && v <= r.max) << name << " " << r.key << " " << v;
  });
  for (const ComboRange &c : COMBO_RANGES)
    EXPECT_TRUE(combo_has_value(c, combo_field_get(&live, c))) << name << " " << c.key;
  EXPECT_EQ(live.line_wave_npoint % 4, 0) << name;
  EXPECT_TRUE(area_type_known(live.area_type)) << name;
  EXPECT_TRUE(path_spine_usable(&live)) << name;
  for (const FreehandOutline *o : {&live.radiation_in_freehand, &live.radiation_out_freehand,
                                   &live.parallel_in_freehand, &live.parallel_out_freehand,
                                   &live.path_in_freehand, &live.path_out_freehand})
    EXPECT_EQ(o->count, FREEHAND_SAMPLES) << name;
}

TEST(SettingsCorpus, GoodTextsLoadAndApply) {
  const std::vector<std::string> names = files_in(CORPUS + "/good");
  ASSERT_GE(names.size(), 5u);
  for (const std::string &name : names) {
    Loaded loaded = load(CORPUS + "/good/" + name);
    ASSERT_TRUE(loaded.key_file) << name << ": " << loaded.error;
    const EffectParams parsed = settings_parse_key_file(loaded.key_file.get());
    expect_sound_parse(parsed, name);
    expect_sound_apply(parsed, name);
  }
}

TEST(SettingsCorpus, BrokenTextsLoadSoundlyOrFailWithAReason) {
  const std::vector<std::string> names = files_in(CORPUS + "/broken");
  ASSERT_GE(names.size(), 20u);
  for (const std::string &name : names) {
    Loaded loaded = load(CORPUS + "/broken/" + name);
    if (name.rfind("unloadable_", 0) == 0) {
      EXPECT_FALSE(loaded.key_file) << name << " loaded";
      EXPECT_FALSE(loaded.error.empty()) << name;
      continue;
    }
    ASSERT_TRUE(loaded.key_file) << name << ": " << loaded.error;
    const EffectParams parsed = settings_parse_key_file(loaded.key_file.get());
    expect_sound_parse(parsed, name);
    expect_sound_apply(parsed, name);
  }
}

TEST(SettingsCorpus, DefaultsFileIsWhatTheWriterWrites) {
  gchar *contents = nullptr;
  gsize length = 0;
  ASSERT_TRUE(g_file_get_contents((CORPUS + "/good/defaults_640x480").c_str(), &contents,
                                  &length, nullptr));
  const std::string file(contents, length);
  g_free(contents);
  EXPECT_EQ(file, text_of(defaults_640x480()));
}

TEST(SettingsCorpus, SelectedFilesGiveTheirValues) {
  Loaded legacy = load(CORPUS + "/good/legacy_0.2.0");
  ASSERT_TRUE(legacy.key_file);
  EffectParams p = settings_parse_key_file(legacy.key_file.get());
  EXPECT_EQ(p.radiation_in_radius, 200);
  EXPECT_EQ(p.radiation_out_radius, 50);
  EXPECT_EQ(p.radiation_oblateness, 0);
  EXPECT_EQ(p.line_color.b, 128 / 255.0);

  Loaded radial = load(CORPUS + "/good/radial_freehand");
  ASSERT_TRUE(radial.key_file);
  p = settings_parse_key_file(radial.key_file.get());
  EXPECT_EQ(p.radiation_out_freehand.count, 1000);
  EXPECT_NEAR(p.radiation_out_freehand.samples[50].factor,
              1.0 + 0.25 * std::sin(5 * 50 * RADIAL_SAMPLE_STEP), 1e-15);

  Loaded hand = load(CORPUS + "/good/hand_written_comments");
  ASSERT_TRUE(hand.key_file);
  p = settings_parse_key_file(hand.key_file.get());
  EXPECT_EQ(p.line_width, 4.5);
  EXPECT_EQ(p.area_type, 1);
  EXPECT_EQ(p.parallel_out_range, 50);

  Loaded nonfinite = load(CORPUS + "/broken/non_finite_in_points");
  ASSERT_TRUE(nonfinite.key_file);
  p = settings_parse_key_file(nonfinite.key_file.get());
  EXPECT_EQ(p.radiation_out_freehand.count, 0);
  EXPECT_EQ(p.parallel_in_freehand.count, 0);
  EXPECT_EQ(p.radiation_out_freehand.active, 1);
}

}  // namespace

namespace {

// Everything the fuzzer keeps (its seeds and every input it once found to
// fail) parses and applies soundly.
TEST(SettingsCorpus, FuzzerInputsStaySound) {
  const std::string folder = std::string(ZIPSTROKE_TEST_DATA) + "/../fuzz/corpus";
  const std::vector<std::string> names = files_in(folder);
  ASSERT_GE(names.size(), 20u);
  for (const std::string &name : names) {
    Loaded loaded = load(folder + "/" + name);
    if (!loaded.key_file) continue;
    const EffectParams parsed = settings_parse_key_file(loaded.key_file.get());
    expect_sound_parse(parsed, name);
    expect_sound_apply(parsed, name);
  }
}

}  // namespace
