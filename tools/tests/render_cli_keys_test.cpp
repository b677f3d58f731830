// The renderer explains itself: --list-keys, suggestions for mistyped keys,
// the colour forms, clamping with a warning, and --help's examples.
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "effect_params.h"
#include "glib_ptr.h"
#include "image_services.h"
#include "settings_text.h"

namespace {

struct ToolOutput {
  int status;
  std::string out;
  std::string err;
};

ToolOutput run_tool(const std::vector<std::string> &args) {
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(ZIPSTROKE_RENDER));
  for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  char *out = nullptr, *err = nullptr;
  int wait_status = 0;
  const bool spawned = g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr,
                                    nullptr, &out, &err, &wait_status, nullptr);
  EXPECT_TRUE(spawned);
  ToolOutput run{WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1, out ? out : "",
          err ? err : ""};
  g_free(out);
  g_free(err);
  return run;
}

std::string contents(const std::string &path) {
  gchar *data = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(path.c_str(), &data, &length, nullptr)) return "";
  std::string text(data, length);
  g_free(data);
  return text;
}

class RenderKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    GCharPtr dir(g_dir_make_tmp("zipstroke-keys-XXXXXX", nullptr));
    ASSERT_TRUE(dir);
    dir_ = dir.get();
  }
  void TearDown() override {
    GDir *d = g_dir_open(dir_.c_str(), 0, nullptr);
    if (d) {
      while (const char *name = g_dir_read_name(d)) g_unlink(path(name).c_str());
      g_dir_close(d);
    }
    g_rmdir(dir_.c_str());
  }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }
  std::string dir_;
};

// The line of --list-keys for a key, split at runs of spaces.
std::vector<std::string> columns_of(const std::string &listing, const std::string &key) {
  std::istringstream lines(listing);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, key.size() + 1, key + " ") != 0) continue;
    std::vector<std::string> columns;
    std::size_t start = 0;
    while (start < line.size()) {
      std::size_t end = line.find("  ", start);
      if (end == std::string::npos) end = line.size();
      if (end > start) columns.push_back(line.substr(start, end - start));
      start = line.find_first_not_of(' ', end);
      if (start == std::string::npos) break;
    }
    return columns;
  }
  return {};
}

TEST_F(RenderKeys, ListKeysShowsEveryKeyWithItsTypeRangeAndDefault) {
  const ToolOutput run = run_tool({"--size", "800x600", "--list-keys"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");

  // Every key of a settings text but the version the program writes itself.
  FixedImage image;
  image_services_install_fixed(image);
  EffectParams p{};
  effect_params_set_defaults(&p);
  for (FreehandOutline *o : {&p.radiation_in_freehand, &p.radiation_out_freehand,
                             &p.parallel_in_freehand, &p.parallel_out_freehand,
                             &p.path_in_freehand, &p.path_out_freehand})
    o->active = 1;  // so that the text names their samples too
  GKeyFile *kf = settings_to_key_file(&p);
  gsize n = 0;
  StrvPtr keys(g_key_file_get_keys(kf, SETTINGS_GROUP, &n, nullptr));
  g_key_file_free(kf);
  // version, colour, 41 spins, 4 combos, area_type, the spine's 2, 6 x 3 outline keys
  ASSERT_EQ(n, 68u);
  for (gsize i = 0; i < n; ++i) {
    const std::string key = keys.get()[i];
    SCOPED_TRACE(key);
    const auto columns = columns_of(run.out, key);
    if (key == "version") {
      EXPECT_TRUE(columns.empty());
      continue;
    }
    EXPECT_EQ(columns.size(), 4u) << run.out;
  }

  // Defaults of the work area asked for; ranges of the controls.
  EXPECT_EQ(columns_of(run.out, "line_pitch"),
            (std::vector<std::string>{"line_pitch", "number", "0.5..32767, a length in area_unit",
                                      "10"}));
  EXPECT_EQ(columns_of(run.out, "radiation_x").back(), "400");
  EXPECT_EQ(columns_of(run.out, "radiation_out_radius").back(), "500");
  EXPECT_EQ(columns_of(run.out, "line_wave_npoint")[2], "0..128, a multiple of 4");
  EXPECT_EQ(columns_of(run.out, "line_antialias")[2], "0 None, 1 Fast, 2 Best");
  EXPECT_EQ(columns_of(run.out, "line_antialias")[3], "2");
  EXPECT_EQ(columns_of(run.out, "line_color")[1], "colour");
  EXPECT_EQ(columns_of(run.out, "line_color")[3], "0;0;0");
  EXPECT_EQ(columns_of(run.out, "radiation_oblateness")[2], "-4..0.95");
  EXPECT_EQ(columns_of(run.out, "radiation_in_freehand_active")[1], "boolean");
  EXPECT_EQ(columns_of(run.out, "parallel_out_freehand_points_count")[3], "1000");
}

TEST_F(RenderKeys, AnUnknownKeyIsRefusedWithTheNearestKnownOne) {
  const struct {
    const char *set;
    const char *suggestion;
  } cases[] = {
      {"line_ptich=5", "\u201cline_pitch\u201d"},
      {"radiaton_x=5", "\u201cradiation_x\u201d"},
      {"Line_Width=5", "\u201cline_width\u201d"},
      {"line_block_on_pitch_rand_seed=5", "\u201cline_blick_on_pitch_rand_seed\u201d"},
      {"parallel_in_y=5", "\u201cparallel_in_Y\u201d"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.set);
    const ToolOutput run = run_tool({"--set", c.set, "--output", path("out.png")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("did you mean " + std::string(c.suggestion)), std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_FALSE(g_file_test(path("out.png").c_str(), G_FILE_TEST_EXISTS));
  }
}

TEST_F(RenderKeys, ColoursAreTakenInThreeForms) {
  const std::string reference = path("ref.png");
  ASSERT_EQ(run_tool({"--size", "64x48", "--set", "line_color=255;128;0", "--output", reference})
                .status,
            0);
  const std::string png = contents(reference);
  ASSERT_FALSE(png.empty());
  for (const char *form : {"#ff8000", "#FF8000", "255,128,0"}) {
    SCOPED_TRACE(form);
    const std::string out = path("colour.png");
    const ToolOutput run =
        run_tool({"--size", "64x48", "--set", std::string("line_color=") + form, "--output", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(contents(out), png);
  }
  // And the default black differs, so the colour did arrive.
  const std::string black = path("black.png");
  ASSERT_EQ(run_tool({"--size", "64x48", "--output", black}).status, 0);
  EXPECT_NE(contents(black), png);
  // Each channel within 0..255, and one separator throughout.
  for (const char *bad : {"#ff80", "#gg8000", "255,128", "1,2;3", "-1;0;0", "0;-1;0", "0;0;-1",
                          "256;0;0", "0;256;0", "0;0;256"}) {
    SCOPED_TRACE(bad);
    const ToolOutput run = run_tool({"--set", std::string("line_color=") + bad, "--output", path("b.png")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("line_color"), std::string::npos) << run.err;
  }
  for (const char *edge : {"0;255;0", "255;0;255"})
    EXPECT_EQ(run_tool({"--size", "8x8", "--set", std::string("line_color=") + edge, "--output",
                        path("edge.png")}).status, 0) << edge;
}

TEST_F(RenderKeys, OutOfRangeValuesAreClampedWithAWarning) {
  const std::string clamped = path("clamped.png");
  ToolOutput run = run_tool({"--size", "64x48", "--set", "line_pitch=0.1", "--set", "line_width=40000",
                      "--output", clamped});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("warning: --set line_pitch: line_pitch=0.1 is below the range "
                         "0.5..32767; 0.5 is used"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("line_width=40000 is above the range 0.5..32767; 32767 is used"),
            std::string::npos)
      << run.err;
  const std::string limits = path("limits.png");
  run = run_tool({"--size", "64x48", "--set", "line_pitch=0.5", "--set", "line_width=32767",
                  "--output", limits});
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");  // values at the limits are in range
  EXPECT_EQ(contents(clamped), contents(limits));

  // The same for a settings file, in its own unit: 8000 inches at 72 dpi is
  // beyond 524288 pixels.
  const std::string settings = path("preset");
  ASSERT_TRUE(g_file_set_contents(
      settings.c_str(), "[zipstroke]\nversion=0.5.2\narea_unit=1\nradiation_x=8000\nline_pitch=0.1\n",
      -1, nullptr));
  run = run_tool({"--size", "64x48", "--settings", settings, "--output", path("file.png")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("radiation_x=8000 is above the range"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("; 7281.777778 is used"), std::string::npos) << run.err;
  // 0.1 inches is 7.2 pixels: in range.
  EXPECT_EQ(run.err.find("line_pitch"), std::string::npos) << run.err;
}

TEST_F(RenderKeys, HelpShowsExamplesThatWork) {
  const ToolOutput help = run_tool({"--help"});
  ASSERT_EQ(help.status, 0);
  for (const char *option : {"--settings=FILE", "--size=WxH", "--resolution=X[xY]", "--set=KEY=VALUE",
                             "--output=FILE", "--format=", "--list-keys"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  const std::string preset = path("my.preset");
  ASSERT_TRUE(g_file_set_contents(preset.c_str(),
                                  "[zipstroke]\nversion=0.5.2\nline_pitch=20\nline_width=5\n", -1,
                                  nullptr));
  std::istringstream lines(help.out);
  std::string line;
  int examples = 0;
  while (std::getline(lines, line)) {
    const std::string prefix = "  zipstroke-render ";
    if (line.compare(0, prefix.size() + 2, prefix + "--") != 0) continue;
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    SCOPED_TRACE(line);
    ++examples;
    gchar **argv = nullptr;
    ASSERT_TRUE(g_shell_parse_argv(line.c_str() + prefix.size(), nullptr, &argv, nullptr));
    std::vector<std::string> args;
    std::string output;
    for (gchar **a = argv; *a; ++a) {
      std::string arg = *a;
      if (arg == "my.preset") arg = preset;
      if (!args.empty() && args.back() == "--output") arg = output = path(arg);
      args.push_back(arg);
    }
    g_strfreev(argv);
    const ToolOutput run = run_tool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    ASSERT_FALSE(output.empty());
    EXPECT_GT(contents(output).size(), 100u);
  }
  EXPECT_GE(examples, 2);
  EXPECT_LE(examples, 4);
}

}  // namespace
