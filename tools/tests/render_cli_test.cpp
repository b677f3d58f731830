// Runs the built zipstroke-render: what it writes, how it fails, and that its
// vector output draws the same lines as its PNG.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "effect_params.h"
#include "image_services.h"
#include "layer_bands.h"
#include "layer_buffer.h"
#include "png_writer.h"
#include "settings_text.h"

namespace {

struct ToolRun {
  int status;
  std::string err;
};

ToolRun run_tool(const std::vector<std::string> &args) {
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(ZIPSTROKE_RENDER));
  for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  char *err = nullptr;
  int wait_status = 0;
  GError *error = nullptr;
  const bool spawned = g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_STDOUT_TO_DEV_NULL,
                                    nullptr, nullptr, nullptr, &err, &wait_status, &error);
  EXPECT_TRUE(spawned) << (error ? error->message : "");
  if (error) g_error_free(error);
  ToolRun run{WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1, err ? err : ""};
  g_free(err);
  return run;
}

// The tool's standard output.
std::string run_tool_stdout(const std::vector<std::string> &args, int *status) {
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(ZIPSTROKE_RENDER));
  for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  int wait_status = 0;
  GError *error = nullptr;
  // Binary output: read through a pipe by hand, g_spawn_sync stops at NUL.
  GPid pid;
  int out_fd = -1;
  const bool spawned = g_spawn_async_with_pipes(
      nullptr, argv.data(), nullptr,
      static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDERR_TO_DEV_NULL), nullptr,
      nullptr, &pid, nullptr, &out_fd, nullptr, &error);
  EXPECT_TRUE(spawned) << (error ? error->message : "");
  if (error) g_error_free(error);
  std::string bytes;
  if (spawned) {
    char buf[65536];
    ssize_t n;
    while ((n = read(out_fd, buf, sizeof buf)) > 0) bytes.append(buf, static_cast<size_t>(n));
    close(out_fd);
    waitpid(pid, &wait_status, 0);
    g_spawn_close_pid(pid);
  }
  *status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  return bytes;
}

std::string file_bytes(const std::string &file) {
  char *text = nullptr;
  gsize len = 0;
  if (!g_file_get_contents(file.c_str(), &text, &len, nullptr)) return "";
  std::string bytes(text, len);
  g_free(text);
  return bytes;
}

bool run_program(const std::vector<std::string> &args) {
  std::vector<char *> argv;
  for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  int wait_status = 0;
  const bool spawned = g_spawn_sync(nullptr, argv.data(), nullptr,
                                    static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH |
                                                             G_SPAWN_STDOUT_TO_DEV_NULL |
                                                             G_SPAWN_STDERR_TO_DEV_NULL),
                                    nullptr, nullptr, nullptr, nullptr, &wait_status, nullptr);
  return spawned && WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0;
}

std::vector<std::string> list_dir(const std::string &dir) {
  std::vector<std::string> names;
  GDir *d = g_dir_open(dir.c_str(), 0, nullptr);
  if (!d) return names;
  while (const char *name = g_dir_read_name(d)) names.push_back(name);
  g_dir_close(d);
  return names;
}

class RenderCli : public ::testing::Test {
 protected:
  void SetUp() override {
    char *dir = g_dir_make_tmp("zipstroke-cli-XXXXXX", nullptr);
    ASSERT_NE(dir, nullptr);
    dir_ = dir;
    g_free(dir);
  }
  void TearDown() override {
    for (const auto &name : list_dir(dir_)) {
      const std::string p = path(name);
      if (g_file_test(p.c_str(), G_FILE_TEST_IS_DIR)) g_rmdir(p.c_str());
      else g_unlink(p.c_str());
    }
    g_rmdir(dir_.c_str());
  }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }

  std::string dir_;
};

struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;  // not premultiplied
};

Picture load_picture(const std::string &file) {
  Picture pic;
  GdkPixbuf *pixbuf = gdk_pixbuf_new_from_file(file.c_str(), nullptr);
  if (!pixbuf) return pic;
  pic.width = gdk_pixbuf_get_width(pixbuf);
  pic.height = gdk_pixbuf_get_height(pixbuf);
  const int n = gdk_pixbuf_get_n_channels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const guchar *data = gdk_pixbuf_read_pixels(pixbuf);
  for (int y = 0; y < pic.height; ++y)
    for (int x = 0; x < pic.width; ++x) {
      const guchar *px = data + y * stride + x * n;
      pic.rgba.insert(pic.rgba.end(), {px[0], px[1], px[2], n == 4 ? px[3] : guchar(255)});
    }
  g_object_unref(pixbuf);
  return pic;
}

// The alpha bytes of the defaults of a work area, as the engine renders them.
std::vector<unsigned char> engine_alpha(const EffectParams &params, int w, int h) {
  cairo_surface_t *coverage = render_coverage(&params, image_resolution(params.image_id), w, h);
  std::vector<unsigned char> rgba(static_cast<size_t>(w) * h * 4);
  coverage_to_pixels(coverage, 0, h, LayerFormat::RGBA, params.line_color, rgba.data());
  cairo_surface_destroy(coverage);
  std::vector<unsigned char> alpha;
  for (size_t i = 3; i < rgba.size(); i += 4) alpha.push_back(rgba[i]);
  return alpha;
}

EffectParams defaults_of(int w, int h) {
  FixedImage image;
  image.width = w;
  image.height = h;
  image_services_install_fixed(image);
  EffectParams p{};
  effect_params_set_defaults(&p);
  return p;
}

std::vector<unsigned char> alpha_of(const Picture &pic) {
  std::vector<unsigned char> alpha;
  for (size_t i = 3; i < pic.rgba.size(); i += 4) alpha.push_back(pic.rgba[i]);
  return alpha;
}

TEST_F(RenderCli, PngHoldsTheLineColourEverywhereAndTheEngineCoverageInAlpha) {
  const std::string out = path("lines.png");
  const ToolRun run = run_tool({"--size", "320x200", "--set", "line_color=51;102;153", "--output", out});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const Picture pic = load_picture(out);
  ASSERT_EQ(pic.width, 320);
  ASSERT_EQ(pic.height, 200);
  for (size_t i = 0; i < pic.rgba.size(); i += 4) {
    ASSERT_EQ(pic.rgba[i], 51);
    ASSERT_EQ(pic.rgba[i + 1], 102);
    ASSERT_EQ(pic.rgba[i + 2], 153);
  }
  const EffectParams p = defaults_of(320, 200);
  const auto alpha = alpha_of(pic);
  EXPECT_EQ(alpha, engine_alpha(p, 320, 200));
  EXPECT_GT(std::count_if(alpha.begin(), alpha.end(), [](unsigned char a) { return a == 255; }),
            100);
  EXPECT_EQ(list_dir(dir_).size(), 1u);
}

// Rows past the last one or short of it fail the file, even when the rows
// that fit come after a refused write.
TEST(PngWriter, RowsOtherThanThePicturesFailTheFile) {
  const unsigned char rows[3 * 2 * 4] = {};
  const struct {
    int first, second;
    const char *error;
  } cases[] = {{3, 2, "more rows than the picture has"}, {1, 0, "fewer rows than the picture has"}};
  for (const auto &c : cases) {
    FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
      PngWriter png(file, 2, 2);
      png.write_rows(rows, c.first);
      png.write_rows(rows, c.second);
      EXPECT_FALSE(png.finish());
      EXPECT_EQ(png.error(), c.error);
    }
    std::fclose(file);
  }
}

TEST_F(RenderCli, SettingsFileThenSetsApplyInOrder) {
  const std::string settings = path("preset");
  ASSERT_TRUE(g_file_set_contents(settings.c_str(),
                                  "[zipstroke]\nversion=0.5.2\narea_type=1\nline_pitch=30\n"
                                  "line_width=4\nparallel_in_range=100\n",
                                  -1, nullptr));
  const std::string out = path("band.png");
  const ToolRun run = run_tool({"--settings", settings, "--set", "line_pitch=7", "--set",
                            "line_wave_npoint=8", "--set", "line_wave_depth=5", "--output", out});
  ASSERT_EQ(run.status, 0) << run.err;

  // The same steps done in-process.
  EffectParams p = defaults_of(640, 480);
  GKeyFile *kf = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_file(kf, settings.c_str(), G_KEY_FILE_NONE, nullptr));
  EffectParams parsed = settings_parse_key_file(kf);
  settings_apply_parsed(&p, &parsed);
  g_key_file_unref(kf);
  for (const char *set : {"line_pitch=7", "line_wave_npoint=8", "line_wave_depth=5"}) {
    GKeyFile *k = settings_to_key_file(&p);
    char **kv = g_strsplit(set, "=", 2);
    g_key_file_set_value(k, SETTINGS_GROUP, kv[0], kv[1]);
    g_strfreev(kv);
    parsed = settings_parse_key_file(k);
    settings_apply_parsed(&p, &parsed);
    g_key_file_unref(k);
  }
  ASSERT_EQ(p.area_type, 1);
  ASSERT_EQ(p.line_pitch, 7.0);
  ASSERT_EQ(p.line_width, 4.0);
  EXPECT_EQ(alpha_of(load_picture(out)), engine_alpha(p, 640, 480));
}

TEST_F(RenderCli, BadInputFailsWithOneLineAndStatus2AndLeavesNothing) {
  const std::string garbage = path("garbage");
  ASSERT_TRUE(g_file_set_contents(garbage.c_str(), "\x7f" "ELF\x01\x02\n\xff\xfe=\x00zz", 12,
                                  nullptr));
  struct Case {
    std::vector<std::string> args;
    const char *names;  // what the message must mention
  };
  const std::vector<Case> cases = {
      {{"--set", "no_such_key=1"}, "no_such_key"},
      {{"--set", "version=0.2.0"}, "version"},
      {{"--set", "line_pitch"}, "line_pitch"},
      {{"--set", "line_pitch=ten"}, "line_pitch"},
      {{"--set", "line_pitch=inf"}, "line_pitch"},
      {{"--set", "line_pitch_rand_seed=1.5"}, "line_pitch_rand_seed"},
      {{"--set", "line_wave_type=3"}, "line_wave_type"},
      {{"--set", "area_type=3"}, "area_type"},
      {{"--set", "path_spine_points=1;2;3"}, "path_spine_points"},
      {{"--set", "path_spine_points_count=1"}, "path_spine_points_count"},
      {{"--set", "line_color=255;0"}, "line_color"},
      {{"--set", "radiation_in_freehand_active=maybe"}, "radiation_in_freehand_active"},
      {{"--settings", garbage}, "garbage"},
      {{"--settings", "/nonexistent/preset"}, "/nonexistent/preset"},
      {{"--size", "0x480"}, "--size"},
      {{"--size", "640"}, "--size"},
      {{"--size", "600000x10"}, "--size"},  // more than GIMP allows
      {{"--size", "-5x5"}, "--size"},
      {{"--resolution", "0"}, "--resolution"},
      {{"--resolution", "nan"}, "--resolution"},
      {{"--resolution", "72x"}, "--resolution"},
      {{"--resolution", "72x1048577"}, "--resolution"},
      {{"--no-such-option"}, "no-such-option"},
      {{"stray"}, "stray"},
  };
  for (const auto &c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--output", path("out.png")});
    const ToolRun run = run_tool(args);
    SCOPED_TRACE(c.args.back());
    EXPECT_EQ(run.status, 2);
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(run.err.rfind("zipstroke-render: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.names), std::string::npos) << run.err;
    EXPECT_TRUE(g_utf8_validate(run.err.c_str(), -1, nullptr));
    EXPECT_EQ(list_dir(dir_), std::vector<std::string>{"garbage"});
  }
  // A missing --output is an error too.
  EXPECT_EQ(run_tool({}).status, 2);
}

TEST_F(RenderCli, ExistingOutputIsReplacedOnlyByACompleteFile) {
  const std::string out = path("keep.png");
  ASSERT_TRUE(g_file_set_contents(out.c_str(), "precious", -1, nullptr));
  EXPECT_EQ(run_tool({"--set", "line_pitch=x", "--output", out}).status, 2);
  char *text = nullptr;
  ASSERT_TRUE(g_file_get_contents(out.c_str(), &text, nullptr, nullptr));
  EXPECT_STREQ(text, "precious");
  g_free(text);

  ASSERT_EQ(run_tool({"--size", "64x48", "--output", out}).status, 0);
  EXPECT_EQ(load_picture(out).width, 64);
  EXPECT_EQ(list_dir(dir_), std::vector<std::string>{"keep.png"});
}

TEST_F(RenderCli, UnwritableOutputPathsFailCleanly) {
  ToolRun run = run_tool({"--output", path("missing/out.png")});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("No such file or directory"), std::string::npos) << run.err;

  ASSERT_EQ(g_mkdir(path("folder").c_str(), 0755), 0);
  run = run_tool({"--output", path("folder")});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(g_file_test(path("folder").c_str(), G_FILE_TEST_IS_DIR));
  EXPECT_EQ(list_dir(dir_), std::vector<std::string>{"folder"});
}

double mean_abs_difference(const std::vector<unsigned char> &a,
                           const std::vector<unsigned char> &b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
  return sum / a.size();
}

double total(const std::vector<unsigned char> &a) {
  double sum = 0;
  for (unsigned char v : a) sum += v;
  return sum;
}

// Rasterised with other programs' renderers, the vector paths cover what the
// PNG covers, up to antialiasing differences along the edges.
TEST_F(RenderCli, VectorOutputRasterisesToThePngCoverage) {
  for (const char *area : {"area_type=0", "area_type=1"}) {
    SCOPED_TRACE(area);
    ASSERT_EQ(run_tool({"--set", area, "--output", path("lines.png")}).status, 0);
    ASSERT_EQ(run_tool({"--set", area, "--output", path("lines.svg")}).status, 0);
    ASSERT_EQ(run_tool({"--set", area, "--output", path("lines.pdf")}).status, 0);
    const auto png = alpha_of(load_picture(path("lines.png")));
    char *svg_text = nullptr;
    ASSERT_TRUE(g_file_get_contents(path("lines.svg").c_str(), &svg_text, nullptr, nullptr));
    const std::string svg_source = svg_text;
    g_free(svg_text);
    EXPECT_NE(svg_source.find("<path"), std::string::npos);
    EXPECT_EQ(svg_source.find("<image"), std::string::npos);

    ASSERT_TRUE(run_program({"rsvg-convert", "--dpi-x", "72", "--dpi-y", "72", "-f", "png", "-o",
                             path("from_svg.png"), path("lines.svg")}))
        << "rsvg-convert (librsvg2-bin) is needed";
    const Picture svg = load_picture(path("from_svg.png"));
    ASSERT_EQ(svg.width, 640);
    ASSERT_EQ(svg.height, 480);
    const auto svg_alpha = alpha_of(svg);
    EXPECT_LT(mean_abs_difference(png, svg_alpha), 1.0);
    EXPECT_NEAR(total(svg_alpha) / total(png), 1.0, 0.01);

    ASSERT_TRUE(run_program({"pdftocairo", "-png", "-r", "72", "-singlefile", "-transp",
                             path("lines.pdf"), path("from_pdf")}))
        << "pdftocairo (poppler-utils) is needed";
    const Picture pdf = load_picture(path("from_pdf.png"));
    ASSERT_EQ(pdf.width, 640);
    ASSERT_EQ(pdf.height, 480);
    const auto pdf_alpha = alpha_of(pdf);
    EXPECT_LT(mean_abs_difference(png, pdf_alpha), 1.0);
    EXPECT_NEAR(total(pdf_alpha) / total(png), 1.0, 0.01);
  }
}

// --output through a symbolic link replaces the link's target (relative links
// count from the link's folder, a dangling link makes its target), and the
// link stays a link.
TEST_F(RenderCli, SymbolicLinksAreWrittenThrough) {
  ASSERT_EQ(g_mkdir(path("pictures").c_str(), 0755), 0);
  ASSERT_TRUE(g_file_set_contents(path("pictures/old.png").c_str(), "old", -1, nullptr));
  ASSERT_EQ(symlink("pictures/old.png", path("to-old.png").c_str()), 0);
  ASSERT_EQ(symlink("to-old.png", path("to-to-old.png").c_str()), 0);
  ASSERT_EQ(symlink("pictures/new.png", path("dangling.png").c_str()), 0);

  ASSERT_EQ(run_tool({"--size", "64x48", "--output", path("to-to-old.png")}).status, 0);
  EXPECT_EQ(load_picture(path("pictures/old.png")).width, 64);
  ASSERT_EQ(run_tool({"--size", "32x24", "--output", path("dangling.png")}).status, 0);
  EXPECT_EQ(load_picture(path("pictures/new.png")).width, 32);
  for (const char *link : {"to-old.png", "to-to-old.png", "dangling.png"})
    EXPECT_TRUE(g_file_test(path(link).c_str(), G_FILE_TEST_IS_SYMLINK)) << link;
  // Nothing left beside the targets: the replacement was made there.
  auto names = list_dir(path("pictures"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"new.png", "old.png"}));

  // As the system's own limit: a chain of 40 links is followed, one of 41 not.
  for (int i = 1; i <= 41; ++i)
    ASSERT_EQ(symlink(i == 1 ? "pictures/old.png" : ("chain" + std::to_string(i - 1)).c_str(),
                      path("chain" + std::to_string(i)).c_str()), 0);
  EXPECT_EQ(run_tool({"--size", "16x12", "--output", path("chain40")}).status, 0);
  EXPECT_EQ(load_picture(path("pictures/old.png")).width, 16);
  EXPECT_EQ(run_tool({"--output", path("chain41")}).status, 2);

  ASSERT_EQ(symlink("loop-b.png", path("loop-a.png").c_str()), 0);
  ASSERT_EQ(symlink("loop-a.png", path("loop-b.png").c_str()), 0);
  const ToolRun loop = run_tool({"--output", path("loop-a.png")});
  EXPECT_EQ(loop.status, 2);
  EXPECT_NE(loop.err.find("loop-a.png"), std::string::npos) << loop.err;
  for (const char *name : {"pictures/new.png", "pictures/old.png"}) g_unlink(path(name).c_str());
}

// A device node or a pipe is refused, also behind a link, and left as it is.
TEST_F(RenderCli, SpecialFilesAreRefused) {
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/null", path("null.png").c_str()), 0);
  for (const std::string &out : {std::string("/dev/null"), path("pipe"), path("null.png")}) {
    const ToolRun run = run_tool({"--size", "16x16", "--output", out});
    EXPECT_EQ(run.status, 2) << out;
    EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
  }
  GStatBuf st;
  ASSERT_EQ(g_stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  ASSERT_EQ(g_lstat(path("pipe").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  auto names = list_dir(dir_);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"null.png", "pipe"}));
}

// The format comes from the extension or --format; an extension the tool
// cannot write, or one that contradicts --format, is refused.
TEST_F(RenderCli, ExtensionsAndFormatsMustAgree) {
  for (const char *name : {"photo.jpg", "photo.tiff", "photo.png.txt"}) {
    const ToolRun run = run_tool({"--output", path(name)});
    EXPECT_EQ(run.status, 2) << name;
    EXPECT_NE(run.err.find(name), std::string::npos) << run.err;
  }
  EXPECT_EQ(run_tool({"--format", "svg", "--output", path("lines.png")}).status, 2);
  EXPECT_EQ(run_tool({"--format", "gif", "--output", path("lines")}).status, 2);
  EXPECT_TRUE(list_dir(dir_).empty());

  ASSERT_EQ(run_tool({"--size", "40x30", "--output", path("plain")}).status, 0);
  EXPECT_EQ(file_bytes(path("plain")).substr(1, 3), "PNG");
  ASSERT_EQ(run_tool({"--size", "40x30", "--format", "svg", "--output", path("drawing")}).status, 0);
  EXPECT_NE(file_bytes(path("drawing")).find("<svg"), std::string::npos);
  ASSERT_EQ(run_tool({"--size", "40x30", "--output", path("UPPER.PDF")}).status, 0);
  EXPECT_EQ(file_bytes(path("UPPER.PDF")).substr(0, 5), "%PDF-");
}

// - writes to standard output: the very bytes of a file, in any format.
TEST_F(RenderCli, DashWritesToStandardOutput) {
  ASSERT_EQ(run_tool({"--size", "80x60", "--output", path("file.png")}).status, 0);
  int status = -1;
  const std::string png = run_tool_stdout({"--size", "80x60", "--output", "-"}, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(png, file_bytes(path("file.png")));
  const std::string pdf =
      run_tool_stdout({"--size", "80x60", "--format", "pdf", "--output", "-"}, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
  EXPECT_EQ(list_dir(dir_), std::vector<std::string>{"file.png"});

  // A full standard output fails, the vector writer saying so itself.
  const char *argv[] = {"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/full", ZIPSTROKE_RENDER,
                        "--size", "200x150", "--format", "svg", "--output", "-", nullptr};
  char *err = nullptr;
  ASSERT_TRUE(g_spawn_sync(nullptr, const_cast<char **>(argv), nullptr, G_SPAWN_DEFAULT, nullptr,
                           nullptr, nullptr, &err, &status, nullptr));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
  EXPECT_NE(std::string(err).find("cannot write vector output"), std::string::npos) << err;
  g_free(err);
}

// Beyond the 32767 pixels of one image surface: the PNG holds the banded
// output's pixels, and SVG and PDF pages of that size are written.
TEST_F(RenderCli, WorkAreasBeyondOneSurfaceAreWritten) {
  const int w = 40000, h = 12;
  ASSERT_EQ(run_tool({"--size", "40000x12", "--output", path("wide.png")}).status, 0);
  const Picture pic = load_picture(path("wide.png"));
  ASSERT_EQ(pic.width, w);
  ASSERT_EQ(pic.height, h);
  const EffectParams p = defaults_of(w, h);
  std::vector<unsigned char> expected;
  ASSERT_EQ(render_layer_bands(&p, image_resolution(p.image_id), w, h, LayerFormat::RGBA, p.line_color,
                               [&](int, int rows, const unsigned char *px) {
                                 for (size_t i = 3; i < static_cast<size_t>(w) * 4 * rows; i += 4)
                                   expected.push_back(px[i]);
                                 return true;
                               }),
            BandStatus::Done);
  EXPECT_EQ(alpha_of(pic), expected);
  ASSERT_EQ(run_tool({"--size", "12x40000", "--output", path("tall.svg")}).status, 0);
  EXPECT_NE(file_bytes(path("tall.svg")).find("height=\"40000"), std::string::npos);
  ASSERT_EQ(run_tool({"--size", "40000x12", "--output", path("wide.pdf")}).status, 0);
  // The page's size as a reader sees it (newer cairo packs the page
  // dictionary into a compressed object stream).
  char *info = nullptr;
  const std::string command = "pdfinfo " + path("wide.pdf");
  ASSERT_TRUE(g_spawn_command_line_sync(command.c_str(), &info, nullptr, nullptr, nullptr))
      << "pdfinfo (poppler-utils) is needed";
  EXPECT_NE(std::string(info ? info : "").find("40000 x 12 pts"), std::string::npos) << info;
  g_free(info);
}

// The image editor's highest resolution is accepted.
TEST_F(RenderCli, ResolutionsUpToTheEditorsLimitAreAccepted) {
  EXPECT_EQ(run_tool({"--size", "64x48", "--resolution", "1048576", "--output", path("a.png")}).status, 0);
  EXPECT_EQ(run_tool({"--size", "64x48", "--resolution", "72x1000001", "--output", path("b.png")}).status, 0);
}

}  // namespace
