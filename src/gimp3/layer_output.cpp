// The layer output: the record rendered at full size into a new streak layer
// (or into the layer being re-edited), written to GIMP 3 through the layer's
// GEGL buffer strip by strip.
#include <algorithm>
#include <memory>
#include <vector>

#include <glib/gi18n-lib.h>

#include "cairo_ptr.h"
#include "glib_ptr.h"
#include "image_services.h"
#include "layer_buffer.h"
#include "services.h"
#include "settings_text.h"
#include "streak_layer.h"

namespace {

// Every GIMP call between start and end becomes one undo step.
class UndoGroup {
 public:
  explicit UndoGroup(GimpImage *image) : image_(image) { gimp_image_undo_group_start(image_); }
  ~UndoGroup() { gimp_image_undo_group_end(image_); }
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

// The layer's shadow buffer, written a strip of rows at a time in the byte
// layout of coverage_to_pixels.  The layout is taken in the layer's own colour
// space, so the bytes land unchanged as in GIMP 2.10 whatever the image's
// profile; an image of higher precision gets them converted.
class ShadowWriter {
 public:
  ShadowWriter(GimpDrawable *drawable, LayerFormat format)
      : drawable_(drawable),
        format_(babl_format_with_space(format == LayerFormat::RGBA ? "R'G'B'A u8" : "Y'A u8",
                                       gimp_drawable_get_format(drawable))),
        width_(gimp_drawable_get_width(drawable)) {}

  // Rows y0 .. y0 + rows - 1, rows * width * bpp bytes without gaps.  Each
  // strip gets a buffer of its own: letting it go sends the strip's tiles to
  // GIMP and frees them, where one buffer for the whole layer would keep
  // every tile in the plug-in's tile cache (4 bytes a pixel more).
  void write(int y0, int rows, const guchar *bytes) const {
    GeglBuffer *buffer = gimp_drawable_get_shadow_buffer(drawable_);
    const GeglRectangle rect = {0, y0, width_, rows};
    gegl_buffer_set(buffer, &rect, 0, format_, bytes, GEGL_AUTO_ROWSTRIDE);
    g_object_unref(buffer);
  }

 private:
  GimpDrawable *drawable_;
  const Babl *format_;
  int width_;
};

// Writes the coverage into the layer's shadow buffer a strip at a time, so
// that no full-size pixel buffer is ever held, then merges the shadow so the
// change can be undone.
void write_pixels(GimpDrawable *drawable, cairo_surface_t *coverage, int w, int h,
                  LayerFormat format, const ColorRGBA &color, const Progress &progress) {
  const int strip = std::max<int>(1, gimp_tile_height());
  std::vector<guchar> rows(static_cast<size_t>(w) * layer_format_bpp(format) * std::min(strip, h));
  const ShadowWriter writer(drawable, format);
  for (int y0 = 0; y0 < h; y0 += strip) {
    const int n = std::min(strip, h - y0);
    coverage_to_pixels(coverage, y0, n, format, color, rows.data());
    writer.write(y0, n, rows.data());
    progress.update(0.5 + 0.5 * (y0 + n) / h);
  }
  gimp_drawable_merge_shadow(drawable, TRUE);
  gimp_drawable_update(drawable, 0, 0, gimp_drawable_get_width(drawable),
                       gimp_drawable_get_height(drawable));
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

LayerResult failed() {
  g_log(nullptr, G_LOG_LEVEL_WARNING, "Error:Failed to create new layer");
  return {2, -1};
}

}  // namespace

LayerResult gimp_render_to_layer(const EffectParams *params) {
  // The image may have been closed while the dialog was open.
  GimpImage *image = image_of(params->image_id);
  if (!image) return failed();
  const WorkArea area = work_area_of(params->image_id);
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

  const Progress progress(static_cast<long>(w) * h);
  SurfacePtr coverage(render_coverage(params, w, h));
  if (!coverage) return failed();
  progress.update(0.5);

  GCharPtr name(make_layer_name());
  UndoGroup undo(image);
  GimpLayer *layer;
  GimpChannel *saved_selection = nullptr;
  if (params->edit_mode == 0) {
    layer = gimp_layer_new(image, name.get(), w, h, layer_type, 100.0, GIMP_LAYER_MODE_NORMAL);
    if (!layer) return failed();
    place_layer(image, layer);
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (area.has_selection &&
        image_services().get_selection_bounds(params->image_id, &x1, &y1, &x2, &y2)) {
      gimp_layer_set_offsets(layer, x2 - w, y1);
      saved_selection = gimp_selection_save(image);
      gimp_selection_none(image);
    } else {
      gimp_layer_set_offsets(layer, 0, 0);
    }
  } else {
    layer = layer_of(params->drawable_id);
    // The layer may have been deleted while the dialog was open.
    if (!layer || gimp_item_is_group(GIMP_ITEM(layer)) || gimp_image_get_id(gimp_item_get_image(GIMP_ITEM(layer))) != params->image_id)
      return failed();
    gimp_item_set_name(GIMP_ITEM(layer), name.get());
    gimp_layer_resize(layer, w, h, w - gimp_drawable_get_width(GIMP_DRAWABLE(layer)), 0);
    // The lines are measured from the work area's corner, so the layer must
    // cover the work area; a layer made for another area would otherwise show
    // them shifted.  For a layer made for the same area this changes nothing.
    gimp_layer_set_offsets(layer, area.x1, area.y1);
  }
  gimp_layer_add_alpha(layer);
  write_pixels(GIMP_DRAWABLE(layer), coverage.get(), w, h, format, params->line_color, progress);
  coverage.reset();
  attach_settings(layer, params);
  gimp_displays_flush();

  if (saved_selection) {
    gimp_image_select_item(image, GIMP_CHANNEL_OP_REPLACE, GIMP_ITEM(saved_selection));
    gimp_image_remove_channel(image, saved_selection);
  }
  return {0, gimp_item_get_id(GIMP_ITEM(layer))};
}
