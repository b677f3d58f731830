#include "plugin_services.h"

#include <cstring>

#include "host_calls.h"
#include "host_services.h"
#include "image_services.h"
#include "layer_output.h"
#include "streak_layer.h"

namespace {

// The last answers about the image, for the questions asked after it has
// been closed: a call with the id of a closed image would only make GIMP
// report a calling error, once per call.
struct KnownImage {
  int32_t id = NO_ID;
  int width = 0, height = 0;
  double xres = 72.0, yres = 72.0;
};
KnownImage known;

bool image_alive(int32_t image) {
  if (!host_image_exists(image)) return false;
  if (known.id != image) {
    known = KnownImage{};
    known.id = image;
  }
  return true;
}

void image_size(int32_t image, int *width, int *height) {
  if (image_alive(image)) host_image_size(image, &known.width, &known.height);
  *width = known.width;
  *height = known.height;
}

bool selection_bounds(int32_t image, int *x1, int *y1, int *x2, int *y2) {
  int a = 0, b = 0, c = 0, d = 0;
  if (!image_alive(image) || !host_selection_bounds(image, &a, &b, &c, &d) || c <= a || d <= b)
    return false;
  *x1 = a;
  *y1 = b;
  *x2 = c;
  *y2 = d;
  return true;
}

void image_resolution_of(int32_t image, double *xres, double *yres) {
  double x = 72.0, y = 72.0;
  if (image_alive(image) && host_image_resolution(image, &x, &y)) {
    known.xres = x;
    known.yres = y;
  }
  *xres = known.xres;
  *yres = known.yres;
}

TargetState state_of_target(const EffectParams *params) {
  if (!host_image_exists(params->image_id)) return TargetState::ImageGone;
  if (params->edit_mode == EditMode::Replace && !is_editable_layer(params->image_id, params->drawable_id))
    return TargetState::LayerGone;
  return TargetState::Ready;
}

bool extent_of_layer(int32_t layer, int *x, int *y, int *width, int *height) {
  if (!host_item_exists(layer) || !host_item_is_layer(layer) ||
      !host_layer_extent(layer, x, y, width, height))
    return false;
  return *width > 0 && *height > 0;
}

GdkPixbuf *work_area_picture(int32_t image, int x, int y, int w, int h, int thumb_w,
                             int thumb_h) {
  // GIMP refuses a thumbnail with a side of 0 (a work area longer than 500:1)
  // or above its limit.
  if (w <= 0 || h <= 0 || thumb_w <= 0 || thumb_h <= 0 || thumb_w > HOST_PICTURE_MAX_SIDE ||
      thumb_h > HOST_PICTURE_MAX_SIDE)
    return nullptr;
  if (!host_image_exists(image)) return nullptr;
  // A layer being edited may reach beyond the image: GIMP gives no picture
  // of anything outside it.
  int image_w = 0, image_h = 0;
  host_image_size(image, &image_w, &image_h);
  if (x < 0 || y < 0 || x > image_w - w || y > image_h - h) return nullptr;
  return host_visible_picture(image, x, y, w, h, thumb_w, thumb_h);
}

// The layer of `copy` (a duplicate of `image`) at the place `layer` holds in
// `image`: the same position under parents at the same positions.  (The
// copy's layers need not answer to the ids or tattoos of the original's.)
int32_t layer_at_same_place(int32_t copy, int32_t image, int32_t layer) {
  std::vector<int> path;  // positions from the top level down
  for (int32_t item = layer; item != NO_ID; item = host_item_parent(item)) {
    const int position = host_item_position(image, item);
    if (position < 0 || path.size() > 10000) return NO_ID;
    path.insert(path.begin(), position);
  }
  int32_t found = NO_ID;
  for (const int position : path) {
    const std::vector<int32_t> level = host_layers_in(copy, found);
    if (position >= static_cast<int>(level.size())) return NO_ID;
    found = level[position];
  }
  return found != NO_ID && host_item_is_layer(found) ? found : NO_ID;
}

// The picture without one layer, taken from a copy of the image that is never
// shown: the image itself gets no undo step and never changes, not even for a
// moment on the canvas.
GdkPixbuf *work_area_picture_without(int32_t image, int32_t layer, int x, int y, int w, int h,
                                     int thumb_w, int thumb_h) {
  if (w <= 0 || h <= 0 || thumb_w <= 0 || thumb_h <= 0) return nullptr;
  if (!host_image_exists(image)) return nullptr;
  if (!host_item_exists(layer) || !host_item_is_layer(layer) || host_item_image(layer) != image)
    return work_area_picture(image, x, y, w, h, thumb_w, thumb_h);
  const int32_t copy = host_image_hidden_copy(image);
  if (copy == NO_ID) return nullptr;
  GdkPixbuf *picture = nullptr;
  const int32_t twin = layer_at_same_place(copy, image, layer);
  if (twin != NO_ID && host_item_set_visible(twin, false))
    picture = work_area_picture(copy, x, y, w, h, thumb_w, thumb_h);
  host_image_delete(copy);
  return picture;
}

char *current_layer_settings(int32_t image, gsize *length, int32_t *layer_id) {
  *length = 0;
  *layer_id = NO_ID;
  if (!host_image_exists(image)) return nullptr;
  const int32_t layer = host_current_layer(image);
  if (layer == NO_ID) return nullptr;
  char *text = host_item_parasite(layer, STREAK_PARASITE_NAME, length);
  if (text) *layer_id = layer;
  return text;
}

// GIMP's flattening precision, in pixels: finer than the lines' own antialiasing.
constexpr double PATH_PRECISION = 0.2;

bool path_polyline(int32_t image, std::vector<SpinePoint> *pixels) {
  pixels->clear();
  if (!host_image_exists(image)) return false;
  std::vector<int32_t> paths = host_image_paths(image, PathChoice::Selected);
  if (paths.empty()) paths = host_image_paths(image, PathChoice::All);
  if (paths.empty()) return false;
  const std::vector<int32_t> strokes = host_path_strokes(paths[0]);
  if (strokes.empty()) return true;
  const std::vector<double> xy = host_stroke_polyline(paths[0], strokes[0], PATH_PRECISION);
  for (size_t i = 0; i + 1 < xy.size(); i += 2) pixels->push_back({xy[i], xy[i + 1]});
  return true;
}

}  // namespace

char *text_copy(const void *data, gsize size, gsize *length) {
  *length = data ? size : 0;
  char *text = static_cast<char *>(g_malloc(*length + 1));
  if (*length > 0) std::memcpy(text, data, *length);
  text[*length] = '\0';
  return text;
}

void plugin_services_install() {
  image_services_install(ImageServices{image_size, selection_bounds, image_resolution_of});
  host_services_install(HostServices{work_area_picture, draw_streak_layer, current_layer_settings,
                                     state_of_target, extent_of_layer, work_area_picture_without,
                                     path_polyline});
}
