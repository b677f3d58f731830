#include "image_services.h"

namespace {

FixedImage fixed_image;

void fixed_get_size(int32_t, int *width, int *height) {
  *width = fixed_image.width;
  *height = fixed_image.height;
}

bool fixed_get_selection_bounds(int32_t, int *x1, int *y1, int *x2, int *y2) {
  if (!fixed_image.has_selection) return false;
  *x1 = fixed_image.sel_x1;
  *y1 = fixed_image.sel_y1;
  *x2 = fixed_image.sel_x2;
  *y2 = fixed_image.sel_y2;
  return true;
}

void fixed_get_resolution(int32_t, double *xres, double *yres) {
  *xres = fixed_image.xres;
  *yres = fixed_image.yres;
}

ImageServices installed = {fixed_get_size, fixed_get_selection_bounds,
                           fixed_get_resolution};

}  // namespace

const ImageServices &image_services() { return installed; }

void image_services_install(const ImageServices &services) { installed = services; }

void image_services_install_fixed(const FixedImage &image) {
  fixed_image = image;
  installed = {fixed_get_size, fixed_get_selection_bounds, fixed_get_resolution};
}

WorkArea work_area_of(int32_t image_id) {
  WorkArea area{0, 0, 0, 0, false};
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  if (installed.get_selection_bounds(image_id, &x1, &y1, &x2, &y2)) {
    area = {x1, y1, x2 - x1, y2 - y1, true};
  } else {
    int w = 0, h = 0;
    installed.get_size(image_id, &w, &h);
    area = {0, 0, w, h, false};
  }
  return area;
}

Resolution resolution_or_default(Resolution res) {
  if (!(res.x > 0.0) || res.x > RESOLUTION_MAX_DPI) res.x = 72.0;
  if (!(res.y > 0.0) || res.y > RESOLUTION_MAX_DPI) res.y = 72.0;
  return res;
}

Resolution image_resolution(int32_t image_id) {
  Resolution res{72.0, 72.0};
  installed.get_resolution(image_id, &res.x, &res.y);
  return resolution_or_default(res);
}
