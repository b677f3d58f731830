// In another language every text of the dialog comes from the catalogue: a
// text still shown in English there was never marked for translation.
#include "dialog_fixture.h"

#include <libintl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <string>
#include <utility>
#include <vector>

#include <glib/gstdio.h>

#include "gtk_compat.h"
#include "text_domain.h"

namespace {

// Every label (buttons', frames' and notebook tabs' included), tooltip and
// combo item text of `widget` and everything inside it, in widget order.
void collect_texts(GtkWidget *widget, std::vector<std::string> *texts) {
  if (widget == dialog_widgets.unit_combo) return;  // GIMP's own unit names
  if (GTK_IS_LABEL(widget)) texts->push_back(gtk_label_get_text(GTK_LABEL(widget)));
  if (gchar *tip = gtk_widget_get_tooltip_text(widget)) {
    texts->push_back(tip);
    g_free(tip);
  }
  if (GTK_IS_COMBO_BOX(widget)) {
    GtkTreeModel *model = gtk_combo_box_get_model(GTK_COMBO_BOX(widget));
    GtkTreeIter row;
    for (gboolean ok = model && gtk_tree_model_get_iter_first(model, &row); ok;
         ok = gtk_tree_model_iter_next(model, &row))
      for (int column = 0; column < gtk_tree_model_get_n_columns(model); ++column)
        if (gtk_tree_model_get_column_type(model, column) == G_TYPE_STRING) {
          gchar *text = nullptr;
          gtk_tree_model_get(model, &row, column, &text, -1);
          if (text) texts->push_back(text);
          g_free(text);
        }
  }
  if (GTK_IS_CONTAINER(widget))
    gtk_container_forall(
        GTK_CONTAINER(widget),
        [](GtkWidget *child, gpointer data) {
          collect_texts(child, static_cast<std::vector<std::string> *>(data));
        },
        texts);
}

// The texts of the shown labels in `widget` that ask for less width than
// their words take: GTK 2 cuts such a text off.
void collect_cut_labels(GtkWidget *widget, std::vector<std::string> *cut) {
  if (GTK_IS_LABEL(widget) && gtk_widget_get_visible(widget) &&
      !gtk_label_get_line_wrap(GTK_LABEL(widget)) &&
      gtk_label_get_ellipsize(GTK_LABEL(widget)) == PANGO_ELLIPSIZE_NONE) {
    int words = 0, asked = 0, height = 0;
    pango_layout_get_pixel_size(gtk_label_get_layout(GTK_LABEL(widget)), &words, nullptr);
    compat_widget_min_size(widget, &asked, &height);
    if (asked < words) cut->push_back(gtk_label_get_text(GTK_LABEL(widget)));
  }
  if (GTK_IS_CONTAINER(widget))
    gtk_container_forall(
        GTK_CONTAINER(widget),
        [](GtkWidget *child, gpointer data) {
          collect_cut_labels(child, static_cast<std::vector<std::string> *>(data));
        },
        cut);
}

// Texts that read the same in Japanese: no letters at all, or these.
bool same_in_japanese(const std::string &text) {
  static const char *const KEPT[] = {"X:", "Y:", "N", "Cos"};
  for (const char *kept : KEPT)
    if (text == kept) return true;
  for (char c : text)
    if (g_ascii_isalpha(c)) return false;
  return true;
}

// A run of this test with this variable set is the child that writes the
// dialog's texts, each ended by a NUL, into the file it names.
constexpr const char *TEXTS_FILE = "ZIPSTROKE_DIALOG_TEXTS";

// Makes the locale ja_JP.CHARMAP in `folder` once (a fresh system has only
// the C locales, in which gettext ignores LANGUAGE); "" when it is there.
std::string make_japanese_locale(const std::string &folder, const char *charmap = "UTF-8") {
  const std::string made = folder + "/ja_JP." + charmap;
  if (g_file_test((made + "/LC_CTYPE").c_str(), G_FILE_TEST_EXISTS)) return "";
  g_mkdir_with_parents(folder.c_str(), 0755);
  const char *argv[] = {"localedef", "-i", "ja_JP", "-f", charmap, made.c_str(), nullptr};
  gchar *out = nullptr, *err = nullptr;
  GError *error = nullptr;
  g_spawn_sync(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
               nullptr, &out, &err, nullptr, &error);
  // localedef warns about the source's details and still makes the locale.
  std::string why = error ? error->message : std::string(out ? out : "") + (err ? err : "");
  g_clear_error(&error);
  g_free(out);
  g_free(err);
  if (g_file_test((made + "/LC_CTYPE").c_str(), G_FILE_TEST_EXISTS)) return "";
  return "localedef could not make " + made + " (the locales package?): " + why;
}

// The dialog's texts as this test, run anew in a process whose environment
// holds `vars` (a null value removes the variable) from its start, collects
// them; the process's output goes to `log`.  None when it failed.
std::vector<std::string> texts_of_child(
    std::initializer_list<std::pair<const char *, const char *>> vars, std::string *log) {
  std::vector<std::string> texts;
  gchar *path = nullptr;
  const int fd = g_file_open_tmp("zipstroke-texts-XXXXXX", &path, nullptr);
  if (fd < 0) return texts;
  close(fd);
  gchar **env = g_environ_setenv(g_get_environ(), TEXTS_FILE, path, TRUE);
  for (const auto &[name, value] : vars)
    env = value ? g_environ_setenv(env, name, value, TRUE) : g_environ_unsetenv(env, name);
  gchar *self = g_file_read_link("/proc/self/exe", nullptr);
  const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter =
      std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  const char *argv[] = {self, filter.c_str(), nullptr};
  gchar *out = nullptr, *err = nullptr;
  int status = -1;
  if (self && g_spawn_sync(nullptr, const_cast<gchar **>(argv), env, G_SPAWN_DEFAULT, nullptr,
                           nullptr, &out, &err, &status, nullptr)) {
    *log = std::string(out) + err + "(wait status " + std::to_string(status) + ")";
    gchar *data = nullptr;
    gsize size = 0;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
        g_file_get_contents(path, &data, &size, nullptr))
      for (const char *at = data; at < data + size; at += texts.back().size() + 1)
        texts.emplace_back(at);
    g_free(data);
  }
  g_free(out);
  g_free(err);
  g_free(self);
  g_strfreev(env);
  g_unlink(path);
  g_free(path);
  return texts;
}

using TranslatedDialog = PluginDialogTest;

// Each language is set in a process's environment from its start, as GIMP
// hands it to the plug-in: the C library does not always switch catalogues
// when LANGUAGE changes within a process.  No label's words are cut off in
// either language.
TEST_F(TranslatedDialog, ShowsNoEnglishTextInJapanese) {
#if !defined(ZIPSTROKE_CATALOGUES)
  GTEST_SKIP() << "built without catalogues";
#else
  if (const char *file = g_getenv(TEXTS_FILE)) {  // the child
    text_domain_bind(ZIPSTROKE_CATALOGUES);
    build();
    std::vector<std::string> texts, cut;
    collect_texts(dialog, &texts);
    collect_cut_labels(dialog, &cut);
    for (const std::string &text : cut) ADD_FAILURE() << "cut off: \"" << text << '"';
    std::string all;
    for (const std::string &text : texts) all += text + '\0';
    ASSERT_TRUE(g_file_set_contents(file, all.data(), static_cast<gssize>(all.size()), nullptr));
    return;
  }
  const std::string locales = ZIPSTROKE_TEST_LOCALES;
  const std::string failed = make_japanese_locale(locales);
  ASSERT_EQ(failed, "");
  std::string log[2];
  const std::vector<std::string> texts[2] = {
      texts_of_child({{"LC_ALL", "C.UTF-8"}, {"LANGUAGE", nullptr}}, &log[0]),
      texts_of_child(
          {{"LC_ALL", "ja_JP.UTF-8"}, {"LANGUAGE", "ja"}, {"LOCPATH", locales.c_str()}},
          &log[1])};

  ASSERT_GT(texts[0].size(), 100u) << log[0];
  ASSERT_EQ(texts[0].size(), texts[1].size()) << log[1];
  for (size_t i = 0; i < texts[0].size(); ++i) {
    if (texts[0][i] == texts[1][i]) {
      EXPECT_TRUE(same_in_japanese(texts[0][i])) << "not translated: \"" << texts[0][i] << '"';
    }
  }
#endif
}

// In a locale of another character set the texts still reach GTK in UTF-8.
TEST(TextDomain, HandsOutUtf8InALegacyLocale) {
#if !defined(ZIPSTROKE_CATALOGUES)
  GTEST_SKIP() << "built without catalogues";
#else
  ASSERT_EQ(make_japanese_locale(ZIPSTROKE_TEST_LOCALES, "EUC-JP"), "");
  const std::string before = setlocale(LC_ALL, nullptr);
  g_setenv("LOCPATH", ZIPSTROKE_TEST_LOCALES, TRUE);
  g_setenv("LANGUAGE", "ja", TRUE);
  const bool switched = setlocale(LC_ALL, "ja_JP.EUC-JP") != nullptr;
  text_domain_bind(ZIPSTROKE_CATALOGUES);
  const std::string topmost = gettext("Topmost");
  g_unsetenv("LANGUAGE");
  g_unsetenv("LOCPATH");
  setlocale(LC_ALL, before.c_str());
  ASSERT_TRUE(switched);
  EXPECT_EQ(topmost, "\u5E38\u306B\u524D\u9762");
#endif
}

// The catalogues beside the plug-in win; without them GIMP's folder stands.
TEST(TextDomainFolder, IsTheOneBesideThePluginElseGimps) {
  gchar *root = g_dir_make_tmp("zipstroke-locale-XXXXXX", nullptr);
  ASSERT_NE(root, nullptr);
  const std::string with = std::string(root) + "/with", without = std::string(root) + "/without";
  ASSERT_EQ(g_mkdir_with_parents((with + "/locale").c_str(), 0700), 0);
  ASSERT_EQ(g_mkdir_with_parents(without.c_str(), 0700), 0);
  const std::string gimp = "/gimp/locale";
  EXPECT_EQ(text_domain_folder(nullptr, gimp.c_str()), gimp);
  EXPECT_EQ(text_domain_folder("", gimp.c_str()), gimp);
  EXPECT_EQ(text_domain_folder("zipstroke", gimp.c_str()), gimp);  // relative: no folder to trust
  EXPECT_EQ(text_domain_folder((with + "/zipstroke").c_str(), gimp.c_str()), with + "/locale");
  EXPECT_EQ(text_domain_folder((without + "/zipstroke").c_str(), gimp.c_str()), gimp);
  g_rmdir((with + "/locale").c_str());
  g_rmdir(with.c_str());
  g_rmdir(without.c_str());
  g_rmdir(root);
  g_free(root);
}

}  // namespace
