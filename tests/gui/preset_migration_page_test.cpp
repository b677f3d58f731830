// GIMP 3's first Preset page: the presets of GIMP 2.10 copied over, and the
// line that says so.  (GIMP 2.10 has nothing to copy from.)
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dialog_widgets.h"
#include "gimpui_compat.h"
#include "preset_page.h"
#include "preset_test_support.h"

namespace {

class PresetMigrationPage : public DialogFixture {
 protected:
  void SetUp() override {
#if !ZS_GIMP3
    GTEST_SKIP() << "only the GIMP 3 plug-in copies the presets of GIMP 2.10";
#endif
    // The test run's GIMP 2.10 folder is "gimp-2.10" inside its GIMP 3 folder.
    old_folder = test_gimp_dir() + "/gimp-2.10/zipstroke";
    new_folder = test_gimp_dir() + "/zipstroke";
    remove_tree(new_folder);
    preset_folder_forget();
    ASSERT_EQ(g_mkdir_with_parents(old_folder.c_str(), 0755), 0);
  }
  void TearDown() override {
    DialogFixture::TearDown();
    remove_tree(test_gimp_dir() + "/gimp-2.10");
    preset_folder_forget();
    // The other tests find an empty preset folder.
    remove_tree(new_folder);
    preset_folder_ensure();
  }

  // As a new run of the plug-in would: the folder is looked for afresh.
  void rebuild() {
    if (dialog) gtk_widget_destroy(dialog);
    dialog = nullptr;
    pump_events();
    preset_folder_forget();
    build();
  }

  std::vector<std::string> sorted_names() {
    std::vector<std::string> names = preset_store_names();
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string old_folder, new_folder;
};

TEST_F(PresetMigrationPage, TheFirstPageListsTheCopiedPresetsAndSaysSo) {
  write_file(old_folder + "/speed lines", "[zipstroke]\nversion=0.5.2\nline_pitch=17\n");
  write_file(old_folder + "/radial", "[zipstroke]\nversion=0.5.2\n");
  ASSERT_EQ(g_mkdir((old_folder + "/not a preset").c_str(), 0755), 0);
  build();

  GtkWidget *notice = dialog_widgets.preset_notice;
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(gtk_widget_get_visible(notice));
  EXPECT_TRUE(gtk_label_get_line_wrap(GTK_LABEL(notice)));  // a long line would widen the page
  int left = -1, width = 0;  // under the list and its buttons
  gtk_container_child_get(GTK_CONTAINER(gtk_widget_get_parent(notice)), notice, "left-attach",
                          &left, "width", &width, nullptr);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(width, 2);
  EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(notice)),
               "2 presets were copied from GIMP 2.10. 1 entry that is not a preset file was "
               "left there.");
  EXPECT_STREQ(preset_migration_notice(), gtk_label_get_text(GTK_LABEL(notice)));
  EXPECT_EQ(sorted_names(), (std::vector<std::string>{"radial", "speed lines"}));

  // A copied preset loads like any other.
  const std::vector<std::string> names = preset_store_names();
  const int row = static_cast<int>(std::find(names.begin(), names.end(), "speed lines") -
                                   names.begin());
  select_preset_row(row);
  preset_load_selected();
  pump_events();
  EXPECT_EQ(spin_value("line_pitch"), 17);

  // GIMP 2.10 keeps its own.
  EXPECT_EQ(read_file(old_folder + "/speed lines"), "[zipstroke]\nversion=0.5.2\nline_pitch=17\n");
  EXPECT_EQ(read_file(old_folder + "/radial"), "[zipstroke]\nversion=0.5.2\n");
}

TEST_F(PresetMigrationPage, OneCopiedPresetIsCountedInTheSingular) {
  write_file(old_folder + "/only", "[zipstroke]\n");
  build();
  ASSERT_NE(dialog_widgets.preset_notice, nullptr);
  EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(dialog_widgets.preset_notice)),
               "1 preset was copied from GIMP 2.10.");
}

TEST_F(PresetMigrationPage, LaterRunsCopyNothingAgainAndSayNothing) {
  write_file(old_folder + "/a", "[zipstroke]\n");
  write_file(old_folder + "/b", "[zipstroke]\n");
  build();
  ASSERT_NE(dialog_widgets.preset_notice, nullptr);

  // The user deletes one in GIMP 3 and saves another in GIMP 2.10.
  ASSERT_EQ(g_unlink((new_folder + "/a").c_str()), 0);
  write_file(old_folder + "/c", "[zipstroke]\n");
  rebuild();
  EXPECT_EQ(dialog_widgets.preset_notice, nullptr);
  EXPECT_STREQ(preset_migration_notice(), "");
  EXPECT_EQ(sorted_names(), std::vector<std::string>{"b"});
}

TEST_F(PresetMigrationPage, WithoutGimp2PresetsThePageHasNoNotice) {
  remove_tree(test_gimp_dir() + "/gimp-2.10");
  build();
  EXPECT_EQ(dialog_widgets.preset_notice, nullptr);
  EXPECT_TRUE(preset_store_names().empty());
  EXPECT_TRUE(g_file_test(new_folder.c_str(), G_FILE_TEST_IS_DIR));
}

}  // namespace
