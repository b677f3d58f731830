// The preset folder on disk, in a temporary GIMP directory.
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <string>

#include "preset_files.h"
#include "test_files.h"

namespace {

class PresetFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char *dir = g_dir_make_tmp("zipstroke-presets-XXXXXX", nullptr);
    ASSERT_NE(dir, nullptr);
    gimp_dir = dir;
    g_free(dir);
    char *f = preset_folder_ensure_in(gimp_dir.c_str());
    ASSERT_NE(f, nullptr);
    folder = f;
    g_free(f);
  }
  void TearDown() override { remove_tree(gimp_dir); }

  std::string in_folder(const char *name) const { return folder + "/" + name; }

  std::string gimp_dir;
  std::string folder;
};

TEST_F(PresetFiles, FolderIsCreatedBesideGimprcWith0755) {
  EXPECT_EQ(folder, gimp_dir + "/zipstroke");
  GStatBuf st;
  ASSERT_EQ(g_stat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0755u & ~mask);

  // Found again, unchanged, on the next call.
  char *again = preset_folder_ensure_in(gimp_dir.c_str());
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(folder, again);
  g_free(again);
}

TEST_F(PresetFiles, NoFolderWhenItCannotBeHad) {
  // A file in the way.
  remove_tree(folder);
  write_file(folder, "not a folder");
  EXPECT_EQ(preset_folder_ensure_in(gimp_dir.c_str()), nullptr);
  EXPECT_TRUE(preset_folder_list(folder.c_str()).empty());

  // Parents are not created.
  const std::string missing = gimp_dir + "/no/such/dir";
  EXPECT_EQ(preset_folder_ensure_in(missing.c_str()), nullptr);
  EXPECT_FALSE(g_file_test((gimp_dir + "/no").c_str(), G_FILE_TEST_EXISTS));

  EXPECT_EQ(preset_folder_ensure_in(nullptr), nullptr);
  EXPECT_EQ(preset_folder_ensure_in(""), nullptr);
}

TEST_F(PresetFiles, ListHoldsNonDirectoryEntriesOnly) {
  write_file(in_folder("alpha"), "[zipstroke]\n");
  write_file(in_folder("beta"), "junk");
  ASSERT_EQ(g_mkdir(in_folder("sub").c_str(), 0755), 0);
  ASSERT_EQ(symlink("alpha", in_folder("link").c_str()), 0);

  std::vector<std::string> names = preset_folder_list(folder.c_str());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "beta", "link"}));

  EXPECT_TRUE(preset_folder_list((gimp_dir + "/missing").c_str()).empty());
  EXPECT_TRUE(preset_folder_list(nullptr).empty());
}

TEST_F(PresetFiles, NamesThatCannotBeAFileOfTheFolderAreRefused) {
  struct Case {
    const char *name;
    int code;
  };
  const Case cases[] = {
      {"", PRESET_ERROR_NAME_EMPTY},
      {".", PRESET_ERROR_NAME_DOT},
      {"..", PRESET_ERROR_NAME_DOT},
      {"../escape", PRESET_ERROR_NAME_SEPARATOR},
      {"a/b", PRESET_ERROR_NAME_SEPARATOR},
      {"/etc/passwd", PRESET_ERROR_NAME_SEPARATOR},
      {"bad\xff\xfe utf8", PRESET_ERROR_NAME_ENCODING},
  };
  for (const Case &c : cases) {
    GError *error = nullptr;
    EXPECT_EQ(preset_name_to_filename(c.name, &error), nullptr) << c.name;
    ASSERT_NE(error, nullptr) << c.name;
    EXPECT_EQ(error->domain, PRESET_FILE_ERROR);
    EXPECT_EQ(error->code, c.code) << c.name;
    g_error_free(error);
  }
  GError *error = nullptr;
  EXPECT_EQ(preset_name_to_filename(nullptr, &error), nullptr);
  g_clear_error(&error);

  // Ordinary names, dots and spaces included, pass unchanged.
  for (const char *ok : {"Unnamed", "my preset", ".hidden", "...", "a.b", "Größe 5 mm"}) {
    char *filename = preset_name_to_filename(ok, nullptr);
    ASSERT_NE(filename, nullptr) << ok;
    EXPECT_STREQ(filename, ok);
    g_free(filename);
  }
}

TEST_F(PresetFiles, PathsStayDirectlyInsideTheFolder) {
  char *path = preset_path(folder.c_str(), "a");
  EXPECT_EQ(std::string(path), in_folder("a"));
  g_free(path);
  for (const char *bad : {"", ".", "..", "../x", "x/..", "/abs"})
    EXPECT_EQ(preset_path(folder.c_str(), bad), nullptr) << bad;
  EXPECT_EQ(preset_path(nullptr, "a"), nullptr);

  // Nothing is written or removed outside the folder, whatever the name.
  write_file(gimp_dir + "/outside", "keep");
  EXPECT_FALSE(preset_save(folder.c_str(), "../outside", "x", 1, nullptr));
  EXPECT_FALSE(preset_delete(folder.c_str(), "../outside"));
  EXPECT_FALSE(preset_exists(folder.c_str(), "../outside"));
  GError *error = nullptr;
  EXPECT_EQ(preset_load(folder.c_str(), "../outside", &error), nullptr);
  g_clear_error(&error);
  EXPECT_EQ(read_file(gimp_dir + "/outside"), "keep");
}

TEST_F(PresetFiles, SaveWritesTheTextAndReplacesAWholeFile) {
  const std::string first = "[zipstroke]\nversion=0.5.2\nline_pitch=10\n";
  GError *error = nullptr;
  ASSERT_TRUE(preset_save(folder.c_str(), "p", first.data(), first.size(), &error));
  EXPECT_EQ(read_file(in_folder("p")), first);
  EXPECT_TRUE(preset_exists(folder.c_str(), "p"));

  const std::string second = "[zipstroke]\nversion=0.5.2\n";
  ASSERT_TRUE(preset_save(folder.c_str(), "p", second.data(), second.size(), &error));
  EXPECT_EQ(read_file(in_folder("p")), second);
  // No temporary file is left behind.
  EXPECT_EQ(preset_folder_list(folder.c_str()), std::vector<std::string>{"p"});

  // Saving over a link replaces the link, never the file it points to.
  write_file(gimp_dir + "/target", "outside");
  ASSERT_EQ(symlink((gimp_dir + "/target").c_str(), in_folder("link").c_str()), 0);
  ASSERT_TRUE(preset_save(folder.c_str(), "link", second.data(), second.size(), &error));
  EXPECT_EQ(read_file(gimp_dir + "/target"), "outside");
  EXPECT_EQ(read_file(in_folder("link")), second);
}

// A name as long as the file system allows (255 bytes) is saved, and saved
// over, like any other, and nothing but the preset is left in the folder.
TEST_F(PresetFiles, NamesUpToTheFileSystemsLimitAreSaved) {
  for (size_t n : {249u, 254u, 255u}) {
    const std::string name(n, 'n');
    for (const std::string text : {"[zipstroke]\nline_pitch=1\n", "[zipstroke]\nline_pitch=2\n"}) {
      GError *error = nullptr;
      EXPECT_TRUE(preset_save(folder.c_str(), name.c_str(), text.data(), text.size(), &error))
          << n << ": " << (error ? error->message : "");
      g_clear_error(&error);
      EXPECT_EQ(read_file(in_folder(name.c_str())), text) << n;
    }
    EXPECT_EQ(preset_folder_list(folder.c_str()), std::vector<std::string>{name});
    ASSERT_TRUE(preset_delete(folder.c_str(), name.c_str()));
  }
}

TEST_F(PresetFiles, FailedSaveReportsTheSystemsReason) {
  // A name too long for the file system; a folder removed since it was made.
  const struct {
    std::string folder, name;
    int reason;
  } cases[] = {{folder, std::string(300, 'n'), ENAMETOOLONG}, {gimp_dir + "/gone", "p", ENOENT}};
  for (const auto &c : cases) {
    GError *error = nullptr;
    EXPECT_FALSE(preset_save(c.folder.c_str(), c.name.c_str(), "x", 1, &error)) << c.folder;
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->domain, G_FILE_ERROR);
    EXPECT_NE(std::string(error->message).find(g_strerror(c.reason)), std::string::npos)
        << error->message;
    g_error_free(error);
  }
  EXPECT_TRUE(preset_folder_list(folder.c_str()).empty());
}

TEST_F(PresetFiles, FailedSaveKeepsTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root (see the full-disk case)";
  const std::string old_text = "[zipstroke]\nversion=0.5.2\n";
  write_file(in_folder("p"), old_text);
  ASSERT_EQ(g_chmod(folder.c_str(), 0555), 0);
  GError *error = nullptr;
  EXPECT_FALSE(preset_save(folder.c_str(), "p", "new", 3, &error));
  ASSERT_NE(error, nullptr);
  EXPECT_NE(std::string(error->message).find("ermission"), std::string::npos) << error->message;
  g_error_free(error);
  g_chmod(folder.c_str(), 0755);
  EXPECT_EQ(read_file(in_folder("p")), old_text);
}

// A write that stops half way (a full disk, here a file-size limit, which
// binds root too) fails the save and leaves the old preset whole.
TEST_F(PresetFiles, SaveThatCannotBeWrittenKeepsTheOldFile) {
  const std::string old_text = "[zipstroke]\nversion=0.5.2\nline_pitch=33\n";
  write_file(in_folder("p"), old_text);
  const std::string new_text(4096, 'x');
  struct rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = before;
  limit.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  GError *error = nullptr;
  const bool saved = preset_save(folder.c_str(), "p", new_text.data(), new_text.size(), &error);
  setrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(saved);
  ASSERT_NE(error, nullptr);
  EXPECT_STRNE(error->message, "");
  g_error_free(error);
  EXPECT_EQ(read_file(in_folder("p")), old_text);
  // Nothing of the failed attempt is left beside it.
  EXPECT_EQ(preset_folder_list(folder.c_str()).size(), 1u);
  GDir *dir = g_dir_open(folder.c_str(), 0, nullptr);
  ASSERT_NE(dir, nullptr);
  int entries = 0;
  while (g_dir_read_name(dir)) ++entries;
  g_dir_close(dir);
  EXPECT_EQ(entries, 1);
}

TEST_F(PresetFiles, SaveOverAFolderIsRefused) {
  ASSERT_EQ(g_mkdir(in_folder("sub").c_str(), 0755), 0);
  write_file(in_folder("file"), "x");
  EXPECT_TRUE(preset_is_folder(folder.c_str(), "sub"));
  EXPECT_FALSE(preset_is_folder(folder.c_str(), "file"));
  GError *error = nullptr;
  EXPECT_FALSE(preset_save(folder.c_str(), "sub", "x", 1, &error));
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code, PRESET_ERROR_IS_FOLDER);
  g_error_free(error);
  EXPECT_TRUE(g_file_test(in_folder("sub").c_str(), G_FILE_TEST_IS_DIR));
}

TEST_F(PresetFiles, LoadKeepsCommentsAndReportsGLibsReason) {
  write_file(in_folder("good"), "# mine\n[zipstroke]\nversion=0.5.2\n");
  GError *error = nullptr;
  GKeyFile *kf = preset_load(folder.c_str(), "good", &error);
  ASSERT_NE(kf, nullptr);
  char *comment = g_key_file_get_comment(kf, "zipstroke", nullptr, nullptr);
  ASSERT_NE(comment, nullptr);
  EXPECT_NE(std::string(comment).find("mine"), std::string::npos);
  g_free(comment);
  g_key_file_free(kf);

  write_file(in_folder("junk"), "this is not a key file\n");
  EXPECT_EQ(preset_load(folder.c_str(), "junk", &error), nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->domain, G_KEY_FILE_ERROR);
  g_clear_error(&error);

  EXPECT_EQ(preset_load(folder.c_str(), "missing", &error), nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->domain, G_FILE_ERROR);
  g_clear_error(&error);
}

TEST_F(PresetFiles, LoadRefusesPipesAndHugeFilesWithoutReadingThem) {
  // A pipe would block the reader for ever.
  ASSERT_EQ(mkfifo(in_folder("pipe").c_str(), 0644), 0);
  GError *error = nullptr;
  EXPECT_EQ(preset_load(folder.c_str(), "pipe", &error), nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code, PRESET_ERROR_NOT_REGULAR);
  g_clear_error(&error);

  ASSERT_EQ(symlink("/dev/zero", in_folder("zero").c_str()), 0);
  EXPECT_EQ(preset_load(folder.c_str(), "zero", &error), nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code, PRESET_ERROR_NOT_REGULAR);
  g_clear_error(&error);

  // Sparse: large on paper, cheap on disk.
  const std::string big = in_folder("big");
  FILE *f = fopen(big.c_str(), "w");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(ftruncate(fileno(f), PRESET_MAX_FILE_SIZE + 1), 0);
  fclose(f);
  EXPECT_EQ(preset_load(folder.c_str(), "big", &error), nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code, PRESET_ERROR_TOO_LARGE);
  g_clear_error(&error);
}

TEST_F(PresetFiles, DeleteRemovesFilesAndLinksButNeverFolders) {
  write_file(gimp_dir + "/target", "outside");
  ASSERT_EQ(symlink((gimp_dir + "/target").c_str(), in_folder("link").c_str()), 0);
  EXPECT_TRUE(preset_delete(folder.c_str(), "link"));
  EXPECT_EQ(read_file(gimp_dir + "/target"), "outside");  // the link went, not its target

  write_file(in_folder("p"), "x");
  EXPECT_TRUE(preset_delete(folder.c_str(), "p"));
  EXPECT_FALSE(preset_exists(folder.c_str(), "p"));
  EXPECT_FALSE(preset_delete(folder.c_str(), "p"));  // already gone

  ASSERT_EQ(g_mkdir(in_folder("sub").c_str(), 0755), 0);
  EXPECT_FALSE(preset_delete(folder.c_str(), "sub"));
  EXPECT_TRUE(g_file_test(in_folder("sub").c_str(), G_FILE_TEST_IS_DIR));
}

}  // namespace
