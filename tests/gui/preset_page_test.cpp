// The Preset page in a real dialog, with a temporary personal GIMP folder.
#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "dialog_widgets.h"
#include "message_dialog.h"
#include "render.h"
#include "preset_page.h"
#include "preset_test_support.h"
#include "settings_text.h"
#include "unit_change.h"
#include "units.h"

namespace {

class PresetPage : public DialogFixture {
 protected:
  void SetUp() override {
    clear_preset_folder();
    build();
    folder = test_preset_folder();
    preset_list_refresh();
  }
  void TearDown() override {
    DialogFixture::TearDown();
    clear_preset_folder();
  }

  std::string file(const std::string &name) const { return folder + "/" + name; }
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    GDir *dir = g_dir_open(folder.c_str(), 0, nullptr);
    while (const char *n = dir ? g_dir_read_name(dir) : nullptr) names.emplace_back(n);
    if (dir) g_dir_close(dir);
    return names;
  }
  std::string record_text() {
    char *text = settings_to_text(live(), nullptr);
    std::string s(text);
    g_free(text);
    return s;
  }
  void set_spin(const char *key, double value) {
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin(key)), value);
    pump_events();
  }

  std::string folder;
};

GtkWidget *find_toplevel_titled(const char *title) {
  GtkWidget *found = nullptr;
  GList *windows = gtk_window_list_toplevels();
  for (GList *l = windows; l; l = l->next) {
    const char *t = gtk_window_get_title(GTK_WINDOW(l->data));
    if (t && std::strcmp(t, title) == 0 && gtk_widget_get_visible(GTK_WIDGET(l->data)))
      found = GTK_WIDGET(l->data);
  }
  g_list_free(windows);
  return found;
}

void find_widgets(GtkWidget *widget, GType type, std::vector<GtkWidget *> *out) {
  if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type)) out->push_back(widget);
  if (GTK_IS_CONTAINER(widget)) {
    GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList *l = children; l; l = l->next) find_widgets(GTK_WIDGET(l->data), type, out);
    g_list_free(children);
  }
}

TEST_F(PresetPage, SaveCreatesOneFileOfSettingsTextAndListsIt) {
  preset_save_named("first", live());
  ASSERT_EQ(files(), std::vector<std::string>{"first"});
  const std::string text = read_file(file("first"));
  EXPECT_EQ(text.rfind("[zipstroke]\nversion=0.5.2\n", 0), 0u) << text.substr(0, 60);
  EXPECT_EQ(text, record_text());
  EXPECT_EQ(preset_store_names(), std::vector<std::string>{"first"});
}

TEST_F(PresetPage, SaveAsksForANameInTheQueryBox) {
  preset_save_query(dialog_widgets.preset_save_button, live());
  pump_events();
  GtkWidget *box = find_toplevel_titled("New Parameter Preset");
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(box)));
  EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(box)), GTK_WINDOW(dialog));
  std::vector<GtkWidget *> entries, labels;
  find_widgets(box, GTK_TYPE_ENTRY, &entries);
  find_widgets(box, GTK_TYPE_LABEL, &labels);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entries[0])), "Unnamed");
  bool message_shown = false;
  for (GtkWidget *label : labels)
    message_shown |= std::strcmp(gtk_label_get_text(GTK_LABEL(label)),
                                 "Enter a name for the new Parameter Preset") == 0;
  EXPECT_TRUE(message_shown);

  gtk_entry_set_text(GTK_ENTRY(entries[0]), "from the box");
  gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
  pump_events();
  EXPECT_EQ(files(), std::vector<std::string>{"from the box"});

  // Cancelling saves nothing.
  preset_save_query(dialog_widgets.preset_save_button, live());
  pump_events();
  box = find_toplevel_titled("New Parameter Preset");
  ASSERT_NE(box, nullptr);
  gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_CANCEL);
  pump_events();
  EXPECT_EQ(files(), std::vector<std::string>{"from the box"});
}

TEST_F(PresetPage, OverwriteIsAskedWithTheNameAndCancelKeepsTheFile) {
  preset_save_named("A", live());
  const std::string before = read_file(file("A"));
  set_spin("line_pitch", 17);
  {
    MessageAnswerer cancel(GTK_RESPONSE_CANCEL);
    preset_save_named("A", live());
    ASSERT_EQ(cancel.seen().size(), 1u);
    const SeenMessage &m = cancel.seen()[0];
    EXPECT_EQ(m.type, GTK_MESSAGE_QUESTION);
    EXPECT_EQ(m.text, "The name 'A' was already exists. Overwrite?");
    EXPECT_EQ(m.parent, GTK_WINDOW(dialog));
    EXPECT_TRUE(m.modal);
  }
  EXPECT_EQ(read_file(file("A")), before);
  EXPECT_EQ(preset_store_names(), std::vector<std::string>{"A"});
  {
    MessageAnswerer ok(GTK_RESPONSE_OK);
    preset_save_named("A", live());
    EXPECT_EQ(ok.seen().size(), 1u);
  }
  EXPECT_EQ(read_file(file("A")), record_text());
  EXPECT_NE(read_file(file("A")), before);
  EXPECT_EQ(files(), std::vector<std::string>{"A"});
}

TEST_F(PresetPage, TheDialogClosedDuringAQuestionSavesAndDeletesNothing) {
  preset_save_named("A", live());
  const std::string before = read_file(file("A"));
  set_spin("line_pitch", 17);
  auto close_dialog = +[](gpointer data) -> gboolean {
    gtk_widget_destroy(*static_cast<GtkWidget **>(data));
    *static_cast<GtkWidget **>(data) = nullptr;
    return FALSE;
  };
  // A list used after its view is gone shows up as toolkit criticals.
  int criticals = 0;
  auto count = +[](const gchar *, GLogLevelFlags, const gchar *, gpointer n) {
    ++*static_cast<int *>(n);
  };
  const GLogLevelFlags level = static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING);
  const guint gtk_handler = g_log_set_handler("Gtk", level, count, &criticals);
  const guint gobject_handler = g_log_set_handler("GLib-GObject", level, count, &criticals);

  g_timeout_add(50, close_dialog, &dialog);
  preset_save_named("A", live());
  ASSERT_EQ(dialog, nullptr);
  pump_events();
  EXPECT_EQ(read_file(file("A")), before);

  build();
  preset_list_refresh();
  select_preset_row(0);
  g_timeout_add(50, close_dialog, &dialog);
  preset_delete_selected();
  ASSERT_EQ(dialog, nullptr);
  pump_events();
  EXPECT_EQ(files(), std::vector<std::string>{"A"});

  g_log_remove_handler("Gtk", gtk_handler);
  g_log_remove_handler("GLib-GObject", gobject_handler);
  EXPECT_EQ(criticals, 0);
}

TEST_F(PresetPage, LoadAndDeleteWithoutASelectedRowDoNothing) {
  preset_save_named("kept", live());
  set_spin("line_pitch", 23);
  const EffectParams before = *live();
  MessageAnswerer any(GTK_RESPONSE_OK);
  preset_load_selected();
  preset_delete_selected();
  g_signal_emit_by_name(dialog_widgets.preset_load_button, "clicked");
  g_signal_emit_by_name(dialog_widgets.preset_delete_button, "clicked");
  pump_events();
  EXPECT_TRUE(any.seen().empty());
  EXPECT_EQ(std::memcmp(&before, live(), sizeof before), 0);
  EXPECT_EQ(files(), std::vector<std::string>{"kept"});
}

TEST_F(PresetPage, LoadAppliesThePresetAndRefreshesTheList) {
  set_spin("line_pitch", 12.5);
  set_spin("radiation_x", 100);
  preset_save_named("saved", live());
  const std::string saved = record_text();
  set_spin("line_pitch", 40);
  set_spin("radiation_x", 7);
  select_preset_row(0);
  g_signal_emit_by_name(dialog_widgets.preset_load_button, "clicked");
  EXPECT_EQ(live()->line_pitch, 12.5);
  EXPECT_EQ(live()->radiation_x, 100);
  EXPECT_EQ(record_text(), saved);
  GtkTreeSelection *sel = gtk_tree_view_get_selection(GTK_TREE_VIEW(dialog_widgets.preset_view));
  EXPECT_EQ(gtk_tree_selection_count_selected_rows(sel), 0);
}

std::vector<unsigned char> render_pixels(const EffectParams *params) {
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 480);
  cairo_t *cr = cairo_create(surface);
  render_effect(cr, params, image_resolution(params->image_id));
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  const unsigned char *data = cairo_image_surface_get_data(surface);
  std::vector<unsigned char> pixels(data, data + cairo_image_surface_get_stride(surface) * 480);
  cairo_surface_destroy(surface);
  return pixels;
}

TEST_F(PresetPage, APresetSavedInMillimetresLoadsWithTheSameNumbers) {
  pick_unit(UNIT_MM);
  set_spin("line_pitch", 2.5);
  set_spin("line_width", 0.7);
  set_spin("radiation_x", 80.125);
  preset_save_named("mm", live());
  const std::string saved = record_text();
  const std::vector<unsigned char> saved_render = render_pixels(live());
  const double shown_pitch = spin_value("line_pitch");
  ASSERT_NE(std::count(saved_render.begin(), saved_render.end(), 0), saved_render.size());

  pick_unit(UNIT_PIXEL);
  set_spin("line_pitch", 30);
  pick_unit(UNIT_INCH);

  select_preset_row(0);
  preset_load_selected();
  EXPECT_EQ(live()->area_unit, UNIT_MM);
  EXPECT_EQ(current_unit_get(), UNIT_MM);
  EXPECT_EQ(live()->line_pitch, 2.5);
  EXPECT_EQ(spin_value("line_pitch"), shown_pitch);
  EXPECT_EQ(live()->radiation_x, 80.125);
  EXPECT_EQ(record_text(), saved);
  EXPECT_TRUE(render_pixels(live()) == saved_render);
}

TEST_F(PresetPage, ListSkipsSubFoldersAndUpdatesOnRequest) {
  write_file(file("one"), "[zipstroke]\n");
  ASSERT_EQ(g_mkdir(file("sub").c_str(), 0755), 0);
  EXPECT_TRUE(preset_store_names().empty());  // not until asked
  g_signal_emit_by_name(dialog_widgets.preset_update_button, "clicked");
  EXPECT_EQ(preset_store_names(), std::vector<std::string>{"one"});
}

TEST_F(PresetPage, AFileNamedLikeTheFolderGivesAnEmptyListAndNothingHappens) {
  write_file(file("one"), "[zipstroke]\n");
  const std::string aside = folder + ".aside";
  ASSERT_EQ(g_rename(folder.c_str(), aside.c_str()), 0);
  write_file(folder, "a file, not a folder");
  preset_folder_forget();

  preset_list_refresh();
  EXPECT_TRUE(preset_store_names().empty());
  {
    MessageAnswerer any(GTK_RESPONSE_OK);
    preset_save_named("new", live());
    preset_load_selected();
    preset_delete_selected();
    EXPECT_TRUE(any.seen().empty());
  }
  EXPECT_EQ(read_file(folder), "a file, not a folder");

  g_unlink(folder.c_str());
  ASSERT_EQ(g_rename(aside.c_str(), folder.c_str()), 0);
  preset_folder_forget();
  preset_list_refresh();
  EXPECT_EQ(preset_store_names(), std::vector<std::string>{"one"});
}

TEST_F(PresetPage, APresetThatIsNotAKeyFileShowsGLibsReason) {
  write_file(file("junk"), "this is not a key file\n");
  preset_list_refresh();
  GKeyFile *probe = g_key_file_new();
  GError *expected = nullptr;
  ASSERT_FALSE(g_key_file_load_from_file(probe, file("junk").c_str(), G_KEY_FILE_KEEP_COMMENTS,
                                         &expected));
  g_key_file_free(probe);

  const EffectParams before = *live();
  select_preset_row(0);
  {
    MessageAnswerer close(GTK_RESPONSE_CLOSE);
    preset_load_selected();
    ASSERT_EQ(close.seen().size(), 1u);
    EXPECT_EQ(close.seen()[0].type, GTK_MESSAGE_ERROR);
    EXPECT_EQ(close.seen()[0].text, expected->message);
    EXPECT_EQ(close.seen()[0].parent, nullptr);
  }
  g_error_free(expected);
  EXPECT_EQ(std::memcmp(&before, live(), sizeof before), 0);
  EXPECT_EQ(preset_store_names(), std::vector<std::string>{"junk"});
}

TEST_F(PresetPage, DeleteAsksAndRemovesOnlyOnOk) {
  preset_save_named("x", live());
  preset_save_named("y", live());
  select_preset_row(0);
  const std::string first = preset_store_names()[0];
  {
    MessageAnswerer cancel(GTK_RESPONSE_CANCEL);
    preset_delete_selected();
    ASSERT_EQ(cancel.seen().size(), 1u);
    EXPECT_EQ(cancel.seen()[0].type, GTK_MESSAGE_QUESTION);
    EXPECT_EQ(cancel.seen()[0].text, "Do you want to delete '" + first + "' ?");
    EXPECT_EQ(cancel.seen()[0].parent, GTK_WINDOW(dialog));
  }
  EXPECT_EQ(files().size(), 2u);
  EXPECT_EQ(preset_store_names().size(), 2u);
  {
    MessageAnswerer ok(GTK_RESPONSE_OK);
    preset_delete_selected();
  }
  EXPECT_FALSE(g_file_test(file(first).c_str(), G_FILE_TEST_EXISTS));
  EXPECT_EQ(preset_store_names().size(), 1u);
  EXPECT_NE(preset_store_names()[0], first);
}

// A question closed without an answer (Escape, the window's close) is a No,
// in the box itself and in every question of the page.
TEST_F(PresetPage, AQuestionClosedWithoutAnAnswerIsANo) {
  preset_save_named("A", live());
  const std::string before = read_file(file("A"));
  set_spin("line_pitch", 17);
  for (MessageClose how : {MessageClose::Escape, MessageClose::Window}) {
    SCOPED_TRACE(how == MessageClose::Escape ? "Escape" : "window closed");
    {
      MessageAnswerer close(how);
      EXPECT_NE(message_dialog_run(GTK_MESSAGE_QUESTION, GTK_BUTTONS_OK_CANCEL, nullptr, "q"),
                GTK_RESPONSE_OK);
      EXPECT_EQ(close.seen().size(), 1u);
    }
    {
      MessageAnswerer close(how);
      preset_save_named("A", live());
      EXPECT_EQ(close.seen().size(), 1u);
    }
    EXPECT_EQ(read_file(file("A")), before);
    select_preset_row(0);
    {
      MessageAnswerer close(how);
      preset_delete_selected();
      EXPECT_EQ(close.seen().size(), 1u);
    }
    EXPECT_EQ(files(), std::vector<std::string>{"A"});
    EXPECT_EQ(preset_store_names(), std::vector<std::string>{"A"});
  }
}

TEST_F(PresetPage, NamesThatAreNotUtf8AreShownConvertedButUsedRaw) {
  const std::string raw = "caf\xe9";  // Latin-1, not UTF-8
  write_file(file(raw), "[zipstroke]\nversion=0.5.2\nline_pitch=33\n");
  preset_list_refresh();
  ASSERT_EQ(preset_store_names(), std::vector<std::string>{raw});

  select_preset_row(0);
  preset_load_selected();
  EXPECT_EQ(live()->line_pitch, 33);

  select_preset_row(0);
  {
    MessageAnswerer ok(GTK_RESPONSE_OK);
    preset_delete_selected();
    ASSERT_EQ(ok.seen().size(), 1u);
    EXPECT_TRUE(g_utf8_validate(ok.seen()[0].text.c_str(), -1, nullptr));
  }
  EXPECT_TRUE(files().empty());
}

TEST_F(PresetPage, RowActivationLoadsAndBlinksTheRow) {
  set_spin("line_pitch", 21);
  preset_save_named("p0", live());
  preset_save_named("p1", live());
  set_spin("line_pitch", 5);

  GtkTreeView *view = GTK_TREE_VIEW(dialog_widgets.preset_view);
  GtkTreeSelection *selection = gtk_tree_view_get_selection(view);
  struct Step {
    bool selected;
    gint64 time;
  };
  std::vector<Step> steps;
  auto on_changed = +[](GtkTreeSelection *sel, gpointer data) {
    GtkTreePath *path = gtk_tree_path_new_from_indices(1, -1);
    static_cast<std::vector<Step> *>(data)->push_back(
        {gtk_tree_selection_path_is_selected(sel, path) != FALSE, g_get_monotonic_time()});
    gtk_tree_path_free(path);
  };
  select_preset_row(1);
  const gulong handler =
      g_signal_connect(selection, "changed", G_CALLBACK(on_changed), &steps);
  const gint64 start = g_get_monotonic_time();
  preset_row_activated(view);
  const gint64 end = g_get_monotonic_time(), elapsed = end - start;
  g_signal_handler_disconnect(selection, handler);

  EXPECT_EQ(live()->line_pitch, 21);
  ASSERT_GE(steps.size(), 5u);
  const std::vector<Step> blink(steps.end() - 5, steps.end());
  const bool expected[] = {true, false, true, false, true};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(blink[i].selected, expected[i]) << i;
  for (int i = 1; i < 5; ++i) EXPECT_GE(blink[i].time - blink[i - 1].time, 45000) << i;
  EXPECT_GE(end - blink[4].time, 45000);  // lit through the last pause, not relit at the end
  EXPECT_GE(elapsed, 250000);
  GtkTreePath *path = gtk_tree_path_new_from_indices(1, -1);
  EXPECT_TRUE(gtk_tree_selection_path_is_selected(selection, path));
  gtk_tree_path_free(path);
}

TEST_F(PresetPage, RowActivationWithoutASelectedRowDoesNothing) {
  preset_save_named("p0", live());
  const EffectParams before = *live();
  const gint64 start = g_get_monotonic_time();
  preset_row_activated(GTK_TREE_VIEW(dialog_widgets.preset_view));
  EXPECT_LT(g_get_monotonic_time() - start, 200000);
  EXPECT_EQ(std::memcmp(&before, live(), sizeof before), 0);
}

TEST_F(PresetPage, NamesThatCannotBeAPresetAreRefusedWithAReason) {
  write_file(test_gimp_dir() + "/outside", "keep");
  ASSERT_EQ(g_mkdir(file("sub").c_str(), 0755), 0);
  const struct {
    const char *name;
    const char *reason;
  } cases[] = {
      {"", "empty name"},
      {".", "reserved"},
      {"..", "reserved"},
      {"a/b", "path separator"},
      {"../outside", "path separator"},
      {"sub", "folder"},
      {"bad \xff name", "encoding"},
  };
  for (const auto &c : cases) {
    MessageAnswerer close(GTK_RESPONSE_CLOSE);
    preset_save_named(c.name, live());
    ASSERT_EQ(close.seen().size(), 1u) << c.name;
    EXPECT_EQ(close.seen()[0].type, GTK_MESSAGE_ERROR);
    EXPECT_NE(close.seen()[0].text.find(c.reason), std::string::npos) << close.seen()[0].text;
  }
  EXPECT_EQ(files(), std::vector<std::string>{"sub"});
  EXPECT_EQ(read_file(test_gimp_dir() + "/outside"), "keep");
  g_unlink((test_gimp_dir() + "/outside").c_str());
}

TEST_F(PresetPage, AFailedWriteShowsTheSystemsReason) {
  const std::string long_name(300, 'n');
  MessageAnswerer close(GTK_RESPONSE_CLOSE);
  preset_save_named(long_name.c_str(), live());
  ASSERT_EQ(close.seen().size(), 1u);
  EXPECT_EQ(close.seen()[0].type, GTK_MESSAGE_ERROR);
  EXPECT_NE(close.seen()[0].text.find(g_strerror(ENAMETOOLONG)), std::string::npos)
      << close.seen()[0].text;
  EXPECT_TRUE(files().empty());
}

TEST(MessageDialog, ShowsTheTextLiterallyAndReturnsTheResponse) {
  {
    MessageAnswerer ok(GTK_RESPONSE_OK);
    EXPECT_EQ(message_dialog_run(GTK_MESSAGE_QUESTION, GTK_BUTTONS_OK_CANCEL, nullptr,
                                 "100% %s %n sure?"),
              GTK_RESPONSE_OK);
    ASSERT_EQ(ok.seen().size(), 1u);
    EXPECT_EQ(ok.seen()[0].text, "100% %s %n sure?");
    EXPECT_TRUE(ok.seen()[0].modal);
  }
  {
    MessageAnswerer cancel(GTK_RESPONSE_CANCEL);
    EXPECT_EQ(message_dialog_run(GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, nullptr, "x"),
              GTK_RESPONSE_CANCEL);
  }
}

TEST(MessageDialog, ABoxWhoseLoopIsEndedElsewhereGoesAwayWithoutAnAnswer) {
  // As when the main dialog is closed while a question waits.
  g_timeout_add(50, [](gpointer) -> gboolean {
    gtk_main_quit();
    return FALSE;
  }, nullptr);
  EXPECT_EQ(message_dialog_run(GTK_MESSAGE_QUESTION, GTK_BUTTONS_OK_CANCEL, nullptr, "q"),
            GTK_RESPONSE_CANCEL);
  pump_events();
  GList *windows = gtk_window_list_toplevels();
  for (GList *l = windows; l; l = l->next)
    EXPECT_FALSE(GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)));
  g_list_free(windows);
}

}  // namespace
