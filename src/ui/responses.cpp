// The dialog's responses.  In creating mode: Create, Close, Reset, Topmost.
// "Edit Layer" reads the settings kept on the active streak layer into the
// controls; "Apply" then re-renders that layer and "Cancel" gives up, both
// restoring the values the dialog held before.
#include "responses.h"

#include <array>
#include <memory>

#include <glib/gi18n-lib.h>

#include "controls.h"
#include "dialog_widgets.h"
#include "glib_ptr.h"
#include "host_services.h"
#include "image_services.h"
#include "message_dialog.h"
#include "preview.h"
#include "settings_apply.h"
#include "settings_text.h"
#include "tooltips.h"
#include "unit_change.h"

namespace {

// The values the dialog held when editing began; empty in creating mode.
// The settings text holds no samples of an outline that is not ticked, so the
// outlines are kept whole beside it.
GKeyFile *saved_settings = nullptr;
constexpr int OUTLINE_COUNT = 6;
std::unique_ptr<std::array<FreehandOutline, OUTLINE_COUNT>> saved_outlines;

constexpr FreehandOutline EffectParams::*OUTLINES[OUTLINE_COUNT] = {
    &EffectParams::radiation_in_freehand, &EffectParams::radiation_out_freehand,
    &EffectParams::parallel_in_freehand,  &EffectParams::parallel_out_freehand,
    &EffectParams::path_in_freehand,      &EffectParams::path_out_freehand};

void save_outlines(const EffectParams *params) {
  saved_outlines = std::make_unique<std::array<FreehandOutline, OUTLINE_COUNT>>();
  for (int i = 0; i < OUTLINE_COUNT; ++i) (*saved_outlines)[i] = params->*OUTLINES[i];
}

void restore_outlines(EffectParams *params) {
  if (!saved_outlines) return;
  for (int i = 0; i < OUTLINE_COUNT; ++i) params->*OUTLINES[i] = (*saved_outlines)[i];
  saved_outlines.reset();
}

// Create or Close has ended the dialog; whoever runs it destroys it.
bool dialog_ended = false;

void discard_saved_settings() {
  if (saved_settings) g_key_file_free(saved_settings);
  saved_settings = nullptr;
  saved_outlines.reset();
}

void restore_saved_settings(EffectParams *params) {
  if (!saved_settings) return;
  // Taken first: applying runs handlers that must not see a half-freed snapshot.
  KeyFilePtr snapshot(saved_settings);
  saved_settings = nullptr;
  settings_apply_key_file(snapshot.get());
  // The check boxes already show the snapshot's flags, which these carry too.
  restore_outlines(params);
  preview_queue_redraw();
}

// Shows one message and returns false when the image (or, editing, the layer)
// that a response would call GIMP for has gone meanwhile; nothing is changed.
bool target_ready(const EffectParams *params) {
  const char *text = nullptr;
  switch (host_target_state(params)) {
    case TargetState::Ready:
      return true;
    case TargetState::ImageGone:
      text = _("The image has been closed. Nothing can be drawn into it; close this dialog.");
      break;
    case TargetState::LayerGone:
      text = _("The layer being edited is no longer in the image. Nothing was changed.");
      break;
  }
  message_dialog_run(GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, nullptr, text);
  return false;
}

void set_status(const char *text) {
  GtkWidget *label = dialog_widgets.status_label;
  if (!label) return;
  gtk_label_set_text(GTK_LABEL(label), text);
  // Ellipsized when the window is narrow: the whole line stays at hand.
  gtk_widget_set_tooltip_text(label, text);
}

// Whether the active layer of the record's image carries streak settings.
bool active_layer_is_streak(const EffectParams *params) {
  if (host_target_state(params) != TargetState::Ready) return false;
  const HostServices &host = host_services();
  if (!host.active_layer_settings) return false;
  gsize length = 0;
  int32_t layer = -1;
  GCharPtr text(host.active_layer_settings(params->image_id, &length, &layer));
  return text != nullptr;
}

void set_button_label(GtkWidget *button, const char *label) {
  if (button) gtk_button_set_label(GTK_BUTTON(button), label);
}

// The preview shows what the lines are drawn for: the edited layer's extent
// while a layer is edited, the work area otherwise.
void show_work_area(const EffectParams *params) {
  const WorkArea area = shown_work_area(params);
  // Editing, the layer is left out of the picture: the new lines are seen on
  // what lies under them, not over the old ones.
  preview_picture_init_area(params->image_id, area,
                            params->edit_mode == EditMode::Replace ? params->drawable_id : -1);
  preview_queue_redraw();
}

void leave_edit_mode(EffectParams *params, GtkWidget *create, GtkWidget *close, GtkWidget *edit) {
  params->edit_mode = EditMode::Create;
  show_work_area(params);  // the layer shows again, as Apply has just drawn it
  set_button_label(create, _("Create"));
  set_button_label(close, _("Close"));
  tooltips_set_edit_mode(create, close, false);
  if (edit) gtk_widget_show(edit);
  responses_update_edit_layer(params);
}

void close_dialog(GtkDialog *dialog, EffectParams *params) {
  gint width = 0, height = 0, x = 0, y = 0;
  gtk_window_get_size(GTK_WINDOW(dialog), &width, &height);
  gtk_window_get_position(GTK_WINDOW(dialog), &x, &y);
  params->window_width = width;
  params->window_height = height;
  params->window_x = x;
  params->window_y = y;
  // Never destroyed here: whatever pressed the button (an accessibility
  // client, say) may still use it after this handler.  The loop that runs the
  // dialog ends, and the dialog is destroyed after it (dialog_run).
  dialog_ended = true;
  if (gtk_main_level() > 0) gtk_main_quit();
}

void enter_edit_mode(EffectParams *params, GtkWidget *create, GtkWidget *close, GtkWidget *edit) {
  if (!target_ready(params)) return;
  gsize length = 0;
  int32_t layer = -1;
  GCharPtr text(
      host_services().active_layer_settings(params->image_id, &length, &layer));
  if (!text) {
    // The active layer changed since the button was last checked.
    if (edit) gtk_widget_set_sensitive(edit, FALSE);
    message_dialog_run(GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, nullptr,
                       _("Active layer is not a Zipstroke Layer!"));
    return;
  }
  // The text may come from someone else's file.  Text that is not a key file
  // at all is refused like an unreadable preset, and the dialog keeps its
  // values; whatever the parser accepts goes through the controls, which
  // clamp it like a preset.
  KeyFilePtr key_file(g_key_file_new());
  GError *error = nullptr;
  if (!g_key_file_load_from_data(key_file.get(), text.get(), length, G_KEY_FILE_NONE, &error)) {
    GCharPtr message(
        g_strdup_printf(_("The settings kept on the active layer cannot be read: %s"),
                        error ? error->message : ""));
    g_clear_error(&error);
    message_dialog_run(GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, nullptr, message.get());
    return;
  }
  discard_saved_settings();
  saved_settings = settings_to_key_file(params);
  save_outlines(params);
  settings_apply_key_file(key_file.get());

  set_button_label(create, _("Apply"));
  set_button_label(close, _("Cancel"));
  tooltips_set_edit_mode(create, close, true);
  if (edit) gtk_widget_hide(edit);
  params->edit_mode = EditMode::Replace;
  params->drawable_id = layer;
  show_work_area(params);
  set_status(_("Editing the active Zipstroke Layer: Apply draws it anew, Cancel leaves it as it was."));
}

}  // namespace

void responses_update_edit_layer(const EffectParams *params) {
  GtkWidget *edit = dialog_widgets.edit_layer_button;
  if (edit && params->edit_mode != EditMode::Replace) gtk_widget_set_sensitive(edit, active_layer_is_streak(params));
}

void responses_reset() {
  discard_saved_settings();
  dialog_ended = false;
}

bool responses_dialog_ended() { return dialog_ended; }

void responses_finish(EffectParams *params) {
  if (saved_settings) {
    // No controls are left: the snapshot goes straight in, by their rules.
    const EffectParams saved = settings_parse_key_file(saved_settings);
    settings_apply_parsed(params, &saved);
    restore_outlines(params);
    discard_saved_settings();
  }
  params->edit_mode = EditMode::Create;
}

void on_dialog_response(GtkDialog *dialog, gint response_id, EffectParams *params) {
  GtkWidget *create = gtk_dialog_get_widget_for_response(dialog, RESPONSE_CREATE);
  GtkWidget *close = gtk_dialog_get_widget_for_response(dialog, RESPONSE_CLOSE);
  GtkWidget *edit = gtk_dialog_get_widget_for_response(dialog, RESPONSE_EDIT_LAYER);
  const bool editing = params->edit_mode == EditMode::Replace;
  // A response that arrives before the loop has ended finds nothing to do.
  if (dialog_ended) return;

  switch (response_id) {
    case RESPONSE_CREATE: {
      if (!target_ready(params)) break;
      const LayerResult result = host_services().render_to_layer(params);
      // "Create" then closes the dialog; "Apply" then ends editing as "Cancel" does.
      if (!editing) {
        close_dialog(dialog, params);
        break;
      }
      restore_saved_settings(params);
      leave_edit_mode(params, create, close, edit);
      set_status(result.status == LayerStatus::Written
                     ? _("Zipstroke Layer updated. The values from before Edit Layer are back.")
                     : _("The Zipstroke Layer was not changed."));
      break;
    }
    case RESPONSE_CLOSE:
      if (editing) {
        restore_saved_settings(params);
        leave_edit_mode(params, create, close, edit);
        set_status(_("Edit Layer cancelled: the Zipstroke Layer is as it was."));
      } else {
        close_dialog(dialog, params);
      }
      break;
    case RESPONSE_EDIT_LAYER:
      if (!editing) enter_edit_mode(params, create, close, edit);
      break;
    case RESPONSE_RESET:
      effect_params_set_defaults(params);
      // The defaults are in pixels: nothing may be converted from the old unit.
      current_unit_set(0);
      sync_widgets_from_params(params);
      preview_queue_redraw();
      break;
    case RESPONSE_TOPMOST: {
      const gboolean active =
          gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(dialog_widgets.topmost_check));
      gtk_window_set_keep_above(GTK_WINDOW(dialog), active);
      params->topmost = active ? 1 : 0;
      break;
    }
    default:
      break;
  }
}
