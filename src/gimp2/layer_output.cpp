// The layer output: the record rendered at full size into a new streak layer
// (or into the layer being re-edited), written to GIMP strip by strip.
#include <algorithm>
#include <memory>
#include <vector>

#include <glib/gi18n-lib.h>
#include <libgimp/gimp.h>

#include "cairo_ptr.h"
#include "services.h"
#include "image_services.h"
#include "layer_bands.h"
#include "layer_buffer.h"
#include "layer_output_text.h"
#include "settings_text.h"
#include "streak_layer.h"

namespace {

// Every GIMP call between start and end becomes one undo step.
class UndoGroup {
 public:
  explicit UndoGroup(gint32 image) : image_(image) { gimp_image_undo_group_start(image_); }
  // The image may have been closed meanwhile.
  ~UndoGroup() {
    if (gimp_image_is_valid(image_)) gimp_image_undo_group_end(image_);
  }
  UndoGroup(const UndoGroup &) = delete;
  UndoGroup &operator=(const UndoGroup &) = delete;

 private:
  gint32 image_;
};

// GIMP's progress bar for layers large enough to take a while.
class Progress {
 public:
  explicit Progress(long pixels) : shown_(pixels >= STREAK_PROGRESS_MIN_PIXELS) {
    if (shown_) gimp_progress_init(_("Drawing Zipstrokes..."));
  }
  ~Progress() {
    if (shown_) gimp_progress_end();
  }
  Progress(const Progress &) = delete;
  Progress &operator=(const Progress &) = delete;
  void update(double fraction) const {
    if (shown_) gimp_progress_update(fraction);
  }

 private:
  bool shown_;
};

// Inserts the new layer directly above the active layer, or at the top of the
// active layer group.  Without an active layer it goes to the top of the stack.
void place_layer(gint32 image, gint32 layer) {
  const gint32 active = gimp_image_get_active_layer(image);
  if (active < 0) {
    gimp_image_insert_layer(image, layer, 0, 0);
  } else if (gimp_item_is_group(active)) {
    gimp_image_insert_layer(image, layer, active, -1);
  } else {
    gimp_image_insert_layer(image, layer, gimp_item_get_parent(active),
                            gimp_image_get_item_position(image, active));
  }
  gimp_image_set_active_layer(image, layer);
}

// The group the new layer goes into: the active layer group itself, or the
// active layer's parent; -1 for the top level.
gint32 new_layer_parent(gint32 image) {
  const gint32 active = gimp_image_get_active_layer(image);
  if (active < 0) return -1;
  if (gimp_item_is_group(active)) return active;
  return gimp_item_get_parent(active);
}

// The first of item and the groups holding it whose contents are locked, or
// -1.  GIMP refuses to draw into a layer under such a lock, but only once
// the layer is in the image, with a calling error for each refused call.
gint32 content_locked(gint32 item) {
  for (int depth = 0; item >= 0 && gimp_item_is_valid(item) && depth < 10000; ++depth) {
    if (gimp_item_get_lock_content(item)) return item;
    item = gimp_item_get_parent(item);
  }
  return -1;
}

// Renders the lines band by band (layer_bands.h) and writes each band into
// the layer's shadow tiles as it arrives, so that no full-size buffer is ever
// held, then merges the shadow so the change can be undone.  The bands are
// drawn on worker threads; every call into GIMP stays on this thread.  On a
// failure nothing is merged: the layer keeps the pixels it had, and the
// message says why.
//
// The image can be closed while the bands are written.  GIMP ends a plug-in
// that writes a tile of a drawable that no longer exists, so the tiles go to
// GIMP only right after the layer is seen to be there: each row of tiles is
// flushed as soon as it is whole (the cache holds two rows, so it never
// writes one back by itself), and the tiles of a layer that has gone are
// never sent.
// The pixel regions and the tile cache of the plug-in are what bound the
// memory of the transfer to a row of tiles; they are deprecated in favour of
// GEGL buffers, whose cache the plug-in does not control.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS
bool write_pixels(gint32 layer, const EffectParams *params, int w, int h, LayerFormat format,
                  const Progress &progress) {
  GimpDrawable *drawable = gimp_drawable_get(layer);
  gimp_tile_cache_ntiles(2 * (static_cast<gulong>(w) / gimp_tile_width() + 1));
  const int tile_rows = static_cast<int>(gimp_tile_height());
  GimpPixelRgn region;
  gimp_pixel_rgn_init(&region, drawable, 0, 0, w, h, TRUE, TRUE);
  const BandStatus status = render_layer_bands(
      params, w, h, format, params->line_color,
      [&](int y0, int rows, const unsigned char *pixels) {
        // The image may have been closed, or the layer deleted, meanwhile.
        if (!gimp_item_is_valid(layer)) return false;
        gimp_pixel_rgn_set_rect(&region, pixels, 0, y0, w, rows);
        const int end = y0 + rows;
        if (end % tile_rows == 0 || end == h) {
          if (!gimp_item_is_valid(layer)) return false;
          gimp_drawable_flush(drawable);
        }
        progress.update(static_cast<double>(end) / h);
        return true;
      });
  if (status == BandStatus::Done) {
    gimp_drawable_flush(drawable);
    gimp_drawable_merge_shadow(layer, TRUE);
    gimp_drawable_update(layer, 0, 0, gimp_drawable_width(layer), gimp_drawable_height(layer));
  }
  // Detaching writes back what is still dirty: not into a layer that has
  // gone (the plug-in is about to end; its cache goes with it).
  if (gimp_item_is_valid(layer)) gimp_drawable_detach(drawable);
  if (status == BandStatus::Done) return true;
  g_message("%s", layer_output_failure_text(status));
  return false;
}
G_GNUC_END_IGNORE_DEPRECATIONS

// The settings text of the record, kept on the layer so it can be edited later.
void attach_settings(gint32 layer, const EffectParams *params) {
  gsize length = 0;
  GCharPtr text(settings_to_text(params, &length));
  if (!text) return;
  GimpParasite *parasite =
      gimp_parasite_new(STREAK_PARASITE_NAME, GIMP_PARASITE_PERSISTENT | GIMP_PARASITE_UNDOABLE,
                        static_cast<guint32>(length), text.get());
  gimp_item_attach_parasite(layer, parasite);
  gimp_parasite_free(parasite);
}

}  // namespace

LayerResult gimp_render_to_layer(const EffectParams *params) {
  const gint32 image = params->image_id;
  // Everything that can refuse is checked before the undo group opens, so a
  // refusal leaves no step behind.  The image or the layer may have gone
  // while the dialog was open.
  if (!gimp_image_is_valid(image)) return {2, -1};
  const bool editing = params->edit_mode != 0;
  gint32 layer = -1;
  WorkArea area{};
  if (editing) {
    layer = params->drawable_id;
    if (!gimp_item_is_valid(layer) || !gimp_item_is_layer(layer) || gimp_item_is_group(layer) ||
        gimp_item_get_image(layer) != image) {
      g_log(nullptr, G_LOG_LEVEL_WARNING, "Error:Failed to create new layer");
      return {2, -1};
    }
    // The layer stays where it is and as large as it is: its own extent is
    // the work area, whatever is selected now, and the lines are drawn for it.
    gint x = 0, y = 0;
    gimp_drawable_offsets(layer, &x, &y);
    area = {x, y, gimp_drawable_width(layer), gimp_drawable_height(layer), false};
  } else {
    area = work_area_of(image);
  }
  const int w = area.width, h = area.height;

  LayerFormat format;
  GimpImageType layer_type;
  switch (gimp_image_base_type(image)) {
    case GIMP_RGB:
      format = LayerFormat::RGBA;
      layer_type = GIMP_RGBA_IMAGE;
      break;
    case GIMP_GRAY:
      format = LayerFormat::GRAYA;
      layer_type = GIMP_GRAYA_IMAGE;
      break;
    default:
      return {3, -1};
  }

  // Refused before anything changes, with one message of our own.
  const gint32 locked = editing ? content_locked(layer) : content_locked(new_layer_parent(image));
  if (locked >= 0) {
    GCharPtr locked_name(gimp_item_get_name(locked));
    GCharPtr text(layer_locked_text(editing, locked_name.get()));
    g_message("%s", text.get());
    return {2, -1};
  }

  const Progress progress(static_cast<long>(w) * h);

  // The settings text goes onto a layer that is not in the image yet: GIMP
  // 2.10 undoes and redoes a parasite of a layer in the image with one undo
  // group end too many (a critical at every undo and redo of the step).  So
  // Create attaches it before inserting the new layer, and Apply puts a copy
  // of the edited layer, carrying the new text, in the edited layer's place;
  // undo and redo then swap whole layers.
  GCharPtr name(make_layer_name());
  const gint32 edited = layer;
  if (!editing) {
    layer = gimp_layer_new(image, name.get(), w, h, layer_type, 100.0, GIMP_NORMAL_MODE);
  } else {
    layer = gimp_layer_copy(edited);
  }
  if (layer < 0) {
    g_log(nullptr, G_LOG_LEVEL_WARNING, "Error:Failed to create new layer");
    return {2, -1};
  }
  attach_settings(layer, params);
  bool drawn = false;
  {
    // Opened once and closed once, on every path from here on.
    const UndoGroup undo(image);
    if (!editing) {
      place_layer(image, layer);
      gimp_layer_set_offsets(layer, area.x1, area.y1);
    } else {
      // The copy goes in above the edited layer; the edited layer leaves only
      // once the copy is drawn.
      gimp_image_insert_layer(image, layer, gimp_item_get_parent(edited),
                              gimp_image_get_item_position(image, edited));
    }
    // The written pixels reach the layer only inside the selection, which in
    // edit mode need not cover the layer at all: none while they go in, the
    // user's own again afterwards.
    gint32 saved_selection = -1;
    if (!gimp_selection_is_empty(image)) {
      saved_selection = gimp_selection_save(image);
      gimp_selection_none(image);
    }
    gimp_layer_add_alpha(layer);
    // A layer that could not be drawn goes again, so a failure leaves no
    // half layer and an edited layer as it was; the undo group holds
    // whatever was done.
    drawn = write_pixels(layer, params, w, h, format, progress);
    if (!drawn) {
      if (gimp_item_is_valid(layer)) gimp_image_remove_layer(image, layer);
    } else if (editing) {
      gimp_image_remove_layer(image, edited);
      gimp_item_set_name(layer, name.get());
      gimp_image_set_active_layer(image, layer);
    }
    if (saved_selection >= 0 && gimp_image_is_valid(image)) {
      gimp_image_select_item(image, GIMP_CHANNEL_OP_REPLACE, saved_selection);
      gimp_image_remove_channel(image, saved_selection);
    }
  }
  // The displays are brought up to date once the step is whole.
  gimp_displays_flush();
  if (!drawn) return {2, -1};
  return {0, layer};
}
