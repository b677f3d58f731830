// ImageServices and HostServices served by the running GIMP 3.
#include "services.h"

#include <cstring>
#include <memory>
#include <vector>

#include "glib_ptr.h"
#include "image_services.h"
#include "streak_layer.h"
#include "thumbnail.h"

namespace {

void gimp_get_size(int32_t image_id, int *width, int *height) {
  GimpImage *image = image_of(image_id);
  *width = image ? gimp_image_get_width(image) : 0;
  *height = image ? gimp_image_get_height(image) : 0;
}

bool gimp_get_selection_bounds(int32_t image_id, int *x1, int *y1, int *x2, int *y2) {
  GimpImage *image = image_of(image_id);
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
  gdouble x = 72.0, y = 72.0;
  if (GimpImage *image = image_of(image_id)) gimp_image_get_resolution(image, &x, &y);
  *xres = x;
  *yres = y;
}

// 8-bit non-linear grey or RGB, with or without alpha.
bool takes_bytes_as_they_are(const Babl *format) {
  const char *encoding = babl_format_get_encoding(format);
  for (const char *name : {"Y' u8", "Y'A u8", "R'G'B' u8", "R'G'B'A u8"})
    if (g_strcmp0(encoding, name) == 0) return true;
  return false;
}

GdkPixbuf *gimp_work_area_thumbnail(int32_t image_id, int x, int y, int w, int h, int thumb_w,
                                    int thumb_h) {
  // GIMP refuses a thumbnail with a side of 0 (a work area longer than 500:1).
  if (w <= 0 || h <= 0 || thumb_w <= 0 || thumb_h <= 0) return nullptr;
  GimpImage *image = image_of(image_id);
  if (!image) return nullptr;
  GimpLayer *visible = gimp_layer_new_from_visible(image, image, "zipstroke_PREVIEW");
  if (!visible) return nullptr;
  // The bytes, not libgimp's pixbuf: gimp_drawable_get_sub_thumbnail of GIMP
  // 3.0.4 frees its data twice.  They come in the layer's own format; 8-bit
  // non-linear bytes are taken as they are (as GIMP 2.10 sends them), others
  // (linear, 16 or 32 bits a channel) are turned into them by babl in the
  // image's colour space.
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
  if (takes_bytes_as_they_are(format)) {
    thumb = thumbnail_to_pixbuf(data, size, actual_w, actual_h, bpp);
  } else if (actual_w > 0 && actual_h > 0 && bpp == babl_format_get_bytes_per_pixel(format) &&
             size >= static_cast<gsize>(pixels) * bpp) {
    const int out_bpp = grey ? 2 : 4;
    const Babl *out = babl_format_with_space(grey ? "Y'A u8" : "R'G'B'A u8", format);
    std::vector<guint8> converted(static_cast<size_t>(pixels) * out_bpp);
    babl_process(babl_fish(format, out), data, converted.data(), pixels);
    thumb = thumbnail_to_pixbuf(converted.data(), converted.size(), actual_w, actual_h, out_bpp);
  }
  g_bytes_unref(bytes);
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

GimpLayer *selected_layer(GimpImage *image) {
  GimpLayer **layers = gimp_image_get_selected_layers(image);
  GimpLayer *layer = layers && layers[0] && !layers[1] ? layers[0] : nullptr;
  g_free(layers);
  return layer;
}

void gimp_services_install() {
  image_services_install(ImageServices{gimp_get_size, gimp_get_selection_bounds, gimp_get_resolution});
  host_services_install(
      HostServices{gimp_work_area_thumbnail, gimp_render_to_layer, gimp_active_layer_settings});
}
