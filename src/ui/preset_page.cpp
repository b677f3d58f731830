#include "preset_page.h"

#include <glib/gi18n-lib.h>

#include <cstring>
#include <memory>
#include <string>

#include "dialog_widgets.h"
#include "gimpui_compat.h"
#include "glib_ptr.h"
#include "gtk_compat.h"
#include "message_dialog.h"
#include "preset_files.h"
#include "preset_migration.h"
#include "settings_apply.h"
#include "settings_text.h"

namespace {

using TreePathPtr = std::unique_ptr<GtkTreePath, FreeWith<gtk_tree_path_free>>;
using RowRefPtr = std::unique_ptr<GtkTreeRowReference, FreeWith<gtk_tree_row_reference_free>>;

// Keeps the list alive across a question: its main loop may see the dialog,
// and with it the view that owns the list, destroyed.
struct StoreHold {
  GtkListStore *store = dialog_widgets.preset_store;
  StoreHold() {
    if (store) g_object_ref(store);
  }
  ~StoreHold() {
    if (store) g_object_unref(store);
  }
  StoreHold(const StoreHold &) = delete;
  StoreHold &operator=(const StoreHold &) = delete;
};

// Determined once, then kept for the run.
char *preset_folder = nullptr;
// What the Preset page tells about presets brought over from an older GIMP
// on this run; empty when nothing was brought over.
std::string migration_notice;

constexpr gsize OVERWRITE_TEXT_LIMIT = 2047;
constexpr gsize DELETE_TEXT_LIMIT = 1023;
constexpr int BLINK_STEPS = 5;
constexpr gulong BLINK_PAUSE_US = 50000;

// Cuts a formatted message to `limit` bytes without splitting a character.
void limit_text(char *text, gsize limit) {
  if (std::strlen(text) <= limit) return;
  gsize cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text[cut] = '\0';
}

GtkWindow *main_window() {
  return dialog_widgets.dialog ? GTK_WINDOW(dialog_widgets.dialog) : nullptr;
}

// The raw name of the selected row, and the row.
GCharPtr selected_name(GtkTreeView *view, GtkTreeIter *iter) {
  if (view == nullptr) return nullptr;
  GtkTreeSelection *selection = gtk_tree_view_get_selection(view);
  GtkTreeModel *model = nullptr;
  if (selection == nullptr || !gtk_tree_selection_get_selected(selection, &model, iter))
    return nullptr;
  char *name = nullptr;
  gtk_tree_model_get(model, iter, 0, &name, -1);
  return GCharPtr(name);
}

void show_error(GtkWindow *parent, const char *text) {
  message_dialog_run(GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, parent, text);
}

// What the user is told when a preset cannot be read.  GLib's own errors are
// shown as GLib words them.
GCharPtr load_error_text(const GError *error, const char *display_name) {
  if (error->domain == PRESET_FILE_ERROR) {
    switch (error->code) {
      case PRESET_ERROR_NOT_REGULAR:
        return GCharPtr(g_strdup_printf(_("'%s' is not a regular file."), display_name));
      case PRESET_ERROR_TOO_LARGE:
        return GCharPtr(g_strdup_printf(_("'%s' is too large to be a preset."), display_name));
      default:
        return GCharPtr(
            g_strdup_printf(_("'%s' is not a file of the preset folder."), display_name));
    }
  }
  return GCharPtr(g_strdup(error->message));
}

// Why a typed name cannot be saved.
GCharPtr name_error_text(const GError *error, const char *name_utf8) {
  switch (error->code) {
    case PRESET_ERROR_NAME_EMPTY:
      return GCharPtr(g_strdup(_("A preset needs a name; an empty name cannot be saved.")));
    case PRESET_ERROR_NAME_DOT:
      return GCharPtr(g_strdup_printf(
          _("The name '%s' is reserved by the file system and cannot be used for a preset."),
          name_utf8));
    case PRESET_ERROR_NAME_SEPARATOR:
      return GCharPtr(g_strdup_printf(
          _("The name '%s' contains a path separator ('/'), which a preset name cannot hold."),
          name_utf8));
    case PRESET_ERROR_NAME_ENCODING:
      return GCharPtr(g_strdup_printf(
          _("The name '%s' cannot be converted to the file system's encoding."), name_utf8));
    case PRESET_ERROR_IS_FOLDER:
      return GCharPtr(g_strdup_printf(
          _("'%s' is a folder inside the preset folder; please choose another name."),
          name_utf8));
    default:
      return GCharPtr(g_strdup(error->message));
  }
}

void on_name_entered(GtkWidget *, const gchar *text, gpointer data) {
  preset_save_named(text, static_cast<EffectParams *>(data));
}

void on_row_activated(GtkTreeView *view, GtkTreePath *, GtkTreeViewColumn *, gpointer) {
  preset_row_activated(view);
}
void on_load_clicked(GtkButton *, gpointer) { preset_load_selected(); }
void on_save_clicked(GtkButton *button, gpointer data) {
  preset_save_query(GTK_WIDGET(button), static_cast<EffectParams *>(data));
}
void on_delete_clicked(GtkButton *, gpointer) { preset_delete_selected(); }
void on_update_clicked(GtkButton *, gpointer) { preset_list_refresh(); }

// Runs after the "text" attribute: names that are not valid UTF-8 are shown
// converted; the store keeps them raw.
void show_name(GtkTreeViewColumn *, GtkCellRenderer *cell, GtkTreeModel *model,
               GtkTreeIter *iter, gpointer) {
  char *raw = nullptr;
  gtk_tree_model_get(model, iter, 0, &raw, -1);
  GCharPtr raw_owner(raw);
  GCharPtr display(raw ? g_filename_display_name(raw) : g_strdup(""));
  g_object_set(cell, "text", display.get(), nullptr);
}

void pump_events() {
  while (gtk_events_pending()) gtk_main_iteration();
}

}  // namespace

const char *preset_folder_ensure() {
  if (preset_folder != nullptr) return preset_folder;
  // The folder of the personal gimprc.
  const char *gimp_dir = gimp_directory();
  if (gimp_dir == nullptr) return nullptr;
#if ZS_GIMP3
  preset_migrate_from_older_gimp(gimp_dir);
#endif
  preset_folder = preset_folder_ensure_in(gimp_dir);
  return preset_folder;
}

void preset_migrate_from_older_gimp(const char *gimp_dir) {
  std::string from;
  GError *raw_error = nullptr;
  const PresetMigration done =
      preset_migrate_from_older(gimp_dir, PRESET_FOLDER_NAME, g_getenv("GIMP2_DIRECTORY"),
                                g_get_home_dir(), &from, &raw_error);
  GErrorPtr error(raw_error);
  if (error) {
    GCharPtr text(g_strdup_printf(_("The presets of GIMP %s could not be copied: %s"),
                                  from.c_str(), error->message));
    migration_notice = text.get();
  } else if (done.ran) {
    GCharPtr text(g_strdup_printf(dngettext(GETTEXT_PACKAGE, "%d preset was copied from GIMP %s.",
                                            "%d presets were copied from GIMP %s.", done.copied),
                                  done.copied, from.c_str()));
    migration_notice = text.get();
    if (done.skipped > 0) {
      GCharPtr left(g_strdup_printf(
          dngettext(GETTEXT_PACKAGE, "%d entry that is not a preset file was left there.",
                    "%d entries that are not preset files were left there.", done.skipped),
          done.skipped));
      migration_notice = migration_notice + " " + left.get();
    }
  }
}

const char *preset_migration_notice() { return migration_notice.c_str(); }

void preset_folder_forget() {
  g_free(preset_folder);
  preset_folder = nullptr;
  migration_notice.clear();
}

GtkWidget *preset_page_new(EffectParams *params) {
  settings_apply_set_live(params);
  preset_folder_ensure();

  DialogWidgets &w = dialog_widgets;
  GtkWidget *table = compat_grid_new(21, 2);
  gtk_container_set_border_width(GTK_CONTAINER(table), 4);

  w.preset_frame = gtk_frame_new(nullptr);
  gtk_frame_set_shadow_type(GTK_FRAME(w.preset_frame), GTK_SHADOW_IN);

  w.preset_scroller = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(w.preset_scroller), GTK_POLICY_AUTOMATIC,
                                 GTK_POLICY_AUTOMATIC);
  gtk_widget_set_size_request(w.preset_scroller, 200, 80);
  gtk_container_add(GTK_CONTAINER(w.preset_frame), w.preset_scroller);

  w.preset_store = gtk_list_store_new(1, G_TYPE_STRING);
  w.preset_view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(w.preset_store));
  g_object_unref(w.preset_store);  // the view keeps it as long as the dialog lives
  gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(w.preset_view), FALSE);
  GtkCellRenderer *renderer = gtk_cell_renderer_text_new();
  GtkTreeViewColumn *column =
      gtk_tree_view_column_new_with_attributes(nullptr, renderer, "text", 0, nullptr);
  gtk_tree_view_column_set_cell_data_func(column, renderer, show_name, nullptr, nullptr);
  gtk_tree_view_append_column(GTK_TREE_VIEW(w.preset_view), column);
  gtk_container_add(GTK_CONTAINER(w.preset_scroller), w.preset_view);

  w.preset_load_button = gtk_button_new_with_label(_("Load"));
  w.preset_save_button = gtk_button_new_with_label(_("Save"));
  w.preset_delete_button = gtk_button_new_with_label(_("Delete"));
  w.preset_update_button = gtk_button_new_with_label(_("Update List"));

  g_signal_connect(w.preset_view, "row-activated", G_CALLBACK(on_row_activated), nullptr);
  g_signal_connect(w.preset_load_button, "clicked", G_CALLBACK(on_load_clicked), nullptr);
  g_signal_connect(w.preset_save_button, "clicked", G_CALLBACK(on_save_clicked), params);
  g_signal_connect(w.preset_delete_button, "clicked", G_CALLBACK(on_delete_clicked), nullptr);
  g_signal_connect(w.preset_update_button, "clicked", G_CALLBACK(on_update_clicked), nullptr);

  compat_grid_attach(table, w.preset_frame, 0, 1, 0, 20, CELL_EXPAND | CELL_FILL,
                     CELL_EXPAND | CELL_FILL, 2, 2);
  GtkWidget *buttons[] = {w.preset_load_button, w.preset_save_button, w.preset_delete_button,
                          w.preset_update_button};
  for (int row = 0; row < static_cast<int>(G_N_ELEMENTS(buttons)); ++row)
    compat_grid_attach(table, buttons[row], 1, 2, row, row + 1, CELL_FILL, CELL_NONE, 2, 2);

  // Shown on the run that brought presets over from GIMP 2.10.
  w.preset_notice = nullptr;
  if (!migration_notice.empty()) {
    w.preset_notice = gtk_label_new(migration_notice.c_str());
    gtk_label_set_line_wrap(GTK_LABEL(w.preset_notice), TRUE);
    compat_label_set_xalign(w.preset_notice, 0.0f);
    compat_grid_attach(table, w.preset_notice, 0, 2, 20, 21, CELL_FILL, CELL_NONE, 2, 2);
  }

  preset_list_refresh();
  return table;
}

void preset_list_refresh() {
  GtkListStore *store = dialog_widgets.preset_store;
  if (store == nullptr) return;
  gtk_list_store_clear(store);
  const char *folder = preset_folder_ensure();
  if (folder == nullptr) return;
  for (const std::string &name : preset_folder_list(folder)) {
    GtkTreeIter iter;
    gtk_list_store_append(store, &iter);
    gtk_list_store_set(store, &iter, 0, name.c_str(), -1);
  }
}

void preset_load_selected() {
  const char *folder = preset_folder_ensure();
  if (folder == nullptr) return;
  GtkTreeIter iter;
  GCharPtr name = selected_name(GTK_TREE_VIEW(dialog_widgets.preset_view), &iter);
  if (!name) return;

  StoreHold hold;
  GError *raw_error = nullptr;
  GKeyFile *key_file = preset_load(folder, name.get(), &raw_error);
  if (key_file != nullptr) {
    settings_apply_key_file(key_file);
    g_key_file_free(key_file);
  } else {
    GErrorPtr error(raw_error);
    GCharPtr display(g_filename_display_name(name.get()));
    GCharPtr text = load_error_text(error.get(), display.get());
    show_error(nullptr, text.get());
  }
  preset_list_refresh();
}

void preset_save_query(GtkWidget *, EffectParams *params) {
  GtkWidget *parent = dialog_widgets.dialog;
  GtkWidget *box = compat_query_string_box(
      _("New Parameter Preset"), parent, _("Enter a name for the new Parameter Preset"),
      _("Unnamed"), parent ? G_OBJECT(parent) : nullptr, parent ? "destroy" : nullptr,
      on_name_entered, params);
  gtk_window_set_modal(GTK_WINDOW(box), TRUE);
  gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
  gtk_widget_show(box);
}

void preset_save_named(const char *name_utf8, EffectParams *params) {
  const char *folder = preset_folder_ensure();
  if (folder == nullptr || params == nullptr) return;
  if (name_utf8 == nullptr) name_utf8 = "";
  StoreHold hold;

  GError *raw_error = nullptr;
  GCharPtr filename(preset_name_to_filename(name_utf8, &raw_error));
  if (filename && preset_is_folder(folder, filename.get())) {
    g_set_error_literal(&raw_error, PRESET_FILE_ERROR, PRESET_ERROR_IS_FOLDER, "folder");
    filename.reset();
  }
  if (!filename) {
    GErrorPtr error(raw_error);
    show_error(main_window(), name_error_text(error.get(), name_utf8).get());
    preset_list_refresh();
    return;
  }

  bool write = true;
  if (preset_exists(folder, filename.get())) {
    GCharPtr question(g_strdup_printf(_("The name '%s' was already exists. Overwrite?"), name_utf8));
    limit_text(question.get(), OVERWRITE_TEXT_LIMIT);
    write = message_dialog_run(GTK_MESSAGE_QUESTION, GTK_BUTTONS_OK_CANCEL, main_window(),
                               question.get()) == GTK_RESPONSE_OK;
  }

  if (write) {
    gsize length = 0;
    GCharPtr text(settings_to_text(params, &length));
    if (!preset_save(folder, filename.get(), text.get(), length, &raw_error)) {
      GErrorPtr error(raw_error);
      GCharPtr message(g_strdup_printf(_("The preset '%s' could not be saved: %s"), name_utf8,
                                     error ? error->message : ""));
      show_error(main_window(), message.get());
    }
  }
  preset_list_refresh();
}

void preset_delete_selected() {
  const char *folder = preset_folder_ensure();
  if (folder == nullptr) return;
  GtkTreeIter iter;
  GtkTreeView *view = GTK_TREE_VIEW(dialog_widgets.preset_view);
  GCharPtr name = selected_name(view, &iter);
  if (!name) return;

  // The question runs a main loop; keep hold of the row, not of the iterator.
  StoreHold hold;
  GtkTreeModel *model = gtk_tree_view_get_model(view);
  TreePathPtr path(gtk_tree_model_get_path(model, &iter));
  RowRefPtr row(
      gtk_tree_row_reference_new(model, path.get()));

  GCharPtr display(g_filename_display_name(name.get()));
  GCharPtr question(g_strdup_printf(_("Do you want to delete '%s' ?"), display.get()));
  limit_text(question.get(), DELETE_TEXT_LIMIT);
  if (message_dialog_run(GTK_MESSAGE_QUESTION, GTK_BUTTONS_OK_CANCEL, main_window(),
                         question.get()) != GTK_RESPONSE_OK)
    return;

  if (!preset_delete(folder, name.get())) return;
  if (!gtk_tree_row_reference_valid(row.get())) return;
  TreePathPtr row_path(gtk_tree_row_reference_get_path(row.get()));
  GtkTreeModel *row_model = gtk_tree_row_reference_get_model(row.get());
  if (row_model == GTK_TREE_MODEL(dialog_widgets.preset_store) &&
      gtk_tree_model_get_iter(row_model, &iter, row_path.get()))
    gtk_list_store_remove(dialog_widgets.preset_store, &iter);
}

void preset_row_activated(GtkTreeView *view) {
  GtkTreeIter iter;
  GtkTreeModel *model = nullptr;
  GtkTreeSelection *selection = view ? gtk_tree_view_get_selection(view) : nullptr;
  if (selection == nullptr || !gtk_tree_selection_get_selected(selection, &model, &iter)) return;
  TreePathPtr path(gtk_tree_model_get_path(model, &iter));

  // Events are handled between the blinks; the view may be destroyed then.
  g_object_ref(view);
  preset_load_selected();
  for (int i = 0; i < BLINK_STEPS; ++i) {
    selection = gtk_tree_view_get_selection(view);
    if (selection == nullptr) break;
    if (i % 2 == 0)
      gtk_tree_selection_select_path(selection, path.get());
    else
      gtk_tree_selection_unselect_path(selection, path.get());
    pump_events();
    g_usleep(BLINK_PAUSE_US);
  }
  selection = gtk_tree_view_get_selection(view);
  if (selection != nullptr) gtk_tree_selection_select_path(selection, path.get());
  g_object_unref(view);
}
