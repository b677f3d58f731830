// Applying settings text through the dialog's controls gives the record the
// reference apply function computes, for good and hostile texts alike.
#include <glib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "control_ranges.h"
#include "dialog_widgets.h"
#include "preset_test_support.h"
#include "settings_apply.h"
#include "settings_text.h"
#include "unit_change.h"
#include "units.h"

namespace {

std::vector<std::string> corpus_files() {
  std::vector<std::string> files;
  for (const char *kind : {"good", "broken"}) {
    const std::string dir = std::string(ZIPSTROKE_TEST_DATA) + "/settings/" + kind;
    GDir *d = g_dir_open(dir.c_str(), 0, nullptr);
    while (const char *name = d ? g_dir_read_name(d) : nullptr) files.push_back(dir + "/" + name);
    if (d) g_dir_close(d);
  }
  return files;
}

// Whatever GLib's parser accepted, as the edit path applies a parasite.
GKeyFile *load_as_far_as_possible(const std::string &path) {
  GKeyFile *key_file = g_key_file_new();
  g_key_file_load_from_file(key_file, path.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
  return key_file;
}

void expect_same_record(const EffectParams &expected, const EffectParams &actual,
                        const std::string &what) {
  SCOPED_TRACE(what);
  EXPECT_NEAR(actual.line_color.r, expected.line_color.r, 1e-12);
  EXPECT_NEAR(actual.line_color.g, expected.line_color.g, 1e-12);
  EXPECT_NEAR(actual.line_color.b, expected.line_color.b, 1e-12);
  EXPECT_NEAR(actual.line_color.a, expected.line_color.a, 1e-12);
  for (const SpinRange &range : SPIN_RANGES) {
    const double e = spin_field_get(&expected, range);
    EXPECT_NEAR(spin_field_get(&actual, range), e, 1e-9 * std::max(1.0, std::fabs(e)))
        << range.key;
  }
  for (const ComboRange &range : COMBO_RANGES)
    EXPECT_EQ(combo_field_get(&actual, range), combo_field_get(&expected, range)) << range.key;
  EXPECT_EQ(actual.area_type, expected.area_type);
  const FreehandOutline EffectParams::*outlines[] = {
      &EffectParams::radiation_in_freehand, &EffectParams::radiation_out_freehand,
      &EffectParams::parallel_in_freehand, &EffectParams::parallel_out_freehand};
  for (auto outline : outlines) {
    EXPECT_EQ((actual.*outline).active, (expected.*outline).active);
    EXPECT_EQ((actual.*outline).count, (expected.*outline).count);
    EXPECT_EQ(std::memcmp((actual.*outline).samples, (expected.*outline).samples,
                          sizeof (expected.*outline).samples), 0);
  }
  EXPECT_EQ(actual.image_id, expected.image_id);
  EXPECT_EQ(actual.drawable_id, expected.drawable_id);
  EXPECT_EQ(actual.window_x, expected.window_x);
  EXPECT_EQ(actual.window_y, expected.window_y);
  EXPECT_EQ(actual.window_width, expected.window_width);
  EXPECT_EQ(actual.window_height, expected.window_height);
  EXPECT_EQ(actual.topmost, expected.topmost);
  EXPECT_EQ(actual.edit_mode, expected.edit_mode);
}

class SettingsApply : public DialogFixture, public ::testing::WithParamInterface<std::string> {
 protected:
  // Applies the text through the controls and checks the result against the
  // reference, starting from whatever the dialog holds now.
  void apply_and_compare(const std::string &path, const char *start) {
    GKeyFile *key_file = load_as_far_as_possible(path);
    const EffectParams parsed = settings_parse_key_file(key_file);
    auto expected = std::make_unique<EffectParams>(*live());
    settings_apply_parsed(expected.get(), &parsed);

    settings_apply_key_file(key_file);
    g_key_file_free(key_file);
    pump_events();

    expect_same_record(*expected, *live(), path + " from " + start);
    EXPECT_EQ(current_unit_get(), live()->area_unit) << path;
  }
};

TEST_P(SettingsApply, ControlsGiveTheReferenceRecord) {
  build(FixedImage{}, [](EffectParams *p) {
    p->window_x = 11;
    p->window_y = 12;
    p->topmost = 1;
  });
  apply_and_compare(GetParam(), "pixel defaults");

  // Now from a record in inches with every outline active and drawn.
  pick_unit(UNIT_INCH);
  for (GtkWidget *check :
       {dialog_widgets.radiation_in_freehand.check, dialog_widgets.radiation_out_freehand.check,
        dialog_widgets.parallel_in_freehand.check, dialog_widgets.parallel_out_freehand.check})
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), TRUE);
  for (int i = 0; i < FREEHAND_SAMPLES; ++i) {
    live()->radiation_in_freehand.samples[i].factor = 0.25;
    live()->parallel_out_freehand.samples[i].pos = -3;
  }
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin("line_pitch")), 1.5);
  gtk_combo_box_set_active(GTK_COMBO_BOX(dialog_widgets.antialias_combo), 0);
  pump_events();
  apply_and_compare(GetParam(), "inches, outlines active");
}

std::string corpus_test_name(const ::testing::TestParamInfo<std::string> &info) {
  std::string name = info.param.substr(info.param.rfind("/settings/") + 10);
  for (char &c : name)
    if (!g_ascii_isalnum(c)) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, SettingsApply, ::testing::ValuesIn(corpus_files()),
                         corpus_test_name);

TEST(SettingsApplyCorpus, IsPresent) { EXPECT_GE(corpus_files().size(), 10u); }

class SettingsApplyUnit : public DialogFixture {};

TEST_F(SettingsApplyUnit, TextLengthsAreTakenInTheTextsUnit) {
  build(FixedImage{}, [](EffectParams *p) { p->area_unit = UNIT_INCH; });
  GKeyFile *key_file = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_data(key_file,
                                        "[zipstroke]\nversion=0.5.2\narea_unit=2\n"
                                        "line_pitch=3.25\nline_width=0.75\nradiation_x=40\n"
                                        "radiation_y=30.5\nparallel_in_range=12\n",
                                        -1, G_KEY_FILE_NONE, nullptr));
  settings_apply_key_file(key_file);
  g_key_file_free(key_file);
  EXPECT_EQ(live()->area_unit, UNIT_MM);
  EXPECT_EQ(current_unit_get(), UNIT_MM);
  EXPECT_EQ(live()->line_pitch, 3.25);
  EXPECT_EQ(live()->line_width, 0.75);
  EXPECT_EQ(live()->radiation_x, 40);
  EXPECT_EQ(live()->radiation_y, 30.5);
  EXPECT_EQ(live()->parallel_in_range, 12);
  EXPECT_EQ(spin_value("line_pitch"), 3.25);
  EXPECT_EQ(spin_value("radiation_x"), 40);
}

TEST_F(SettingsApplyUnit, AnUnknownUnitKeepsTheCurrentOne) {
  build(FixedImage{}, [](EffectParams *p) { p->area_unit = UNIT_POINT; });
  GKeyFile *key_file = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_data(
      key_file, "[zipstroke]\nversion=0.5.2\narea_unit=9\nline_pitch=4\n", -1, G_KEY_FILE_NONE,
      nullptr));
  settings_apply_key_file(key_file);
  g_key_file_free(key_file);
  EXPECT_EQ(live()->area_unit, UNIT_POINT);
  EXPECT_EQ(current_unit_get(), UNIT_POINT);
  EXPECT_EQ(live()->line_pitch, 4);
}

// The text's lengths meet the limits of the text's unit, whatever unit the
// dialog showed: a fine width in inches from a dialog in pixels, and a
// position beyond 524288 px (at 300 dpi) held to the same physical limit.
TEST_F(SettingsApplyUnit, TextLengthsMeetTheLimitsOfTheTextsUnit) {
  FixedImage image;
  image.xres = image.yres = 300;
  build(image);
  GKeyFile *key_file = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_data(key_file,
                                        "[zipstroke]\nversion=0.5.2\narea_unit=1\n"
                                        "line_width=0.01\nradiation_x=2000\nline_pitch=0.5\n",
                                        -1, G_KEY_FILE_NONE, nullptr));
  const EffectParams parsed = settings_parse_key_file(key_file);
  auto expected = std::make_unique<EffectParams>(*live());
  settings_apply_parsed(expected.get(), &parsed);
  settings_apply_key_file(key_file);
  g_key_file_free(key_file);
  EXPECT_EQ(live()->area_unit, UNIT_INCH);
  EXPECT_EQ(live()->line_width, 0.01);
  EXPECT_EQ(live()->line_pitch, 0.5);
  EXPECT_NEAR(live()->radiation_x, 524288.0 / 300, 1e-12);
  EXPECT_EQ(expected->line_width, 0.01);
  EXPECT_NEAR(expected->radiation_x, 524288.0 / 300, 1e-12);
}

}  // namespace
