// Copying an older GIMP's presets into a newer one's preset folder, in temporary folders.
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "preset_files.h"
#include "test_files.h"
#include "preset_migration.h"

namespace {

std::vector<std::string> entries(const std::string &folder) {
  std::vector<std::string> names;
  if (GDir *dir = g_dir_open(folder.c_str(), 0, nullptr)) {
    while (const char *name = g_dir_read_name(dir)) names.emplace_back(name);
    g_dir_close(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool exists(const std::string &path) {
  GStatBuf st;
  return g_lstat(path.c_str(), &st) == 0;
}

std::string dir_of(char *owned) {
  std::string s = owned ? owned : "<null>";
  g_free(owned);
  return s;
}

// A personal GIMP 2.10 folder and a GIMP 3 one side by side, as in ~/.config/GIMP.
class PresetMigrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char *dir = g_dir_make_tmp("zipstroke-migration-XXXXXX", nullptr);
    ASSERT_NE(dir, nullptr);
    root = dir;
    g_free(dir);
    old_folder = root + "/2.10/zipstroke";
    new_folder = root + "/3.0/zipstroke";
    ASSERT_EQ(g_mkdir_with_parents(old_folder.c_str(), 0755), 0);
    ASSERT_EQ(g_mkdir((root + "/3.0").c_str(), 0755), 0);
  }
  void TearDown() override { remove_tree(root); }

  PresetMigration migrate(GError **error = nullptr) {
    return preset_migrate_once(old_folder.c_str(), new_folder.c_str(), error);
  }

  std::string root, old_folder, new_folder;
};

TEST(Gimp2PersonalDir, IsTheSiblingOfGimp3sUnlessGIMP2_DIRECTORYSaysOtherwise) {
  EXPECT_EQ(dir_of(gimp2_personal_dir("/home/u/.config/GIMP/3.0", nullptr, "/home/u")),
            "/home/u/.config/GIMP/2.10");
  EXPECT_EQ(dir_of(gimp2_personal_dir("/home/u/.config/GIMP/3.0//", "", "/home/u")),
            "/home/u/.config/GIMP/2.10");
  // The root folder keeps its one separator: its sibling is a folder in it.
  EXPECT_EQ(dir_of(gimp2_personal_dir("/", nullptr, "/home/u")), "/2.10");
  // GIMP 2.10 took a relative GIMP2_DIRECTORY inside the home folder.
  EXPECT_EQ(dir_of(gimp2_personal_dir("/home/u/.config/GIMP/3.0", "/opt/g2", "/home/u")), "/opt/g2");
  EXPECT_EQ(dir_of(gimp2_personal_dir("/home/u/.config/GIMP/3.0", ".gimp-2.10", "/home/u")),
            "/home/u/.gimp-2.10");
  EXPECT_EQ(gimp2_personal_dir("/home/u/.config/GIMP/3.0", "rel", nullptr), nullptr);
  EXPECT_EQ(gimp2_personal_dir(nullptr, nullptr, "/home/u"), nullptr);
  EXPECT_EQ(gimp2_personal_dir("", nullptr, "/home/u"), nullptr);
}

TEST(OlderGimpPersonalDirs, AreTheEarlierGimp3FoldersBesideItThenGimp2s) {
  const auto listed = [](const char *gimp_dir, const char *gimp2_env) {
    std::string out;
    for (const OlderGimpDir &d : older_gimp_personal_dirs(gimp_dir, gimp2_env, "/home/u"))
      out += d.version + "=" + d.dir + " ";
    return out;
  };
  EXPECT_EQ(listed("/home/u/.config/GIMP/3.2/", nullptr),
            "3.1=/home/u/.config/GIMP/3.1 3.0=/home/u/.config/GIMP/3.0 "
            "2.10=/home/u/.config/GIMP/2.10 ");
  EXPECT_EQ(listed("/home/u/.config/GIMP/3.0", "/opt/g2"), "2.10=/opt/g2 ");
  // A folder GIMP3_DIRECTORY names serves every GIMP 3: only GIMP 2.10's is older.
  EXPECT_EQ(listed("/srv/gimp-profile", nullptr), "2.10=/srv/2.10 ");
  EXPECT_EQ(listed("/x/3.x", nullptr), "2.10=/x/2.10 ");
  EXPECT_EQ(listed("/x/3.", nullptr), "2.10=/x/2.10 ");
  EXPECT_EQ(listed("/x/3.1000", nullptr), "2.10=/x/2.10 ");  // no minor of four digits
  EXPECT_EQ(listed(nullptr, nullptr), "");
}

// GIMP 3.2's first run: the newest older GIMP that has presets gives them.
TEST_F(PresetMigrationTest, TheNewestOlderGimpWithPresetsGivesThem) {
  const std::string gimp32 = root + "/3.2";
  ASSERT_EQ(g_mkdir(gimp32.c_str(), 0755), 0);
  write_file(old_folder + "/from 2.10", "[zipstroke]\n");
  std::string from;
  // GIMP 3.0 has no preset folder yet: GIMP 2.10's are taken.
  PresetMigration done = preset_migrate_from_older(gimp32.c_str(), PRESET_FOLDER_NAME, nullptr,
                                                   nullptr, &from, nullptr);
  EXPECT_TRUE(done.ran);
  EXPECT_EQ(from, "2.10");
  EXPECT_EQ(entries(gimp32 + "/zipstroke"), std::vector<std::string>{"from 2.10"});

  remove_tree(gimp32 + "/zipstroke");
  ASSERT_EQ(g_mkdir(new_folder.c_str(), 0755), 0);
  write_file(new_folder + "/from 3.0", "[zipstroke]\n");
  done = preset_migrate_from_older(gimp32.c_str(), PRESET_FOLDER_NAME, nullptr, nullptr, &from,
                                   nullptr);
  EXPECT_EQ(from, "3.0");
  EXPECT_EQ(done.copied, 1);
  EXPECT_EQ(entries(gimp32 + "/zipstroke"), std::vector<std::string>{"from 3.0"});

  // Once only.
  write_file(new_folder + "/later", "[zipstroke]\n");
  done = preset_migrate_from_older(gimp32.c_str(), PRESET_FOLDER_NAME, nullptr, nullptr, &from,
                                   nullptr);
  EXPECT_FALSE(done.ran);
  EXPECT_EQ(done.copied + done.skipped, 0);
  EXPECT_EQ(from, "");
  EXPECT_EQ(entries(gimp32 + "/zipstroke"), std::vector<std::string>{"from 3.0"});

  // Without a folder name nothing is copied, not even into a GIMP folder yet to come.
  const std::string gimp34 = root + "/3.4";
  EXPECT_FALSE(preset_migrate_from_older(gimp34.c_str(), nullptr, nullptr, nullptr, &from, nullptr).ran);
  EXPECT_FALSE(exists(gimp34));
}

TEST_F(PresetMigrationTest, CopiesThePresetFilesOnceAndLeavesTheOldFolderAsItWas) {
  const std::string big(70000, 'x');  // more than one read
  write_file(old_folder + "/speed lines", "[zipstroke]\nversion=0.5.2\nline_pitch=3\n");
  write_file(old_folder + "/caf\xe9", "[zipstroke]\n");  // a name that is not UTF-8
  write_file(old_folder + "/large but fine", big);
  write_file(old_folder + "/empty", "");

  // With a few descriptors to spare: each file read gives its own back.
  struct rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
  const int spare = open("/dev/null", O_RDONLY);
  close(spare);
  struct rlimit tight = before;
  tight.rlim_cur = static_cast<rlim_t>(spare + 4);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
  GError *error = nullptr;
  const PresetMigration done = migrate(&error);
  setrlimit(RLIMIT_NOFILE, &before);
  EXPECT_EQ(error, nullptr);
  EXPECT_TRUE(done.ran);
  EXPECT_EQ(done.copied, 4);
  EXPECT_EQ(done.skipped, 0);

  const std::vector<std::string> names = {"caf\xe9", "empty", "large but fine", "speed lines"};
  EXPECT_EQ(entries(new_folder), names);
  EXPECT_EQ(read_file(new_folder + "/speed lines"), "[zipstroke]\nversion=0.5.2\nline_pitch=3\n");
  EXPECT_EQ(read_file(new_folder + "/caf\xe9"), "[zipstroke]\n");
  EXPECT_EQ(read_file(new_folder + "/large but fine"), big);
  EXPECT_EQ(read_file(new_folder + "/empty"), "");
  GStatBuf st;
  ASSERT_EQ(g_stat(new_folder.c_str(), &st), 0);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0755u & ~mask);

  // Copied, not moved; and nothing but the new folder appeared beside it.
  EXPECT_EQ(entries(old_folder), names);
  EXPECT_EQ(entries(root + "/3.0"), std::vector<std::string>{"zipstroke"});

  // Once: a preset the user deleted in GIMP 3 does not come back, a new
  // GIMP 2.10 preset does not follow, and nothing is overwritten.
  g_unlink((new_folder + "/empty").c_str());
  write_file(old_folder + "/later", "[zipstroke]\n");
  write_file(old_folder + "/speed lines", "changed in 2.10");
  EXPECT_FALSE(migrate().ran);
  EXPECT_EQ(entries(new_folder),
            (std::vector<std::string>{"caf\xe9", "large but fine", "speed lines"}));
  EXPECT_EQ(read_file(new_folder + "/speed lines"), "[zipstroke]\nversion=0.5.2\nline_pitch=3\n");
}

TEST_F(PresetMigrationTest, LeavesBehindWhatIsNotARegularPresetFile) {
  write_file(old_folder + "/good", "[zipstroke]\n");
  ASSERT_EQ(g_mkdir((old_folder + "/a folder").c_str(), 0755), 0);
  write_file(old_folder + "/a folder/inner", "[zipstroke]\n");
  // A link to a file elsewhere, and one to a preset beside it: neither is followed.
  write_file(root + "/secret", "not a preset");
  ASSERT_EQ(symlink((root + "/secret").c_str(), (old_folder + "/link out").c_str()), 0);
  ASSERT_EQ(symlink("good", (old_folder + "/link in").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (old_folder + "/dangling").c_str()), 0);
  // A pipe would block a reader for ever.
  ASSERT_EQ(mkfifo((old_folder + "/pipe").c_str(), 0644), 0);
  // Larger than any preset the loader reads (sparse: no disk space used).
  const std::string huge = old_folder + "/huge";
  write_file(huge, "");
  ASSERT_EQ(truncate(huge.c_str(), static_cast<off_t>(PRESET_MAX_FILE_SIZE) + 1), 0);
  // Exactly the limit is still a preset.
  const std::string at_limit = old_folder + "/at limit";
  write_file(at_limit, "");
  ASSERT_EQ(truncate(at_limit.c_str(), static_cast<off_t>(PRESET_MAX_FILE_SIZE)), 0);

  const PresetMigration done = migrate();
  EXPECT_TRUE(done.ran);
  EXPECT_EQ(done.copied, 2);
  EXPECT_EQ(done.skipped, 6);
  EXPECT_EQ(entries(new_folder), (std::vector<std::string>{"at limit", "good"}));
  EXPECT_EQ(read_file(new_folder + "/good"), "[zipstroke]\n");
  GStatBuf st;
  ASSERT_EQ(g_lstat((new_folder + "/at limit").c_str(), &st), 0);
  EXPECT_EQ(static_cast<gsize>(st.st_size), PRESET_MAX_FILE_SIZE);
  EXPECT_TRUE(exists(old_folder + "/pipe"));
  EXPECT_TRUE(exists(old_folder + "/a folder/inner"));
}

TEST_F(PresetMigrationTest, AnExistingGimp3FolderIsNeverTouched) {
  write_file(old_folder + "/from 2.10", "[zipstroke]\n");

  // An empty folder of the user's own.
  ASSERT_EQ(g_mkdir(new_folder.c_str(), 0700), 0);
  const PresetMigration kept = migrate();
  EXPECT_FALSE(kept.ran);
  EXPECT_EQ(kept.copied + kept.skipped, 0);
  EXPECT_TRUE(entries(new_folder).empty());
  GStatBuf st;
  ASSERT_EQ(g_stat(new_folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  g_rmdir(new_folder.c_str());

  // A file, or a link, of that name.
  write_file(new_folder, "in the way");
  EXPECT_FALSE(migrate().ran);
  EXPECT_EQ(read_file(new_folder), "in the way");
  g_unlink(new_folder.c_str());
  ASSERT_EQ(symlink(old_folder.c_str(), new_folder.c_str()), 0);
  EXPECT_FALSE(migrate().ran);
  EXPECT_EQ(entries(root + "/3.0"), std::vector<std::string>{"zipstroke"});
  EXPECT_EQ(entries(old_folder), std::vector<std::string>{"from 2.10"});
}

TEST_F(PresetMigrationTest, NothingToCopyFromMakesNoFolder) {
  // No folder named: refused before GLib is asked anything about them (it would complain).
  int complaints = 0;
  const GLogFunc before = g_log_set_default_handler(
      [](const gchar *, GLogLevelFlags, const gchar *, gpointer n) { ++*static_cast<int *>(n); },
      &complaints);
  EXPECT_FALSE(preset_migrate_once(nullptr, new_folder.c_str(), nullptr).ran);
  EXPECT_FALSE(preset_migrate_once(old_folder.c_str(), nullptr, nullptr).ran);
  g_log_set_default_handler(before, nullptr);
  EXPECT_EQ(complaints, 0);

  remove_tree(root + "/2.10");
  const PresetMigration nothing = migrate();
  EXPECT_FALSE(nothing.ran);
  EXPECT_EQ(nothing.copied, 0);
  EXPECT_EQ(nothing.skipped, 0);
  EXPECT_FALSE(exists(new_folder));

  // Something that is not a folder where the old folder would be.
  ASSERT_EQ(g_mkdir((root + "/2.10").c_str(), 0755), 0);
  write_file(old_folder, "not a folder");
  EXPECT_FALSE(migrate().ran);
  EXPECT_FALSE(exists(new_folder));
}

TEST_F(PresetMigrationTest, AnEmptyOldFolderStillMakesTheNewOne) {
  const PresetMigration done = migrate();
  EXPECT_TRUE(done.ran);
  EXPECT_EQ(done.copied, 0);
  EXPECT_EQ(done.skipped, 0);
  EXPECT_TRUE(g_file_test(new_folder.c_str(), G_FILE_TEST_IS_DIR));
}

TEST_F(PresetMigrationTest, AFailureSaysWhyAndLeavesNoHalfFolder) {
  write_file(old_folder + "/p", "[zipstroke]\n");
  // The GIMP 3 personal folder does not exist, so nothing can be made in it.
  const std::string unreachable = root + "/missing/zipstroke";
  GError *error = nullptr;
  const PresetMigration done =
      preset_migrate_once(old_folder.c_str(), unreachable.c_str(), &error);
  EXPECT_FALSE(done.ran);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->domain, G_FILE_ERROR);
  EXPECT_NE(std::string(error->message).find("missing"), std::string::npos) << error->message;
  g_error_free(error);
  EXPECT_FALSE(exists(root + "/missing"));
  EXPECT_EQ(entries(old_folder), std::vector<std::string>{"p"});
}

}  // namespace
