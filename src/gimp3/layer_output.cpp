// The layer output: the record rendered at full size into a new streak layer
// (or into the layer being re-edited), written to GIMP 3 through the layer's
// GEGL shadow buffer band by band as the bands are drawn.
#include <memory>
#include <vector>

#include <glib/gi18n-lib.h>

#include "glib_ptr.h"
#include "image_services.h"
#include "layer_bands.h"
#include "layer_buffer.h"
#include "layer_output_text.h"
#include "services.h"
#include "settings_text.h"
#include "streak_layer.h"

namespace {

// Every GIMP call between start and end becomes one undo step.
class UndoGroup {
 public:
  explicit UndoGroup(GimpImage *image) : image_(image) { gimp_image_undo_group_start(image_); }
  // The image may have been closed meanwhile.
  ~UndoGroup() {
    if (gimp_image_is_valid(image_)) gimp_image_undo_group_end(image_);
  }
  UndoGroup(const UndoGroup &) = delete;
  UndoGroup &operator=(const UndoGroup &) = delete;

 private:
  GimpImage *image_;
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

// Inserts the new layer directly above the selected layer, or at the top of
// the selected layer group.  Without one selected layer it goes to the top of
// the stack.
void place_layer(GimpImage *image, GimpLayer *layer) {
  GimpLayer *active = selected_layer(image);
  if (!active) {
    gimp_image_insert_layer(image, layer, nullptr, 0);
  } else if (gimp_item_is_group(GIMP_ITEM(active))) {
    gimp_image_insert_layer(image, layer, active, -1);
  } else {
    GimpItem *parent = gimp_item_get_parent(GIMP_ITEM(active));
    gimp_image_insert_layer(image, layer, parent ? GIMP_LAYER(parent) : nullptr,
                            gimp_image_get_item_position(image, GIMP_ITEM(active)));
  }
  const GimpLayer *selected[] = {layer, nullptr};
  gimp_image_set_selected_layers(image, selected);
}

// The group the new layer goes into: the selected layer group itself, or the
// selected layer's parent; nullptr for the top level.
GimpItem *new_layer_parent(GimpImage *image) {
  GimpLayer *active = selected_layer(image);
  if (!active) return nullptr;
  if (gimp_item_is_group(GIMP_ITEM(active))) return GIMP_ITEM(active);
  return gimp_item_get_parent(GIMP_ITEM(active));
}

// The first of item and the groups holding it whose contents are locked, or
// nullptr.  GIMP refuses to draw into a layer under such a lock, but only
// once the layer is in the image, with a calling error for each refused call.
GimpItem *content_locked(GimpItem *item) {
  for (int depth = 0; item && depth < 10000; ++depth) {
    if (gimp_item_get_lock_content(item)) return item;
    item = gimp_item_get_parent(item);
  }
  return nullptr;
}

// The layer's shadow buffer, written a band of rows at a time in the byte
// layout of the banded output.  The layout is taken in the layer's own colour
// space, so the bytes land unchanged as in GIMP 2.10 whatever the image's
// profile.  A layer of another precision or curve gets them as floats: from
// 8-bit data babl would build a lookup table of some 350 MB for the
// conversion.
class ShadowWriter {
 public:
  // Bands of `width` pixels, the width of the rendered work area.
  ShadowWriter(GimpDrawable *drawable, LayerFormat format, int width)
      : drawable_(drawable), channels_(layer_format_bpp(format)), width_(width) {
    const Babl *layer_format = gimp_drawable_get_format(drawable);
    const char *bytes_name = format == LayerFormat::RGBA ? "R'G'B'A u8" : "Y'A u8";
    direct_ = g_strcmp0(babl_format_get_encoding(layer_format), bytes_name) == 0;
    const char *name = direct_ ? bytes_name : format == LayerFormat::RGBA ? "R'G'B'A float" : "Y'A float";
    format_ = babl_format_with_space(name, layer_format);
  }

  // Rows y0 .. y0 + rows - 1, rows * width * bpp bytes without gaps.  Each
  // band gets a buffer of its own: letting it go sends the band's tiles to
  // GIMP and frees them, where one buffer for the whole layer would keep
  // every tile in the plug-in's tile cache.
  void write(int y0, int rows, const guchar *bytes) {
    const void *data = bytes;
    if (!direct_) {
      floats_.resize(static_cast<size_t>(rows) * width_ * channels_);
      for (size_t i = 0; i < floats_.size(); ++i) floats_[i] = bytes[i] / 255.0f;
      data = floats_.data();
    }
    GeglBuffer *buffer = gimp_drawable_get_shadow_buffer(drawable_);
    const GeglRectangle rect = {0, y0, width_, rows};
    gegl_buffer_set(buffer, &rect, 0, format_, data, GEGL_AUTO_ROWSTRIDE);
    g_object_unref(buffer);
  }

 private:
  GimpDrawable *drawable_;
  int channels_;
  int width_;
  bool direct_;
  const Babl *format_;
  std::vector<float> floats_;
};

// Renders the lines band by band (layer_bands.h) and writes each band into
// the layer's shadow buffer as it arrives, so that no full-size buffer is
// ever held, then merges the shadow so the change can be undone.  The bands
// are drawn on worker threads; every call into GIMP stays on this thread.  On
// a failure nothing is merged: the layer keeps the pixels it had, and the
// message says why.
bool write_pixels(GimpLayer *layer, const EffectParams *params, int w, int h, LayerFormat format,
                  const Progress &progress) {
  GimpDrawable *drawable = GIMP_DRAWABLE(layer);
  ShadowWriter writer(drawable, format, w);
  const BandStatus status = render_layer_bands(
      params, w, h, format, params->line_color,
      [&](int y0, int rows, const unsigned char *pixels) {
        // The image may have been closed, or the layer deleted, meanwhile.
        if (!gimp_item_is_valid(GIMP_ITEM(layer))) return false;
        writer.write(y0, rows, pixels);
        progress.update(static_cast<double>(y0 + rows) / h);
        return true;
      });
  if (status != BandStatus::Done) {
    g_message("%s", layer_output_failure_text(status));
    return false;
  }
  gimp_drawable_merge_shadow(drawable, TRUE);
  gimp_drawable_update(drawable, 0, 0, gimp_drawable_get_width(drawable),
                       gimp_drawable_get_height(drawable));
  return true;
}

// The settings text of the record, kept on the layer so it can be edited later.
void attach_settings(GimpLayer *layer, const EffectParams *params) {
  gsize length = 0;
  GCharPtr text(settings_to_text(params, &length));
  if (!text) return;
  GimpParasite *parasite =
      gimp_parasite_new(STREAK_PARASITE_NAME, GIMP_PARASITE_PERSISTENT | GIMP_PARASITE_UNDOABLE,
                        static_cast<guint32>(length), text.get());
  gimp_item_attach_parasite(GIMP_ITEM(layer), parasite);
  gimp_parasite_free(parasite);
}

void warn_failed() { g_log(nullptr, G_LOG_LEVEL_WARNING, "Error:Failed to create new layer"); }

}  // namespace

LayerResult gimp_render_to_layer(const EffectParams *params) {
  // Everything that can refuse is checked before the undo group opens, so a
  // refusal leaves no step behind.  The image or the layer may have gone
  // while the dialog was open.
  GimpImage *image = image_of(params->image_id);
  if (!image) return {2, -1};
  const bool editing = params->edit_mode != 0;
  GimpLayer *edited = nullptr;
  WorkArea area{};
  if (editing) {
    edited = editable_layer(params->image_id, params->drawable_id);
    if (!edited) {
      warn_failed();
      return {2, -1};
    }
    // The layer stays where it is and as large as it is: its own extent is
    // the work area, whatever is selected now, and the lines are drawn for it.
    gint x = 0, y = 0;
    gimp_drawable_get_offsets(GIMP_DRAWABLE(edited), &x, &y);
    area = {x, y, gimp_drawable_get_width(GIMP_DRAWABLE(edited)),
            gimp_drawable_get_height(GIMP_DRAWABLE(edited)), false};
  } else {
    area = work_area_of(params->image_id);
  }
  const int w = area.width, h = area.height;

  LayerFormat format;
  GimpImageType layer_type;
  switch (gimp_image_get_base_type(image)) {
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
  GimpItem *locked =
      editing ? content_locked(GIMP_ITEM(edited)) : content_locked(new_layer_parent(image));
  if (locked) {
    GCharPtr locked_name(gimp_item_get_name(locked));
    GCharPtr text(layer_locked_text(editing, locked_name.get()));
    g_message("%s", text.get());
    return {2, -1};
  }

  const Progress progress(static_cast<long>(w) * h);

  // As in GIMP 2.10 the settings text goes onto a layer that is not in the
  // image yet: Create attaches it before inserting the new layer, and Apply
  // puts a copy of the edited layer, carrying the new text, in the edited
  // layer's place, so undo and redo swap whole layers.
  GCharPtr name(make_layer_name());
  GimpLayer *layer = editing ? gimp_layer_copy(edited)
                             : gimp_layer_new(image, name.get(), w, h, layer_type, 100.0,
                                              GIMP_LAYER_MODE_NORMAL);
  if (!layer) {
    warn_failed();
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
      GimpItem *parent = gimp_item_get_parent(GIMP_ITEM(edited));
      gimp_image_insert_layer(image, layer, parent ? GIMP_LAYER(parent) : nullptr,
                              gimp_image_get_item_position(image, GIMP_ITEM(edited)));
    }
    // The written pixels reach the layer only inside the selection, which in
    // edit mode need not cover the layer at all: none while they go in, the
    // user's own again afterwards.
    GimpChannel *saved_selection = nullptr;
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
      if (gimp_item_is_valid(GIMP_ITEM(layer))) gimp_image_remove_layer(image, layer);
    } else if (editing) {
      // The user may have deleted it meanwhile.
      if (gimp_item_is_valid(GIMP_ITEM(edited))) gimp_image_remove_layer(image, edited);
      gimp_item_set_name(GIMP_ITEM(layer), name.get());
      const GimpLayer *selected[] = {layer, nullptr};
      gimp_image_set_selected_layers(image, selected);
    }
    if (saved_selection && gimp_image_is_valid(image)) {
      gimp_image_select_item(image, GIMP_CHANNEL_OP_REPLACE, GIMP_ITEM(saved_selection));
      gimp_image_remove_channel(image, saved_selection);
    }
  }
  // The displays are brought up to date once the step is whole.
  gimp_displays_flush();
  if (!drawn) return {2, -1};
  return {0, gimp_item_get_id(GIMP_ITEM(layer))};
}
