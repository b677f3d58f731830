// ImageServices and HostServices served by the running GIMP.
#include "services.h"

#include <cstring>
#include <memory>
#include <vector>

#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include "glib_ptr.h"
#include "image_services.h"
#include "streak_layer.h"

namespace {

// The last answers about the image, for the questions asked after it has
// been closed: a call with the id of a closed image would only make GIMP
// report a calling error, once per call.
struct KnownImage {
  int32_t id = -1;
  int width = 0, height = 0;
  double xres = 72.0, yres = 72.0;
};
KnownImage known;

bool image_alive(int32_t image_id) {
  if (!gimp_image_is_valid(image_id)) return false;
  if (known.id != image_id) {
    known = KnownImage{};
    known.id = image_id;
  }
  return true;
}

void gimp_get_size(int32_t image_id, int *width, int *height) {
  if (image_alive(image_id)) {
    known.width = gimp_image_width(image_id);
    known.height = gimp_image_height(image_id);
  }
  *width = known.width;
  *height = known.height;
}

bool gimp_get_selection_bounds(int32_t image_id, int *x1, int *y1, int *x2, int *y2) {
  if (!image_alive(image_id) || gimp_selection_is_empty(image_id)) return false;
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
  if (image_alive(image_id)) {
    gdouble x = 72.0, y = 72.0;
    if (gimp_image_get_resolution(image_id, &x, &y)) {
      known.xres = x;
      known.yres = y;
    }
  }
  *xres = known.xres;
  *yres = known.yres;
}

TargetState gimp_target_state(const EffectParams *params) {
  if (!gimp_image_is_valid(params->image_id)) return TargetState::ImageGone;
  if (params->edit_mode == 1) {
    const gint32 layer = params->drawable_id;
    if (!gimp_item_is_valid(layer) || !gimp_item_is_layer(layer) || gimp_item_is_group(layer) ||
        gimp_item_get_image(layer) != params->image_id)
      return TargetState::LayerGone;
  }
  return TargetState::Ready;
}

GdkPixbuf *gimp_work_area_thumbnail(int32_t image_id, int x, int y, int w, int h, int thumb_w,
                                    int thumb_h) {
  // GIMP refuses a thumbnail with a side of 0 (a work area longer than 500:1)
  // or above its limit.
  if (w <= 0 || h <= 0 || thumb_w <= 0 || thumb_h <= 0 || thumb_w > HOST_PICTURE_MAX_SIDE ||
      thumb_h > HOST_PICTURE_MAX_SIDE)
    return nullptr;
  if (!gimp_image_is_valid(image_id)) return nullptr;
  // A layer being edited may reach beyond the image: GIMP gives no picture
  // of anything outside it.
  if (x < 0 || y < 0 || x + w > gimp_image_width(image_id) || y + h > gimp_image_height(image_id))
    return nullptr;
  gint32 visible = gimp_layer_new_from_visible(image_id, image_id, "zipstroke_PREVIEW");
  if (visible < 0) return nullptr;
  GdkPixbuf *thumb = gimp_drawable_get_sub_thumbnail(visible, x, y, w, h, thumb_w, thumb_h,
                                                     GIMP_PIXBUF_LARGE_CHECKS);
  gimp_item_delete(visible);
  return thumb;
}

// The layer of `copy` (a duplicate of `image`) at the place `layer` holds in
// `image`: the same position under parents at the same positions.
gint32 layer_at_same_place(gint32 copy, gint32 image, gint32 layer) {
  std::vector<int> path;  // positions from the top level down
  for (gint32 item = layer; item > 0; item = gimp_item_get_parent(item)) {
    const int position = gimp_image_get_item_position(image, item);
    if (position < 0) return -1;
    path.insert(path.begin(), position);
  }
  gint32 found = -1;
  for (size_t depth = 0; depth < path.size(); ++depth) {
    gint n = 0;
    gint *level = depth == 0 ? gimp_image_get_layers(copy, &n) : gimp_item_get_children(found, &n);
    found = level && path[depth] < n ? level[path[depth]] : -1;
    g_free(level);
    if (found < 0) return -1;
  }
  return found;
}

// The picture without one layer, taken from a copy of the image that is never
// shown: the image itself gets no undo step and never changes, not even for a
// moment on the canvas.
GdkPixbuf *gimp_work_area_thumbnail_without(int32_t image_id, int32_t layer_id, int x, int y,
                                            int w, int h, int thumb_w, int thumb_h) {
  if (w <= 0 || h <= 0 || thumb_w <= 0 || thumb_h <= 0) return nullptr;
  if (!gimp_image_is_valid(image_id)) return nullptr;
  if (!gimp_item_is_valid(layer_id) || !gimp_item_is_layer(layer_id) ||
      gimp_item_get_image(layer_id) != image_id)
    return gimp_work_area_thumbnail(image_id, x, y, w, h, thumb_w, thumb_h);
  const gint32 copy = gimp_image_duplicate(image_id);
  if (copy < 0) return nullptr;
  gimp_image_undo_disable(copy);
  GdkPixbuf *thumb = nullptr;
  const gint32 twin = layer_at_same_place(copy, image_id, layer_id);
  if (twin >= 0 && gimp_item_set_visible(twin, FALSE))
    thumb = gimp_work_area_thumbnail(copy, x, y, w, h, thumb_w, thumb_h);
  gimp_image_delete(copy);
  return thumb;
}

bool gimp_layer_extent(int32_t layer_id, int *x, int *y, int *width, int *height) {
  if (!gimp_item_is_valid(layer_id) || !gimp_item_is_layer(layer_id)) return false;
  gint ox = 0, oy = 0;
  if (!gimp_drawable_offsets(layer_id, &ox, &oy)) return false;
  *x = ox;
  *y = oy;
  *width = gimp_drawable_width(layer_id);
  *height = gimp_drawable_height(layer_id);
  return *width > 0 && *height > 0;
}

char *gimp_active_layer_settings(int32_t image_id, gsize *length, int32_t *layer_id) {
  *length = 0;
  *layer_id = -1;
  if (!gimp_image_is_valid(image_id)) return nullptr;
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
      HostServices{gimp_work_area_thumbnail, gimp_render_to_layer, gimp_active_layer_settings,
                   gimp_target_state, gimp_layer_extent, gimp_work_area_thumbnail_without});
}
