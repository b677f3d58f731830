// ImageServices and HostServices served by the running GIMP 3.
#include "services.h"

#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "glib_ptr.h"
#include "image_services.h"
#include "streak_layer.h"
#include "thumbnail.h"

namespace {

// The last answers about the image, for the questions asked after it has
// been closed: a call for a closed image would only make GIMP report a
// calling error, once per call.
struct KnownImage {
  int32_t id = -1;
  int width = 0, height = 0;
  double xres = 72.0, yres = 72.0;
};
KnownImage known;

GimpImage *alive_image(int32_t image_id) {
  GimpImage *image = image_of(image_id);
  if (image && known.id != image_id) {
    known = KnownImage{};
    known.id = image_id;
  }
  return image;
}

void gimp_get_size(int32_t image_id, int *width, int *height) {
  if (GimpImage *image = alive_image(image_id)) {
    known.width = gimp_image_get_width(image);
    known.height = gimp_image_get_height(image);
  }
  *width = known.width;
  *height = known.height;
}

bool gimp_get_selection_bounds(int32_t image_id, int *x1, int *y1, int *x2, int *y2) {
  GimpImage *image = alive_image(image_id);
  if (!image || gimp_selection_is_empty(image)) return false;
  gboolean non_empty = FALSE;
  gint a = 0, b = 0, c = 0, d = 0;
  if (!gimp_selection_bounds(image, &non_empty, &a, &b, &c, &d) || c <= a || d <= b)
    return false;
  *x1 = a;
  *y1 = b;
  *x2 = c;
  *y2 = d;
  return true;
}

void gimp_get_resolution(int32_t image_id, double *xres, double *yres) {
  if (GimpImage *image = alive_image(image_id)) {
    gdouble x = 72.0, y = 72.0;
    if (gimp_image_get_resolution(image, &x, &y)) {
      known.xres = x;
      known.yres = y;
    }
  }
  *xres = known.xres;
  *yres = known.yres;
}

TargetState gimp_target_state(const EffectParams *params) {
  if (!image_of(params->image_id)) return TargetState::ImageGone;
  if (params->edit_mode == 1 && !editable_layer(params->image_id, params->drawable_id))
    return TargetState::LayerGone;
  return TargetState::Ready;
}

bool gimp_layer_extent(int32_t layer_id, int *x, int *y, int *width, int *height) {
  GimpLayer *layer = layer_of(layer_id);
  if (!layer) return false;
  gint ox = 0, oy = 0;
  if (!gimp_drawable_get_offsets(GIMP_DRAWABLE(layer), &ox, &oy)) return false;
  *x = ox;
  *y = oy;
  *width = gimp_drawable_get_width(GIMP_DRAWABLE(layer));
  *height = gimp_drawable_get_height(GIMP_DRAWABLE(layer));
  return *width > 0 && *height > 0;
}

bool encoding_is_one_of(const Babl *format, std::initializer_list<const char *> names) {
  const char *encoding = babl_format_get_encoding(format);
  for (const char *name : names)
    if (g_strcmp0(encoding, name) == 0) return true;
  return false;
}

GdkPixbuf *gimp_work_area_thumbnail(int32_t image_id, int x, int y, int w, int h, int thumb_w,
                                    int thumb_h) {
  // GIMP refuses a thumbnail with a side of 0 (a work area longer than 500:1)
  // or above its limit.
  if (w <= 0 || h <= 0 || thumb_w <= 0 || thumb_h <= 0 || thumb_w > HOST_PICTURE_MAX_SIDE ||
      thumb_h > HOST_PICTURE_MAX_SIDE)
    return nullptr;
  GimpImage *image = image_of(image_id);
  if (!image) return nullptr;
  // A layer being edited may reach beyond the image: GIMP gives no picture
  // of anything outside it.
  if (x < 0 || y < 0 || x + w > gimp_image_get_width(image) || y + h > gimp_image_get_height(image))
    return nullptr;
  GimpLayer *visible = gimp_layer_new_from_visible(image, image, "zipstroke_PREVIEW");
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
  GdkPixbuf *thumb = nullptr;
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
    thumb = thumbnail_to_pixbuf(data, size, actual_w, actual_h, bpp);
  } else if (whole && encoding_is_one_of(format, {"Y u8", "YA u8", "RGB u8", "RGBA u8"})) {
    std::vector<guint8> converted(data, data + static_cast<size_t>(pixels) * bpp);
    linear_u8_to_perceptual(converted.data(), pixels, bpp, babl_format_has_alpha(format));
    thumb = thumbnail_to_pixbuf(converted.data(), converted.size(), actual_w, actual_h, bpp);
  } else if (whole) {
    const int out_bpp = grey ? 2 : 4;
    const Babl *out = babl_format_with_space(grey ? "Y'A u8" : "R'G'B'A u8", format);
    std::vector<guint8> converted(static_cast<size_t>(pixels) * out_bpp);
    babl_process(babl_fish(format, out), data, converted.data(), pixels);
    thumb = thumbnail_to_pixbuf(converted.data(), converted.size(), actual_w, actual_h, out_bpp);
  }
  g_bytes_unref(bytes);
  return thumb;
}

// The layer of `copy` (a duplicate of `image`) at the place `layer` holds in
// `image`: the same position under parents at the same positions.  (The
// copy's layers do not answer to the tattoos of the original's.)
GimpLayer *layer_at_same_place(GimpImage *copy, GimpImage *image, GimpLayer *layer) {
  std::vector<int> path;  // positions from the top level down
  for (GimpItem *item = GIMP_ITEM(layer); item; item = gimp_item_get_parent(item)) {
    const int position = gimp_image_get_item_position(image, item);
    if (position < 0) return nullptr;
    path.insert(path.begin(), position);
  }
  GimpItem *found = nullptr;
  for (size_t depth = 0; depth < path.size(); ++depth) {
    GimpItem **level = depth == 0 ? reinterpret_cast<GimpItem **>(gimp_image_get_layers(copy))
                                  : gimp_item_get_children(found);
    found = nullptr;
    for (int i = 0; level && level[i]; ++i)
      if (i == path[depth]) found = level[i];
    g_free(level);
    if (!found) return nullptr;
  }
  return found && GIMP_IS_LAYER(found) ? GIMP_LAYER(found) : nullptr;
}

// The picture without one layer, taken from a copy of the image that is never
// shown: the image itself gets no undo step and never changes, not even for a
// moment on the canvas.
GdkPixbuf *gimp_work_area_thumbnail_without(int32_t image_id, int32_t layer_id, int x, int y,
                                            int w, int h, int thumb_w, int thumb_h) {
  if (w <= 0 || h <= 0 || thumb_w <= 0 || thumb_h <= 0) return nullptr;
  GimpImage *image = image_of(image_id);
  if (!image) return nullptr;
  GimpLayer *layer = layer_of(layer_id);
  GimpImage *owner = layer ? gimp_item_get_image(GIMP_ITEM(layer)) : nullptr;
  if (!owner || gimp_image_get_id(owner) != image_id)
    return gimp_work_area_thumbnail(image_id, x, y, w, h, thumb_w, thumb_h);
  GimpImage *copy = gimp_image_duplicate(image);
  if (!copy) return nullptr;
  gimp_image_undo_disable(copy);
  GdkPixbuf *thumb = nullptr;
  GimpLayer *twin = layer_at_same_place(copy, image, layer);
  const bool hidden = twin && gimp_item_set_visible(GIMP_ITEM(twin), FALSE);
  if (hidden) thumb = gimp_work_area_thumbnail(gimp_image_get_id(copy), x, y, w, h, thumb_w, thumb_h);
  gimp_image_delete(copy);
  return thumb;
}

char *gimp_active_layer_settings(int32_t image_id, gsize *length, int32_t *layer_id) {
  *length = 0;
  *layer_id = -1;
  GimpImage *image = image_of(image_id);
  GimpLayer *layer = image ? selected_layer(image) : nullptr;
  if (!layer) return nullptr;
  std::unique_ptr<GimpParasite, FreeWith<gimp_parasite_free>> parasite(
      gimp_item_get_parasite(GIMP_ITEM(layer), STREAK_PARASITE_NAME));
  if (!parasite) return nullptr;
  guint32 size = 0;
  const void *data = gimp_parasite_get_data(parasite.get(), &size);
  // A terminating zero is added so that the text can never be read past its end.
  char *text = static_cast<char *>(g_malloc(size + 1));
  if (size > 0 && data) std::memcpy(text, data, size);
  text[size] = '\0';
  *length = size;
  *layer_id = gimp_item_get_id(GIMP_ITEM(layer));
  return text;
}

}  // namespace

GimpImage *image_of(int32_t image_id) {
  return gimp_image_id_is_valid(image_id) ? gimp_image_get_by_id(image_id) : nullptr;
}

GimpLayer *layer_of(int32_t item_id) {
  if (!gimp_item_id_is_layer(item_id)) return nullptr;
  GimpItem *item = gimp_item_get_by_id(item_id);
  return item && GIMP_IS_LAYER(item) ? GIMP_LAYER(item) : nullptr;
}

GimpLayer *editable_layer(int32_t image_id, int32_t layer_id) {
  GimpLayer *layer = layer_of(layer_id);
  if (!layer || gimp_item_is_group(GIMP_ITEM(layer))) return nullptr;
  GimpImage *image = gimp_item_get_image(GIMP_ITEM(layer));
  return image && gimp_image_get_id(image) == image_id ? layer : nullptr;
}

GimpLayer *selected_layer(GimpImage *image) {
  GimpLayer **layers = gimp_image_get_selected_layers(image);
  GimpLayer *layer = layers && layers[0] && !layers[1] ? layers[0] : nullptr;
  g_free(layers);
  return layer;
}

void gimp_services_install() {
  image_services_install(ImageServices{gimp_get_size, gimp_get_selection_bounds, gimp_get_resolution});
  host_services_install(
      HostServices{gimp_work_area_thumbnail, gimp_render_to_layer, gimp_active_layer_settings,
                   gimp_target_state, gimp_layer_extent, gimp_work_area_thumbnail_without});
}
