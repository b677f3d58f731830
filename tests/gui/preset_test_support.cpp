#include "preset_test_support.h"

#include <gdk/gdkkeysyms.h>
#include <glib/gstdio.h>
#include <sys/stat.h>

#include "control_ranges.h"
#include "dialog.h"
#include "dialog_widgets.h"
#include "gimpui_compat.h"
#include "preset_page.h"

namespace {

// GIMP's library decides the personal folder once, on first use, from
// GIMP2_DIRECTORY (GIMP 2.10) or GIMP3_DIRECTORY (GIMP 3), else from HOME:
// point it at a temporary folder before main runs, so no test ever touches
// the real one.  Under GIMP 3 the GIMP 2.10 folder, which presets are copied
// from, is a folder inside it that does not exist until a test makes it.
struct TemporaryGimpDir {
  std::string path;
  TemporaryGimpDir() {
    char *dir = g_dir_make_tmp("zipstroke-gui-gimpdir-XXXXXX", nullptr);
    if (dir == nullptr) return;
    path = dir;
    g_free(dir);
#if ZS_GIMP3
    g_setenv("GIMP3_DIRECTORY", path.c_str(), TRUE);
    g_setenv("GIMP2_DIRECTORY", (path + "/gimp-2.10").c_str(), TRUE);
#else
    g_setenv("GIMP2_DIRECTORY", path.c_str(), TRUE);
#endif
  }
  ~TemporaryGimpDir() {
    if (!path.empty()) remove_tree(path);
  }
};
TemporaryGimpDir temporary_gimp_dir;

}  // namespace

void pump_events() {
  while (gtk_events_pending()) gtk_main_iteration();
}

const std::string &test_gimp_dir() { return temporary_gimp_dir.path; }

std::string test_preset_folder() {
  const char *folder = preset_folder_ensure();
  return folder ? folder : "";
}

void clear_preset_folder() {
  const std::string folder = test_preset_folder();
  ASSERT_FALSE(folder.empty());
  // Never clear anything but a folder of the temporary GIMP directory.
  ASSERT_EQ(folder.rfind(std::string(g_get_tmp_dir()), 0), 0u) << folder;
  GDir *dir = g_dir_open(folder.c_str(), 0, nullptr);
  ASSERT_NE(dir, nullptr);
  std::vector<std::string> names;
  while (const char *name = g_dir_read_name(dir)) names.emplace_back(name);
  g_dir_close(dir);
  for (const std::string &name : names) remove_tree(folder + "/" + name);
}

void DialogFixture::build(const FixedImage &image, void (*adjust)(EffectParams *)) {
  image_services_install_fixed(image);
  params = std::make_unique<EffectParams>();
  effect_params_init_run_fields(params.get(), 1, 2);
  effect_params_set_defaults(params.get());
  if (adjust) adjust(params.get());
  dialog = dialog_build(params.get());
  ASSERT_NE(dialog, nullptr);
  pump_events();
}

void DialogFixture::TearDown() {
  if (dialog) gtk_widget_destroy(dialog);
  dialog = nullptr;
  pump_events();
  image_services_install_fixed(FixedImage{});
}

GtkWidget *DialogFixture::spin(const char *key) {
  GtkWidget *widget = dialog_spin_for_key(key);
  EXPECT_NE(widget, nullptr) << key;
  return widget;
}

double DialogFixture::spin_value(const char *key) {
  GtkWidget *widget = spin(key);
  return widget ? gtk_spin_button_get_value(GTK_SPIN_BUTTON(widget)) : -1e300;
}

void DialogFixture::pick_unit(int unit) {
  gtk_combo_box_set_active(GTK_COMBO_BOX(dialog_widgets.unit_combo), unit);
  pump_events();
}

MessageAnswerer::MessageAnswerer(int response, MessageClose how)
    : response_(response), how_(how), source_(g_timeout_add(20, tick, this)) {}

MessageAnswerer::~MessageAnswerer() { g_source_remove(source_); }

gboolean MessageAnswerer::tick(gpointer data) {
  auto *self = static_cast<MessageAnswerer *>(data);
  GList *windows = gtk_window_list_toplevels();
  for (GList *l = windows; l; l = l->next) {
    GtkWidget *window = GTK_WIDGET(l->data);
    if (!GTK_IS_MESSAGE_DIALOG(window) || !gtk_widget_get_visible(window)) continue;
    SeenMessage seen;
    char *text = nullptr;
    g_object_get(window, "message-type", &seen.type, "text", &text, nullptr);
    seen.text = text ? text : "";
    g_free(text);
    seen.parent = gtk_window_get_transient_for(GTK_WINDOW(window));
    seen.modal = gtk_window_get_modal(GTK_WINDOW(window));
    const char *title = gtk_window_get_title(GTK_WINDOW(window));
    seen.title = title ? title : "";
    self->seen_.push_back(seen);
    // A box that a close left open is seen again; a few tries later it gets
    // a Cancel, so that the test fails on the count instead of hanging.
    if (self->how_ == MessageClose::Button || self->seen_.size() > 3) {
      gtk_dialog_response(GTK_DIALOG(window), self->how_ == MessageClose::Button
                                                  ? self->response_
                                                  : GTK_RESPONSE_CANCEL);
    } else if (self->how_ == MessageClose::Escape) {
#if GTK_MAJOR_VERSION >= 3
      gtk_bindings_activate(G_OBJECT(window), GDK_KEY_Escape, static_cast<GdkModifierType>(0));
#else
      gtk_bindings_activate(GTK_OBJECT(window), GDK_KEY_Escape, static_cast<GdkModifierType>(0));
#endif
    } else {
      // What the window manager sends when the window's close is pressed.
      GdkEvent *event = gdk_event_new(GDK_DELETE);
      event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
      gtk_main_do_event(event);
      gdk_event_free(event);
    }
  }
  g_list_free(windows);
  return TRUE;
}

std::vector<std::string> preset_store_names() {
  std::vector<std::string> names;
  GtkTreeModel *model = GTK_TREE_MODEL(dialog_widgets.preset_store);
  GtkTreeIter iter;
  for (gboolean ok = gtk_tree_model_get_iter_first(model, &iter); ok;
       ok = gtk_tree_model_iter_next(model, &iter)) {
    char *name = nullptr;
    gtk_tree_model_get(model, &iter, 0, &name, -1);
    names.emplace_back(name ? name : "");
    g_free(name);
  }
  return names;
}

void select_preset_row(int index) {
  GtkTreePath *path = gtk_tree_path_new_from_indices(index, -1);
  GtkTreeSelection *selection =
      gtk_tree_view_get_selection(GTK_TREE_VIEW(dialog_widgets.preset_view));
  gtk_tree_selection_select_path(selection, path);
  gtk_tree_path_free(path);
}
