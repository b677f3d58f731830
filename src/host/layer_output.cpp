#include "layer_output.h"

#include <glib/gi18n-lib.h>

#include "glib_ptr.h"
#include "host_calls.h"
#include "image_services.h"
#include "layer_bands.h"
#include "layer_output_text.h"
#include "settings_text.h"
#include "streak_layer.h"

namespace {

// Every GIMP call between start and end becomes one undo step.
class UndoGroup {
 public:
  explicit UndoGroup(int32_t image) : image_(image) { host_undo_group_start(image_); }
  // The image may have been closed meanwhile.
  ~UndoGroup() {
    if (host_image_exists(image_)) host_undo_group_end(image_);
  }
  UndoGroup(const UndoGroup &) = delete;
  UndoGroup &operator=(const UndoGroup &) = delete;

 private:
  int32_t image_;
};

// GIMP's progress bar for layers large enough to take a while.
class Progress {
 public:
  explicit Progress(long pixels) : shown_(pixels >= STREAK_PROGRESS_MIN_PIXELS) {
    if (shown_) host_progress_start(_("Drawing Zipstrokes..."));
  }
  ~Progress() {
    if (shown_) host_progress_end();
  }
  Progress(const Progress &) = delete;
  Progress &operator=(const Progress &) = delete;
  void update(double fraction) const {
    if (shown_) host_progress_update(fraction);
  }

 private:
  bool shown_;
};

constexpr LayerResult FAILED = {LayerStatus::Failed, NO_ID};

void warn_failed() { g_log(nullptr, G_LOG_LEVEL_WARNING, "Error:Failed to create new layer"); }

// Inserts the new layer directly above the current layer, or at the top of
// the current layer group.  Without a current layer it goes to the top of the
// stack.
void place_layer(int32_t image, int32_t layer) {
  const int32_t current = host_current_layer(image);
  if (current == NO_ID)
    host_layer_insert(image, layer, NO_ID, 0);
  else if (host_item_is_group(current))
    host_layer_insert(image, layer, current, -1);
  else
    host_layer_insert(image, layer, host_item_parent(current), host_item_position(image, current));
  host_make_current_layer(image, layer);
}

// The group the new layer goes into: the current layer group itself, or the
// current layer's parent; NO_ID for the top level.
int32_t new_layer_parent(int32_t image) {
  const int32_t current = host_current_layer(image);
  if (current == NO_ID) return NO_ID;
  return host_item_is_group(current) ? current : host_item_parent(current);
}

// The first of item and the groups holding it whose contents are locked, or
// NO_ID.  GIMP refuses to draw into a layer under such a lock, but only once
// the layer is in the image, with a calling error for each refused call.
int32_t content_locked(int32_t item) {
  for (int depth = 0; item != NO_ID && host_item_exists(item) && depth < 10000; ++depth) {
    if (host_item_content_locked(item)) return item;
    item = host_item_parent(item);
  }
  return NO_ID;
}

// Renders the lines band by band (layer_bands.h) and writes each band into
// the layer's shadow as it arrives, so that no full-size buffer is ever held,
// then merges the shadow so the change can be undone.  The bands are drawn
// on worker threads; every call into GIMP stays on this thread.  On a
// failure nothing is merged: the layer keeps the pixels it had, and the
// message says why.
bool write_pixels(int32_t layer, const EffectParams *params, const Resolution &res, int w, int h,
                  LayerFormat format, const Progress &progress) {
  HostPixelWriter *writer = host_pixels_begin(layer, w, h, format);
  const BandStatus status = render_layer_bands(
      params, res, w, h, format, params->line_color,
      [&](int y0, int rows, const unsigned char *pixels) {
        // The image may have been closed, or the layer deleted, meanwhile.
        if (!host_item_exists(layer) || !host_pixels_write(writer, y0, rows, pixels)) return false;
        progress.update(static_cast<double>(y0 + rows) / h);
        return true;
      });
  host_pixels_end(writer, status == BandStatus::Done);
  if (status == BandStatus::Done) return true;
  g_message("%s", layer_output_failure_text(status));
  return false;
}

// The settings text of the record, kept on the layer so it can be edited later.
void attach_settings(int32_t layer, const EffectParams *params) {
  gsize length = 0;
  GCharPtr text(settings_to_text(params, &length));
  if (text) host_item_attach_parasite(layer, STREAK_PARASITE_NAME, text.get(), length);
}

}  // namespace

bool is_editable_layer(int32_t image, int32_t layer) {
  return host_item_exists(layer) && host_item_is_layer(layer) && !host_item_is_group(layer) &&
         host_item_image(layer) == image;
}

LayerResult draw_streak_layer(const EffectParams *params) {
  // Everything that can refuse is checked before the undo group opens, so a
  // refusal leaves no step behind.  The image or the layer may have gone
  // while the dialog was open.
  const int32_t image = params->image_id;
  if (!host_image_exists(image)) return FAILED;
  const bool editing = params->edit_mode == EditMode::Replace;
  const int32_t edited = editing ? params->drawable_id : NO_ID;
  WorkArea area{};
  if (editing) {
    // The layer stays where it is and as large as it is: its own extent is
    // the work area, whatever is selected now, and the lines are drawn for it.
    if (!is_editable_layer(image, edited) ||
        !host_layer_extent(edited, &area.x1, &area.y1, &area.width, &area.height)) {
      warn_failed();
      return FAILED;
    }
  } else {
    area = work_area_of(image);
  }
  const int w = area.width, h = area.height;
  if (w <= 0 || h <= 0) return FAILED;

  LayerFormat format;
  switch (host_image_kind(image)) {
    case ImageKind::Rgb:
      format = LayerFormat::RGBA;
      break;
    case ImageKind::Grey:
      format = LayerFormat::GRAYA;
      break;
    default:
      return {LayerStatus::Unsupported, NO_ID};
  }

  // Refused before anything changes, with one message of our own.
  const int32_t locked = content_locked(editing ? edited : new_layer_parent(image));
  if (locked != NO_ID) {
    GCharPtr locked_name(host_item_name(locked));
    GCharPtr text(layer_locked_text(editing, locked_name.get()));
    g_message("%s", text.get());
    return FAILED;
  }

  const Resolution res = image_resolution(image);
  const Progress progress(static_cast<long>(w) * h);

  // The settings text goes onto a layer that is not in the image yet: GIMP
  // 2.10 undoes and redoes a parasite of a layer in the image with one undo
  // group end too many (a critical at every undo and redo of the step).  So
  // Create attaches it before inserting the new layer, and Apply puts a copy
  // of the edited layer, carrying the new text, in the edited layer's place;
  // undo and redo then swap whole layers.
  GCharPtr name(make_layer_name());
  const int32_t layer =
      editing ? host_layer_copy(edited) : host_layer_new(image, name.get(), w, h, format);
  if (layer == NO_ID) {
    warn_failed();
    return FAILED;
  }
  attach_settings(layer, params);
  bool drawn = false;
  {
    // Opened once and closed once, on every path from here on.
    const UndoGroup undo(image);
    if (!editing) {
      place_layer(image, layer);
      host_layer_set_offsets(layer, area.x1, area.y1);
    } else {
      // The copy goes in above the edited layer; the edited layer leaves only
      // once the copy is drawn.
      host_layer_insert(image, layer, host_item_parent(edited), host_item_position(image, edited));
    }
    // The written pixels reach the layer only inside the selection, which in
    // edit mode need not cover the layer at all: none while they go in, the
    // user's own again afterwards.
    const int32_t saved_selection = host_selection_save_and_clear(image);
    host_layer_add_alpha(layer);
    // A layer that could not be drawn goes again, so a failure leaves no
    // half layer and an edited layer as it was; the undo group holds
    // whatever was done.
    drawn = write_pixels(layer, params, res, w, h, format, progress);
    if (!drawn) {
      if (host_item_exists(layer)) host_layer_remove(image, layer);
    } else if (editing) {
      // The user may have deleted it meanwhile.
      if (host_item_exists(edited)) host_layer_remove(image, edited);
      host_item_set_name(layer, name.get());
      host_make_current_layer(image, layer);
    }
    if (saved_selection != NO_ID && host_image_exists(image))
      host_selection_restore(image, saved_selection);
  }
  // The displays are brought up to date once the step is whole.
  host_displays_flush();
  if (!drawn) return FAILED;
  return {LayerStatus::Written, layer};
}
