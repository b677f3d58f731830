#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "params_fixtures.h"
#include "script_settings.h"

namespace {

struct Outcome {
  bool ok;
  EffectParams params;
  GQuark domain;
  std::string message;
};

Outcome apply_script(const std::string &text) {
  Outcome out{false, defaults_640x480(), 0, {}};
  GError *error = nullptr;
  out.ok = script_settings_apply(&out.params, text.data(), text.size(), &error);
  if (error) {
    out.domain = error->domain;
    out.message = error->message;
    g_error_free(error);
  }
  return out;
}

TEST(ScriptSettings, DrawsWhatLoadingThePresetGives) {
  // A hand-written text in millimetres with a partial outline: the script
  // gets exactly the record the dialog gets when the text is loaded.
  const std::string text =
      "# hand written\n[zipstroke]\nversion=0.5.2\narea_unit=2\nline_pitch=3.5\nline_width=0.8\n"
      "radiation_x=40\nradiation_oblateness=1.5\nline_wave_npoint=7\nline_color=255;0;10;\n"
      "radiation_out_freehand_active=true\n";
  const Outcome out = apply_script(text);
  ASSERT_TRUE(out.ok) << out.message;
  EffectParams preset = defaults_640x480();
  const EffectParams parsed = parse_text(text);
  settings_apply_parsed(&preset, &parsed);
  EXPECT_TRUE(same_record(out.params, preset));
  EXPECT_EQ(out.params.area_unit, 2);
  EXPECT_EQ(out.params.line_pitch, 3.5);
  EXPECT_EQ(out.params.line_wave_npoint, 4);
  EXPECT_EQ(out.params.radiation_out_freehand.active, 1);
}

TEST(ScriptSettings, RefusesWhatCannotBeDrawnAndKeepsTheRecord) {
  const EffectParams before = defaults_640x480();
  struct Bad {
    std::string text;
    GQuark domain;
    const char *says;
  } cases[] = {
      {"", SCRIPT_SETTINGS_ERROR, "empty"},
      {" \n\t\n", SCRIPT_SETTINGS_ERROR, "empty"},
      {"[other]\nline_pitch=3\n", SCRIPT_SETTINGS_ERROR, "[zipstroke]"},
      {"line_pitch=3\n", G_KEY_FILE_ERROR, ""},
      {"[zipstroke]\nthis is not a key\n", G_KEY_FILE_ERROR, ""},
  };
  for (const Bad &bad : cases) {
    const Outcome out = apply_script(bad.text);
    EXPECT_FALSE(out.ok) << bad.text;
    EXPECT_EQ(out.domain, bad.domain) << bad.text;
    EXPECT_NE(out.message.find(bad.says), std::string::npos) << out.message;
    EXPECT_FALSE(out.message.empty());
    EXPECT_TRUE(same_record(out.params, before)) << bad.text;
  }
  // A null text with a length is refused, not read.
  EffectParams p = before;
  GError *error = nullptr;
  EXPECT_FALSE(script_settings_apply(&p, nullptr, 12, &error));
  ASSERT_NE(error, nullptr);
  g_error_free(error);
}

}  // namespace
