// The host calls answered by GIMP 2.10's libgimp, whose images and items are
// their ids.
#include "host_calls.h"

#include <memory>

#include <libgimp/gimp.h>

#include "glib_ptr.h"

bool host_image_exists(int32_t image) { return image >= 0 && gimp_image_is_valid(image); }

ImageKind host_image_kind(int32_t image) {
  switch (gimp_image_base_type(image)) {
    case GIMP_RGB: return ImageKind::Rgb;
    case GIMP_GRAY: return ImageKind::Grey;
    default: return ImageKind::Other;
  }
}

void host_image_size(int32_t image, int *width, int *height) {
  *width = gimp_image_width(image);
  *height = gimp_image_height(image);
}

bool host_image_resolution(int32_t image, double *xres, double *yres) {
  return gimp_image_get_resolution(image, xres, yres);
}

bool host_selection_bounds(int32_t image, int *x1, int *y1, int *x2, int *y2) {
  gboolean non_empty = FALSE;
  return !gimp_selection_is_empty(image) &&
         gimp_selection_bounds(image, &non_empty, x1, y1, x2, y2) && non_empty;
}

int32_t host_current_layer(int32_t image) {
  const gint32 layer = gimp_image_get_active_layer(image);
  return layer >= 0 ? layer : NO_ID;
}

void host_make_current_layer(int32_t image, int32_t layer) {
  gimp_image_set_active_layer(image, layer);
}

std::vector<int32_t> host_layers_in(int32_t image, int32_t parent) {
  gint n = 0;
  gint *ids = parent == NO_ID ? gimp_image_get_layers(image, &n) : gimp_item_get_children(parent, &n);
  return taken_array(ids, n);
}

int32_t host_image_hidden_copy(int32_t image) {
  const gint32 copy = gimp_image_duplicate(image);
  if (copy < 0) return NO_ID;
  gimp_image_undo_disable(copy);
  return copy;
}

void host_image_delete(int32_t image) { gimp_image_delete(image); }

void host_undo_group_start(int32_t image) { gimp_image_undo_group_start(image); }
void host_undo_group_end(int32_t image) { gimp_image_undo_group_end(image); }

int32_t host_selection_save_and_clear(int32_t image) {
  if (gimp_selection_is_empty(image)) return NO_ID;
  const gint32 channel = gimp_selection_save(image);
  gimp_selection_none(image);
  return channel >= 0 ? channel : NO_ID;
}

void host_selection_restore(int32_t image, int32_t channel) {
  gimp_image_select_item(image, GIMP_CHANNEL_OP_REPLACE, channel);
  gimp_image_remove_channel(image, channel);
}

void host_displays_flush() { gimp_displays_flush(); }

bool host_item_exists(int32_t item) { return item >= 0 && gimp_item_is_valid(item); }
bool host_item_is_drawable(int32_t item) { return gimp_item_is_drawable(item); }
bool host_item_is_layer(int32_t item) { return gimp_item_is_layer(item); }
bool host_item_is_group(int32_t item) { return gimp_item_is_group(item); }

int32_t host_item_image(int32_t item) {
  const gint32 image = gimp_item_get_image(item);
  return image >= 0 ? image : NO_ID;
}

int32_t host_item_parent(int32_t item) {
  const gint32 parent = gimp_item_get_parent(item);
  return parent > 0 ? parent : NO_ID;
}

int host_item_position(int32_t image, int32_t item) {
  return gimp_image_get_item_position(image, item);
}

bool host_item_content_locked(int32_t item) { return gimp_item_get_lock_content(item); }
char *host_item_name(int32_t item) { return gimp_item_get_name(item); }
void host_item_set_name(int32_t item, const char *name) { gimp_item_set_name(item, name); }
bool host_item_set_visible(int32_t item, bool visible) { return gimp_item_set_visible(item, visible); }

char *host_item_parasite(int32_t item, const char *name, gsize *length) {
  std::unique_ptr<GimpParasite, FreeWith<gimp_parasite_free>> parasite(
      gimp_item_get_parasite(item, name));
  *length = 0;
  if (!parasite) return nullptr;
  return text_copy(gimp_parasite_data(parasite.get()), gimp_parasite_data_size(parasite.get()),
                   length);
}

void host_item_attach_parasite(int32_t item, const char *name, const char *data, gsize length) {
  GimpParasite *parasite = gimp_parasite_new(
      name, GIMP_PARASITE_PERSISTENT | GIMP_PARASITE_UNDOABLE, static_cast<guint32>(length), data);
  gimp_item_attach_parasite(item, parasite);
  gimp_parasite_free(parasite);
}

bool host_layer_extent(int32_t layer, int *x, int *y, int *width, int *height) {
  if (!gimp_drawable_offsets(layer, x, y)) return false;
  *width = gimp_drawable_width(layer);
  *height = gimp_drawable_height(layer);
  return true;
}

int32_t host_layer_new(int32_t image, const char *name, int width, int height, LayerFormat format) {
  const GimpImageType type = format == LayerFormat::RGBA ? GIMP_RGBA_IMAGE : GIMP_GRAYA_IMAGE;
  const gint32 layer = gimp_layer_new(image, name, width, height, type, 100.0, GIMP_NORMAL_MODE);
  return layer >= 0 ? layer : NO_ID;
}

int32_t host_layer_copy(int32_t layer) {
  const gint32 copy = gimp_layer_copy(layer);
  return copy >= 0 ? copy : NO_ID;
}

void host_layer_insert(int32_t image, int32_t layer, int32_t parent, int position) {
  gimp_image_insert_layer(image, layer, parent == NO_ID ? 0 : parent, position);
}

void host_layer_remove(int32_t image, int32_t layer) { gimp_image_remove_layer(image, layer); }
void host_layer_set_offsets(int32_t layer, int x, int y) { gimp_layer_set_offsets(layer, x, y); }
void host_layer_add_alpha(int32_t layer) { gimp_layer_add_alpha(layer); }

GdkPixbuf *host_visible_picture(int32_t image, int x, int y, int w, int h, int thumb_w,
                                int thumb_h) {
  const gint32 visible = gimp_layer_new_from_visible(image, image, "zipstroke_PREVIEW");
  if (visible < 0) return nullptr;
  GdkPixbuf *picture = gimp_drawable_get_sub_thumbnail(visible, x, y, w, h, thumb_w, thumb_h,
                                                       GIMP_PIXBUF_LARGE_CHECKS);
  gimp_item_delete(visible);
  return picture;
}

// The image can be closed while the bands are written.  GIMP ends a plug-in
// that writes a tile of a drawable that no longer exists, so the tiles go to
// GIMP only right after the layer is seen to be there: each row of tiles is
// flushed as soon as it is whole (the cache holds two rows, so it never
// writes one back by itself), and the tiles of a layer that has gone are
// never sent.  The pixel regions and the tile cache of the plug-in are what
// bound the memory of the transfer to a row of tiles; they are deprecated in
// favour of GEGL buffers, whose cache the plug-in does not control.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS
struct HostPixelWriter {
  gint32 layer;
  int height;
  int tile_rows;
  GimpDrawable *drawable;
  GimpPixelRgn region;
};

HostPixelWriter *host_pixels_begin(int32_t layer, int width, int height, LayerFormat) {
  auto *writer = new HostPixelWriter{layer, height, static_cast<int>(gimp_tile_height()),
                                     gimp_drawable_get(layer), {}};
  gimp_tile_cache_ntiles(2 * (static_cast<gulong>(width) / gimp_tile_width() + 1));
  gimp_pixel_rgn_init(&writer->region, writer->drawable, 0, 0, width, height, TRUE, TRUE);
  return writer;
}

bool host_pixels_write(HostPixelWriter *writer, int y0, int rows, const unsigned char *pixels) {
  gimp_pixel_rgn_set_rect(&writer->region, pixels, 0, y0, writer->region.w, rows);
  const int end = y0 + rows;
  if (end % writer->tile_rows == 0 || end == writer->height) {
    if (!gimp_item_is_valid(writer->layer)) return false;
    gimp_drawable_flush(writer->drawable);
  }
  return true;
}

void host_pixels_end(HostPixelWriter *writer, bool merge) {
  const gint32 layer = writer->layer;
  if (merge) {
    gimp_drawable_flush(writer->drawable);
    gimp_drawable_merge_shadow(layer, TRUE);
    gimp_drawable_update(layer, 0, 0, gimp_drawable_width(layer), gimp_drawable_height(layer));
  }
  // Detaching writes back what is still dirty: not into a layer that has
  // gone (the plug-in is about to end; its cache goes with it).
  if (gimp_item_is_valid(layer)) gimp_drawable_detach(writer->drawable);
  delete writer;
}
G_GNUC_END_IGNORE_DEPRECATIONS

std::vector<int32_t> host_image_paths(int32_t image, PathChoice which) {
  if (which == PathChoice::Selected) {
    const gint32 active = gimp_image_get_active_vectors(image);
    return active >= 0 ? std::vector<int32_t>{active} : std::vector<int32_t>{};
  }
  gint n = 0;
  return taken_array(gimp_image_get_vectors(image, &n), n);
}

std::vector<int32_t> host_path_strokes(int32_t path) {
  gint n = 0;
  return taken_array(gimp_vectors_get_strokes(path, &n), n);
}

std::vector<double> host_stroke_polyline(int32_t path, int32_t stroke, double precision) {
  gint n = 0;
  gboolean closed = FALSE;
  return taken_array(gimp_vectors_stroke_interpolate(path, stroke, precision, &n, &closed), n);
}

void host_progress_start(const char *text) { gimp_progress_init(text); }
void host_progress_update(double fraction) { gimp_progress_update(fraction); }
void host_progress_end() { gimp_progress_end(); }
