// The host calls answered by GIMP 3's libgimp: the ids of the host flow are
// turned into libgimp's objects (owned by libgimp) and back.
#include "host_calls.h"

#include <initializer_list>
#include <memory>

#include <libgimp/gimp.h>

#include "glib_ptr.h"
#include "thumbnail.h"

namespace {

GimpImage *image_of(int32_t id) {
  return id >= 0 && gimp_image_id_is_valid(id) ? gimp_image_get_by_id(id) : nullptr;
}

GimpItem *item_of(int32_t id) {
  return id >= 0 && gimp_item_id_is_valid(id) ? gimp_item_get_by_id(id) : nullptr;
}

GimpLayer *layer_of(int32_t id) {
  GimpItem *item = id >= 0 && gimp_item_id_is_layer(id) ? gimp_item_get_by_id(id) : nullptr;
  return item && GIMP_IS_LAYER(item) ? GIMP_LAYER(item) : nullptr;
}

GimpDrawable *drawable_of(int32_t id) {
  GimpItem *item = item_of(id);
  return item && GIMP_IS_DRAWABLE(item) ? GIMP_DRAWABLE(item) : nullptr;
}

int32_t id_of(GimpItem *item) { return item ? gimp_item_get_id(item) : NO_ID; }

bool encoding_is_one_of(const Babl *format, std::initializer_list<const char *> names) {
  const char *encoding = babl_format_get_encoding(format);
  for (const char *name : names)
    if (g_strcmp0(encoding, name) == 0) return true;
  return false;
}

}  // namespace

bool host_image_exists(int32_t image) { return image_of(image) != nullptr; }

ImageKind host_image_kind(int32_t image) {
  switch (gimp_image_get_base_type(image_of(image))) {
    case GIMP_RGB: return ImageKind::Rgb;
    case GIMP_GRAY: return ImageKind::Grey;
    default: return ImageKind::Other;
  }
}

void host_image_size(int32_t image, int *width, int *height) {
  GimpImage *object = image_of(image);
  *width = gimp_image_get_width(object);
  *height = gimp_image_get_height(object);
}

bool host_image_resolution(int32_t image, double *xres, double *yres) {
  return gimp_image_get_resolution(image_of(image), xres, yres);
}

bool host_selection_bounds(int32_t image, int *x1, int *y1, int *x2, int *y2) {
  GimpImage *object = image_of(image);
  gboolean non_empty = FALSE;
  return !gimp_selection_is_empty(object) &&
         gimp_selection_bounds(object, &non_empty, x1, y1, x2, y2) && non_empty;
}

int32_t host_current_layer(int32_t image) {
  GimpLayer **layers = gimp_image_get_selected_layers(image_of(image));
  const int32_t layer = layers && layers[0] && !layers[1] ? id_of(GIMP_ITEM(layers[0])) : NO_ID;
  g_free(layers);
  return layer;
}

void host_make_current_layer(int32_t image, int32_t layer) {
  const GimpLayer *selected[] = {layer_of(layer), nullptr};
  gimp_image_set_selected_layers(image_of(image), selected);
}

std::vector<int32_t> host_layers_in(int32_t image, int32_t parent) {
  GimpItem **level = parent == NO_ID
                         ? reinterpret_cast<GimpItem **>(gimp_image_get_layers(image_of(image)))
                         : gimp_item_get_children(item_of(parent));
  std::vector<int32_t> layers;
  for (int i = 0; level && level[i]; ++i) layers.push_back(id_of(level[i]));
  g_free(level);
  return layers;
}

int32_t host_image_hidden_copy(int32_t image) {
  GimpImage *copy = gimp_image_duplicate(image_of(image));
  if (!copy) return NO_ID;
  gimp_image_undo_disable(copy);
  return gimp_image_get_id(copy);
}

void host_image_delete(int32_t image) { gimp_image_delete(image_of(image)); }

void host_undo_group_start(int32_t image) { gimp_image_undo_group_start(image_of(image)); }
void host_undo_group_end(int32_t image) { gimp_image_undo_group_end(image_of(image)); }

int32_t host_selection_save_and_clear(int32_t image) {
  GimpImage *object = image_of(image);
  if (gimp_selection_is_empty(object)) return NO_ID;
  GimpChannel *channel = gimp_selection_save(object);
  gimp_selection_none(object);
  return channel ? id_of(GIMP_ITEM(channel)) : NO_ID;
}

void host_selection_restore(int32_t image, int32_t channel) {
  GimpImage *object = image_of(image);
  GimpItem *saved = item_of(channel);
  if (!saved || !GIMP_IS_CHANNEL(saved)) return;
  gimp_image_select_item(object, GIMP_CHANNEL_OP_REPLACE, saved);
  gimp_image_remove_channel(object, GIMP_CHANNEL(saved));
}

void host_displays_flush() { gimp_displays_flush(); }

bool host_item_exists(int32_t item) { return item_of(item) != nullptr; }
bool host_item_is_drawable(int32_t item) { return drawable_of(item) != nullptr; }
bool host_item_is_layer(int32_t item) { return layer_of(item) != nullptr; }
bool host_item_is_group(int32_t item) {
  GimpItem *object = item_of(item);
  return object && gimp_item_is_group(object);
}

int32_t host_item_image(int32_t item) {
  GimpItem *object = item_of(item);
  GimpImage *image = object ? gimp_item_get_image(object) : nullptr;
  return image ? gimp_image_get_id(image) : NO_ID;
}

int32_t host_item_parent(int32_t item) {
  GimpItem *object = item_of(item);
  return object ? id_of(gimp_item_get_parent(object)) : NO_ID;
}

int host_item_position(int32_t image, int32_t item) {
  return gimp_image_get_item_position(image_of(image), item_of(item));
}

bool host_item_content_locked(int32_t item) { return gimp_item_get_lock_content(item_of(item)); }
char *host_item_name(int32_t item) { return gimp_item_get_name(item_of(item)); }
void host_item_set_name(int32_t item, const char *name) { gimp_item_set_name(item_of(item), name); }

bool host_item_set_visible(int32_t item, bool visible) {
  return gimp_item_set_visible(item_of(item), visible);
}

char *host_item_parasite(int32_t item, const char *name, gsize *length) {
  GimpItem *object = item_of(item);
  std::unique_ptr<GimpParasite, FreeWith<gimp_parasite_free>> parasite(
      object ? gimp_item_get_parasite(object, name) : nullptr);
  *length = 0;
  if (!parasite) return nullptr;
  guint32 size = 0;
  const void *data = gimp_parasite_get_data(parasite.get(), &size);
  return text_copy(data, size, length);
}

void host_item_attach_parasite(int32_t item, const char *name, const char *data, gsize length) {
  std::unique_ptr<GimpParasite, FreeWith<gimp_parasite_free>> parasite(
      gimp_parasite_new(name, GIMP_PARASITE_PERSISTENT | GIMP_PARASITE_UNDOABLE,
                        static_cast<guint32>(length), data));
  gimp_item_attach_parasite(item_of(item), parasite.get());
}

bool host_layer_extent(int32_t layer, int *x, int *y, int *width, int *height) {
  GimpDrawable *drawable = drawable_of(layer);
  if (!drawable || !gimp_drawable_get_offsets(drawable, x, y)) return false;
  *width = gimp_drawable_get_width(drawable);
  *height = gimp_drawable_get_height(drawable);
  return true;
}

int32_t host_layer_new(int32_t image, const char *name, int width, int height, LayerFormat format) {
  const GimpImageType type = format == LayerFormat::RGBA ? GIMP_RGBA_IMAGE : GIMP_GRAYA_IMAGE;
  GimpLayer *layer =
      gimp_layer_new(image_of(image), name, width, height, type, 100.0, GIMP_LAYER_MODE_NORMAL);
  return layer ? id_of(GIMP_ITEM(layer)) : NO_ID;
}

int32_t host_layer_copy(int32_t layer) {
  GimpLayer *copy = gimp_layer_copy(layer_of(layer));
  return copy ? id_of(GIMP_ITEM(copy)) : NO_ID;
}

void host_layer_insert(int32_t image, int32_t layer, int32_t parent, int position) {
  gimp_image_insert_layer(image_of(image), layer_of(layer), parent == NO_ID ? nullptr : layer_of(parent),
                          position);
}

void host_layer_remove(int32_t image, int32_t layer) {
  gimp_image_remove_layer(image_of(image), layer_of(layer));
}

void host_layer_set_offsets(int32_t layer, int x, int y) {
  gimp_layer_set_offsets(layer_of(layer), x, y);
}

void host_layer_add_alpha(int32_t layer) { gimp_layer_add_alpha(layer_of(layer)); }

GdkPixbuf *host_visible_picture(int32_t image, int x, int y, int w, int h, int thumb_w,
                                int thumb_h) {
  GimpImage *object = image_of(image);
  GimpLayer *visible = gimp_layer_new_from_visible(object, object, "zipstroke_PREVIEW");
  if (!visible) return nullptr;
  // The bytes, not libgimp's pixbuf: gimp_drawable_get_sub_thumbnail of GIMP
  // 3.0.4 frees its data twice.  They come in the layer's own format: 8-bit
  // non-linear bytes are taken as they are (as GIMP 2.10 sends them), 8-bit
  // linear ones get the sRGB curve here (babl spends some 350 MB finding
  // that conversion), others (16 or 32 bits a channel) are turned into 8-bit
  // non-linear bytes by babl in the image's colour space.
  const Babl *format = gimp_drawable_get_format(GIMP_DRAWABLE(visible));
  const bool grey = gimp_drawable_is_gray(GIMP_DRAWABLE(visible));
  gint actual_w = 0, actual_h = 0, bpp = 0;
  GBytes *bytes = gimp_drawable_get_sub_thumbnail_data(GIMP_DRAWABLE(visible), x, y, w, h, thumb_w,
                                                       thumb_h, &actual_w, &actual_h, &bpp);
  gimp_item_delete(GIMP_ITEM(visible));
  if (!bytes) return nullptr;
  GdkPixbuf *picture = nullptr;
  gsize size = 0;
  const auto *data = static_cast<const guint8 *>(g_bytes_get_data(bytes, &size));
  const long pixels = static_cast<long>(actual_w) * actual_h;
  const bool whole = actual_w > 0 && actual_h > 0 &&
                     bpp == babl_format_get_bytes_per_pixel(format) &&
                     size >= static_cast<gsize>(pixels) * bpp;
  // GIMP 3.2 sends 8-bit non-linear RGBA whatever the layer's format (the
  // running GIMP's library tells its version, not the one built against).
  const bool sent_non_linear = gimp_major_version > 3 || (gimp_major_version == 3 && gimp_minor_version >= 2);
  if (sent_non_linear || encoding_is_one_of(format, {"Y' u8", "Y'A u8", "R'G'B' u8", "R'G'B'A u8"})) {
    picture = thumbnail_to_pixbuf(data, size, actual_w, actual_h, bpp);
  } else if (whole && encoding_is_one_of(format, {"Y u8", "YA u8", "RGB u8", "RGBA u8"})) {
    std::vector<guint8> converted(data, data + static_cast<size_t>(pixels) * bpp);
    linear_u8_to_perceptual(converted.data(), pixels, bpp, babl_format_has_alpha(format));
    picture = thumbnail_to_pixbuf(converted.data(), converted.size(), actual_w, actual_h, bpp);
  } else if (whole) {
    const int out_bpp = grey ? 2 : 4;
    const Babl *out = babl_format_with_space(grey ? "Y'A u8" : "R'G'B'A u8", format);
    std::vector<guint8> converted(static_cast<size_t>(pixels) * out_bpp);
    babl_process(babl_fish(format, out), data, converted.data(), pixels);
    picture = thumbnail_to_pixbuf(converted.data(), converted.size(), actual_w, actual_h, out_bpp);
  }
  g_bytes_unref(bytes);
  return picture;
}

// The layer's shadow buffer, written a band of rows at a time in the byte
// layout of the banded output.  The layout is taken in the layer's own colour
// space, so the bytes land unchanged as in GIMP 2.10 whatever the image's
// profile.  A layer of another precision or curve gets them as floats: from
// 8-bit data babl would build a lookup table of some 350 MB for the
// conversion.  Each band gets a buffer of its own: letting it go sends the
// band's tiles to GIMP and frees them, where one buffer for the whole layer
// would keep every tile in the plug-in's tile cache.
struct HostPixelWriter {
  int32_t layer;
  int width;
  int channels;
  bool direct;
  const Babl *format;
  std::vector<float> floats;
};

HostPixelWriter *host_pixels_begin(int32_t layer, int width, int, LayerFormat format) {
  const Babl *layer_format = gimp_drawable_get_format(drawable_of(layer));
  const char *bytes_name = format == LayerFormat::RGBA ? "R'G'B'A u8" : "Y'A u8";
  const bool direct = g_strcmp0(babl_format_get_encoding(layer_format), bytes_name) == 0;
  const char *name = direct ? bytes_name : format == LayerFormat::RGBA ? "R'G'B'A float" : "Y'A float";
  return new HostPixelWriter{layer, width, layer_format_bpp(format), direct,
                             babl_format_with_space(name, layer_format), {}};
}

bool host_pixels_write(HostPixelWriter *writer, int y0, int rows, const unsigned char *pixels) {
  GimpDrawable *drawable = drawable_of(writer->layer);
  if (!drawable) return false;
  const void *data = pixels;
  if (!writer->direct) {
    writer->floats.resize(static_cast<size_t>(rows) * writer->width * writer->channels);
    for (size_t i = 0; i < writer->floats.size(); ++i) writer->floats[i] = pixels[i] / 255.0f;
    data = writer->floats.data();
  }
  GeglBuffer *buffer = gimp_drawable_get_shadow_buffer(drawable);
  const GeglRectangle rect = {0, y0, writer->width, rows};
  gegl_buffer_set(buffer, &rect, 0, writer->format, data, GEGL_AUTO_ROWSTRIDE);
  g_object_unref(buffer);
  return true;
}

void host_pixels_end(HostPixelWriter *writer, bool merge) {
  GimpDrawable *drawable = drawable_of(writer->layer);
  if (merge && drawable) {
    gimp_drawable_merge_shadow(drawable, TRUE);
    gimp_drawable_update(drawable, 0, 0, gimp_drawable_get_width(drawable),
                         gimp_drawable_get_height(drawable));
  }
  delete writer;
}

std::vector<int32_t> host_image_paths(int32_t image, PathChoice which) {
  GimpImage *object = image_of(image);
  if (object == nullptr) return {};
  GimpPath **paths = which == PathChoice::Selected ? gimp_image_get_selected_paths(object)
                                                  : gimp_image_get_paths(object);
  std::vector<int32_t> ids;
  for (GimpPath **p = paths; p && *p; ++p) ids.push_back(id_of(GIMP_ITEM(*p)));
  g_free(paths);
  return ids;
}

std::vector<int32_t> host_path_strokes(int32_t path) {
  GimpItem *item = item_of(path);
  if (item == nullptr || !GIMP_IS_PATH(item)) return {};
  gsize n = 0;
  return taken_array(gimp_path_get_strokes(GIMP_PATH(item), &n), n);
}

std::vector<double> host_stroke_polyline(int32_t path, int32_t stroke, double precision) {
  GimpItem *item = item_of(path);
  if (item == nullptr || !GIMP_IS_PATH(item)) return {};
  gsize n = 0;
  gboolean closed = FALSE;
  return taken_array(gimp_path_stroke_interpolate(GIMP_PATH(item), stroke, precision, &n, &closed), n);
}

void host_progress_start(const char *text) { gimp_progress_init(text); }
void host_progress_update(double fraction) { gimp_progress_update(fraction); }
void host_progress_end() { gimp_progress_end(); }
