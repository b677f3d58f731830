// ImageServices and HostServices served by the running GIMP.
#include "services.h"

#include <cstring>
#include <memory>

#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include "glib_ptr.h"
#include "image_services.h"
#include "streak_layer.h"

namespace {

void gimp_get_size(int32_t image_id, int *width, int *height) {
  *width = gimp_image_width(image_id);
  *height = gimp_image_height(image_id);
}

bool gimp_get_selection_bounds(int32_t image_id, int *x1, int *y1, int *x2, int *y2) {
  if (gimp_selection_is_empty(image_id)) return false;
  gboolean non_empty = FALSE;
  gint a = 0, b = 0, c = 0, d = 0;
  if (!gimp_selection_bounds(image_id, &non_empty, &a, &b, &c, &d) || c <= a || d <= b)
    return false;
  *x1 = a;
  *y1 = b;
  *x2 = c;
  *y2 = d;
  return true;
}

void gimp_get_resolution(int32_t image_id, double *xres, double *yres) {
  gdouble x = 72.0, y = 72.0;
  gimp_image_get_resolution(image_id, &x, &y);
  *xres = x;
  *yres = y;
}

GdkPixbuf *gimp_work_area_thumbnail(int32_t image_id, int x, int y, int w, int h, int thumb_w,
                                    int thumb_h) {
  // GIMP refuses a thumbnail with a side of 0 (a work area longer than 500:1).
  if (w <= 0 || h <= 0 || thumb_w <= 0 || thumb_h <= 0) return nullptr;
  gint32 visible = gimp_layer_new_from_visible(image_id, image_id, "zipstroke_PREVIEW");
  if (visible < 0) return nullptr;
  GdkPixbuf *thumb = gimp_drawable_get_sub_thumbnail(visible, x, y, w, h, thumb_w, thumb_h,
                                                     GIMP_PIXBUF_LARGE_CHECKS);
  gimp_item_delete(visible);
  return thumb;
}

char *gimp_active_layer_settings(int32_t image_id, gsize *length, int32_t *layer_id) {
  *length = 0;
  *layer_id = -1;
  gint32 layer = gimp_image_get_active_layer(image_id);
  if (layer < 0) return nullptr;
  std::unique_ptr<GimpParasite, FreeWith<gimp_parasite_free>> parasite(gimp_item_get_parasite(layer, STREAK_PARASITE_NAME));
  if (!parasite) return nullptr;
  const gsize size = gimp_parasite_data_size(parasite.get());
  const void *data = gimp_parasite_data(parasite.get());
  // A terminating zero is added so that the text can never be read past its end.
  char *text = static_cast<char *>(g_malloc(size + 1));
  if (size > 0 && data) std::memcpy(text, data, size);
  text[size] = '\0';
  *length = size;
  *layer_id = layer;
  return text;
}

}  // namespace

void gimp_services_install() {
  image_services_install(ImageServices{gimp_get_size, gimp_get_selection_bounds, gimp_get_resolution});
  host_services_install(
      HostServices{gimp_work_area_thumbnail, gimp_render_to_layer, gimp_active_layer_settings});
}
