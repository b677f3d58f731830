#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "params_fixtures.h"

namespace {

std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A points list of n doubles: pos_i = i * 0.001, factor_i = 0.5 + i / 4000.
std::string points_list(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) {
    char buf[G_ASCII_DTOSTR_BUF_SIZE];
    const double v = (i % 2 == 0) ? (i / 2) * 0.001 : 0.5 + i / 4000.0;
    s += g_ascii_dtostr(buf, sizeof buf, v);
    s += ';';
  }
  return s;
}

TEST(SettingsWrite, DefaultsInKeyOrderAndForm) {
  const std::vector<std::string> lines = lines_of(text_of(defaults_640x480()));
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "[zipstroke]");
  EXPECT_EQ(lines[1], "version=0.5.2");
  EXPECT_EQ(lines[2], "line_color=0;0;0;");
  EXPECT_EQ(lines[3], "line_antialias=2");
  EXPECT_EQ(lines[4], "line_pitch=10");
  EXPECT_EQ(lines[5], "line_pitch_rand=100");

  // 1 group line, version, colour, keys 3..40, 4 active flags, keys 47..52,
  // the path's two widths, its spine's count and points and 2 active flags.
  EXPECT_EQ(lines.size(), 1u + 2 + 38 + 4 + 6 + 6);
  const char *expected_order[] = {
      "line_blick_off_pitch_rand_seed", "line_wave_npoint", "line_out_length_rand_seed",
      "area_type", "area_unit", "radiation_x", "radiation_y", "radiation_in_radius",
      "radiation_out_radius", "radiation_oblateness", "radiation_in_freehand_active",
      "radiation_out_freehand_active", "parallel_in_x", "parallel_in_Y", "parallel_in_range",
      "parallel_out_x", "parallel_out_Y", "parallel_out_range", "parallel_in_freehand_active",
      "parallel_out_freehand_active", "path_in_range", "path_out_range",
      "path_spine_points_count", "path_spine_points", "path_in_freehand_active",
      "path_out_freehand_active"};
  size_t at = 0;
  for (const char *key : expected_order) {
    const std::string prefix = std::string(key) + "=";
    size_t i = at;
    while (i < lines.size() && lines[i].compare(0, prefix.size(), prefix) != 0) ++i;
    ASSERT_LT(i, lines.size()) << key << " missing or out of order";
    at = i + 1;
  }
  for (const std::string &line : lines) {
    if (line.rfind("path_spine_points", 0) == 0) continue;  // the spine is always written
    EXPECT_EQ(line.find("points"), std::string::npos) << line;
    if (line.find("_active=") != std::string::npos) {
      EXPECT_NE(line.find("=false"), std::string::npos) << line;
    }
  }
}

TEST(SettingsWrite, ColourUsesTheEditorsByteRounding) {
  EffectParams p = defaults_640x480();
  p.line_color = {1.0, 0.5, 1.5, 0.25};  // 127.5 rounds up; out of range clamps
  KeyFilePtr kf(settings_to_key_file(&p), g_key_file_free);
  gsize n = 0;
  std::unique_ptr<gint, decltype(&g_free)> rgb(
      g_key_file_get_integer_list(kf.get(), SETTINGS_GROUP, "line_color", &n, nullptr), g_free);
  ASSERT_EQ(n, 3u);
  EXPECT_EQ(rgb.get()[0], 255);
  EXPECT_EQ(rgb.get()[1], 128);
  EXPECT_EQ(rgb.get()[2], 255);

  p.line_color = {-0.2, NAN, 0.2, 1};
  kf.reset(settings_to_key_file(&p));
  rgb.reset(g_key_file_get_integer_list(kf.get(), SETTINGS_GROUP, "line_color", &n, nullptr));
  ASSERT_EQ(n, 3u);
  EXPECT_EQ(rgb.get()[0], 0);
  EXPECT_EQ(rgb.get()[1], 0);
  EXPECT_EQ(rgb.get()[2], 51);
}

TEST(SettingsRoundTrip, EveryKeyedFieldAndActiveOutlines) {
  EffectParams p = defaults_640x480();
  p.line_color = {1.0, 128 / 255.0, 3 / 255.0, 1.0};
  p.line_pitch = 0.1 + 0.2;  // needs all 17 digits
  p.line_wave_type = 9;
  p.area_type = 1;
  p.area_unit = 2;
  p.radiation_oblateness = -1.25;
  p.parallel_out_Y = -17.125;
  p.radiation_out_freehand.active = 1;
  p.parallel_in_freehand.active = 1;
  for (int i = 0; i < 1000; ++i) p.radiation_out_freehand.samples[i].factor = 1.0 + i / 3.0;
  p.parallel_in_freehand.samples[999] = {0.999, 1e-300};
  p.area_type = 2;
  p.path_in_range = 1.0 / 3.0;
  p.path_out_range = 12.5;
  p.path_spine_points_count = 1000;
  for (int i = 0; i < 1000; ++i) p.path_spine_points[i] = {i * 0.1, -i / 7.0};
  p.path_in_freehand.active = 1;
  p.path_in_freehand.samples[500].factor = 0.3;

  EffectParams back = parse_text(text_of(p));
  // Inactive outlines and the run and window fields do not travel.
  EXPECT_EQ(back.radiation_in_freehand.count, 0);
  EXPECT_EQ(back.parallel_out_freehand.samples[3].pos, 0.0);
  EXPECT_EQ(back.image_id, 0);
  EXPECT_EQ(back.window_width, 0);
  back.radiation_in_freehand = p.radiation_in_freehand;
  back.parallel_out_freehand = p.parallel_out_freehand;
  back.path_out_freehand = p.path_out_freehand;
  back.image_id = p.image_id;
  back.drawable_id = p.drawable_id;
  back.window_width = p.window_width;
  back.window_height = p.window_height;
  EXPECT_TRUE(same_record(back, p));
}

TEST(SettingsRead, LegacyVersionsSwapTheRadii) {
  const std::string body =
      "radiation_in_radius=50\nradiation_out_radius=200\nradiation_oblateness=0.5\n";
  for (const char *version : {"version=0.2.0\n", "version=0.1.0\n", "version=0.2.9\n", "",
                              "version=0\n", "version=banana\n", "version=0.5.2\xff\n"}) {
    const EffectParams p = parse_text(std::string("[zipstroke]\n") + version + body);
    EXPECT_EQ(p.radiation_in_radius, 200) << version;
    EXPECT_EQ(p.radiation_out_radius, 50) << version;
    EXPECT_EQ(p.radiation_oblateness, 0) << version;
  }
  for (const char *version : {"version=0.3.0\n", "version=1.0.0\n", "version=0.5.2\n",
                              "version=1\n", "version=0.3\n", "version=0.10.0.7\n",
                              "version=0.9\n"}) {
    const EffectParams p = parse_text(std::string("[zipstroke]\n") + version + body);
    EXPECT_EQ(p.radiation_in_radius, 50) << version;
    EXPECT_EQ(p.radiation_out_radius, 200) << version;
    EXPECT_EQ(p.radiation_oblateness, 0.5) << version;
  }
}

TEST(SettingsRead, ColourKeepsTheLowEightBits) {
  EffectParams p = parse_text("[zipstroke]\nline_color=300;-1;128;\n");
  EXPECT_EQ(p.line_color.r, 44 / 255.0);
  EXPECT_EQ(p.line_color.g, 1.0);
  EXPECT_EQ(p.line_color.b, 128 / 255.0);
  EXPECT_EQ(p.line_color.a, 1.0);

  p = parse_text("[zipstroke]\nline_color=1;2;3;4;5;\n");  // extra channels ignored
  EXPECT_EQ(p.line_color.b, 3 / 255.0);

  // Missing, short and unreadable colours all give 0, alpha included.
  for (const char *text : {"[zipstroke]\n", "[zipstroke]\nline_color=10;20;\n",
                           "[zipstroke]\nline_color=red;green;blue;\n",
                           "[zipstroke]\nline_color=\n"}) {
    p = parse_text(text);
    EXPECT_EQ(p.line_color.r, 0) << text;
    EXPECT_EQ(p.line_color.a, 0) << text;
  }
}

TEST(SettingsRead, OutlineListRules) {
  const std::string head = "[zipstroke]\nversion=0.5.2\nparallel_in_freehand_active=true\n";

  EffectParams p = parse_text(head + "parallel_in_freehand_points_count=1000\n"
                                     "parallel_in_freehand_points=" + points_list(2000) + "\n");
  EXPECT_EQ(p.parallel_in_freehand.active, 1);
  EXPECT_EQ(p.parallel_in_freehand.count, 1000);
  EXPECT_EQ(p.parallel_in_freehand.samples[999].pos, 0.999);
  EXPECT_EQ(p.parallel_in_freehand.samples[999].factor, 0.5 + 1999 / 4000.0);

  // A list with a count other than 1000, or a list of the wrong length.
  for (const std::string &bad :
       {"parallel_in_freehand_points_count=999\nparallel_in_freehand_points=" + points_list(2000),
        "parallel_in_freehand_points_count=1000\nparallel_in_freehand_points=" + points_list(1000),
        "parallel_in_freehand_points_count=1000\nparallel_in_freehand_points=" + points_list(2002),
        "parallel_in_freehand_points_count=1000\nparallel_in_freehand_points=" + points_list(1999) +
            "nan;",
        "parallel_in_freehand_points_count=1000\nparallel_in_freehand_points=" + points_list(1999) +
            "x;",
        "parallel_in_freehand_points_count=1000\nparallel_in_freehand_points=nan;" + points_list(1999),
        "parallel_in_freehand_points=" + points_list(2000)}) {
    p = parse_text(head + bad + "\n");
    EXPECT_EQ(p.parallel_in_freehand.count, 0) << bad.substr(0, 60);
    EXPECT_EQ(p.parallel_in_freehand.samples[1].pos, 0.0);
    EXPECT_EQ(p.parallel_in_freehand.active, 1);  // the other keys are still read
  }

  // A count without a list keeps its value, as long as it claims no samples
  // the outline cannot hold.
  p = parse_text(head + "parallel_in_freehand_points_count=999\n");
  EXPECT_EQ(p.parallel_in_freehand.count, 999);
  EXPECT_EQ(p.parallel_in_freehand.samples[998].factor, 0.0);
  // Written again, it lists the samples it holds, even a single one.
  p.parallel_in_freehand.count = 1;
  EXPECT_NE(text_of(p).find("parallel_in_freehand_points="), std::string::npos);
  for (const char *count : {"1000", "1001", "2147483647", "-1", "99999999999"}) {
    p = parse_text(head + "parallel_in_freehand_points_count=" + count + "\n");
    EXPECT_EQ(p.parallel_in_freehand.count, 0) << count;
  }
}

// x;y pairs 0;0;1;10;2;20;... as a list of `values` numbers.
std::string spine_list(int values) {
  std::string s;
  for (int i = 0; i < values; ++i) s += std::to_string(i % 2 ? (i / 2) * 10 : i / 2) + ";";
  return s;
}

TEST(SettingsRead, SpineListRules) {
  struct Case {
    std::string keys;
    int count;  // points taken; 0: no spine
  };
  const Case cases[] = {
      {"path_spine_points_count=3\npath_spine_points=" + spine_list(6), 3},
      {"path_spine_points=" + spine_list(8), 4},  // no count: every pair
      {"path_spine_points_count=2\npath_spine_points=" + spine_list(8), 2},
      {"path_spine_points_count=10\npath_spine_points=" + spine_list(6), 3},  // fewer given
      {"path_spine_points_count=5000\npath_spine_points=" + spine_list(2400), 1000},
      {"path_spine_points=" + spine_list(2400), 1000},
      {"path_spine_points=" + spine_list(5), 2},  // a stray number at the end
      {"path_spine_points_count=1\npath_spine_points=" + spine_list(6), 0},
      {"path_spine_points_count=-4\npath_spine_points=" + spine_list(6), 0},
      {"path_spine_points_count=x\npath_spine_points=" + spine_list(6), 0},
      {"path_spine_points=" + spine_list(3), 0},
      {"path_spine_points=" + spine_list(5) + "nan;", 0},
      {"path_spine_points=" + spine_list(4) + "nan;", 2},  // the stray number is not read
      {"path_spine_points=1;2;1e999;4;", 0},
      {"path_spine_points=1;2;x;4;", 0},
      {"path_spine_points_count=3\n", 0},
      {"", 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.keys.substr(0, 70));
    const EffectParams p = parse_text("[zipstroke]\nversion=0.5.2\n" + c.keys + "\n");
    EXPECT_EQ(p.path_spine_points_count, c.count);
    for (int i = 0; i < c.count; ++i) {
      EXPECT_EQ(p.path_spine_points[i].x, i);
      EXPECT_EQ(p.path_spine_points[i].y, 10 * i);
    }
    EXPECT_TRUE(c.count == PATH_SPINE_MAX || p.path_spine_points[c.count].x == 0) << "past the count";
    // Widths a text does not give are marked as not given.
    EXPECT_TRUE(std::isnan(p.path_in_range));
  }
}

TEST(SettingsRead, OtherGroupsUnknownKeysAndWrongForms) {
  const EffectParams p = parse_text(
      "# a comment\n[other]\nline_pitch=33\n[zipstroke]\nversion=0.5.2\nline_pich=44\n"
      "line_width=abc\nline_antialias=1.5\nline_wave_npoint=8\nline_pitch_rand=12.5\n"
      "radiation_in_freehand_active=maybe\n[later]\nline_wave_depth=9\n");
  EXPECT_EQ(p.line_pitch, 0);
  EXPECT_EQ(p.line_width, 0);
  EXPECT_EQ(p.line_antialias, 0);
  EXPECT_EQ(p.line_wave_npoint, 8);
  EXPECT_EQ(p.line_pitch_rand, 12.5);
  EXPECT_EQ(p.radiation_in_freehand.active, 0);
  EXPECT_EQ(p.line_wave_depth, 0);
}

TEST(SettingsRead, NonFiniteAndHugeNumbersReadAsMissing) {
  const EffectParams p = parse_text(
      "[zipstroke]\nversion=0.5.2\nline_pitch=nan\nline_width=inf\nradiation_x=-inf\n"
      "radiation_y=-nan\nline_wave_depth=1e999\nparallel_in_range=NAN\n"
      "line_wave_npoint=99999999999999999999\nline_pitch_rand_seed=-2147483649\n"
      "radiation_out_radius=1e300\n");
  EXPECT_EQ(p.line_pitch, 0);
  EXPECT_EQ(p.line_width, 0);
  EXPECT_EQ(p.radiation_x, 0);
  EXPECT_EQ(p.radiation_y, 0);
  EXPECT_EQ(p.line_wave_depth, 0);
  EXPECT_EQ(p.parallel_in_range, 0);
  EXPECT_EQ(p.line_wave_npoint, 0);
  EXPECT_EQ(p.line_pitch_rand_seed, 0);
  EXPECT_EQ(p.radiation_out_radius, 1e300);  // finite: clamped when applied
}

TEST(SettingsRead, MissingGroupOrKeyFile) {
  EffectParams empty{};
  empty.path_in_range = empty.path_out_range = NAN;  // not given, unlike the others' 0
  EXPECT_TRUE(same_record(parse_text("[other]\nline_pitch=4\n"), empty));
  EXPECT_TRUE(same_record(settings_parse_key_file(nullptr), empty));
}

}  // namespace
