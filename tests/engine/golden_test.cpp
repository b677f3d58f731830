// The pattern itself: a few fixed settings texts (tests/data/golden/*.settings)
// rendered onto the defaults of a 320 x 240 work area at 72 dpi, whose
// coverage checksums are kept in tests/data/golden/checksums.txt.  Any change
// of the lines, however small, shows up here.
//
// To accept a deliberate change of the pattern, regenerate the checksums and
// commit them with the change that caused it:
//   ZIPSTROKE_UPDATE_GOLDEN=1 build/debug/tests/test_engine --gtest_filter='Golden*'
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "engine_test_support.h"
#include "settings_text.h"

namespace {

constexpr int WIDTH = 320, HEIGHT = 240;

std::string golden_dir() { return std::string(ZIPSTROKE_TEST_DATA) + "/golden"; }
std::string checksum_file() { return golden_dir() + "/checksums.txt"; }

std::vector<std::string> settings_files() {
  std::vector<std::string> names;
  GDir *dir = g_dir_open(golden_dir().c_str(), 0, nullptr);
  if (!dir) return names;
  while (const char *name = g_dir_read_name(dir))
    if (g_str_has_suffix(name, ".settings")) names.push_back(name);
  g_dir_close(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::map<std::string, std::string> stored_checksums() {
  std::map<std::string, std::string> sums;
  std::ifstream in(checksum_file());
  std::string name, sum;
  while (in >> name >> sum) sums[name] = sum;
  return sums;
}

struct Rendered {
  std::string checksum;
  double covered_share;
};

Rendered render_golden(const std::string &name) {
  EffectParams p = defaults_for(WIDTH, HEIGHT);
  GKeyFile *kf = g_key_file_new();
  GError *error = nullptr;
  const std::string path = golden_dir() + "/" + name;
  EXPECT_TRUE(g_key_file_load_from_file(kf, path.c_str(), G_KEY_FILE_NONE, &error))
      << (error ? error->message : "");
  if (error) g_error_free(error);
  const EffectParams parsed = settings_parse_key_file(kf);
  settings_apply_parsed(&p, &parsed);
  g_key_file_unref(kf);

  const auto coverage = coverage_bytes(p, WIDTH, HEIGHT);
  char *sum = g_compute_checksum_for_data(G_CHECKSUM_SHA256, coverage.data(), coverage.size());
  Rendered r{sum, 0};
  g_free(sum);
  r.covered_share = std::count_if(coverage.begin(), coverage.end(),
                                  [](unsigned char a) { return a > 0; }) /
                    double(coverage.size());
  return r;
}

TEST(Golden, FixedSettingsKeepTheirPattern) {
  const auto files = settings_files();
  ASSERT_GE(files.size(), 4u) << "golden settings missing in " << golden_dir();

  if (g_getenv("ZIPSTROKE_UPDATE_GOLDEN")) {
    std::ostringstream out;
    for (const auto &name : files) out << name << " " << render_golden(name).checksum << "\n";
    ASSERT_TRUE(g_file_set_contents(checksum_file().c_str(), out.str().c_str(), -1, nullptr));
    GTEST_SKIP() << "checksums rewritten in " << checksum_file();
  }

  const auto stored = stored_checksums();
  for (const auto &name : files) {
    SCOPED_TRACE(name);
    const Rendered r = render_golden(name);
    EXPECT_GT(r.covered_share, 0.02) << "the settings should draw a visible pattern";
    const auto it = stored.find(name);
    ASSERT_NE(it, stored.end()) << "no stored checksum; see the top of golden_test.cpp";
    EXPECT_EQ(r.checksum, it->second) << "the pattern changed";
  }
}

}  // namespace
