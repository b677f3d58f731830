// What the defaults and the renderers need from the image editor: the image's
// size, its selection bounds and its resolution.  The plug-in fills this from
// libgimp; the headless renderer and the tests install a fixed image.
#pragma once

#include <cstdint>

struct ImageServices {
  // Size of the whole image in pixels.
  void (*get_size)(int32_t image_id, int *width, int *height);
  // Bounds of the selection (x2, y2 exclusive); false when nothing is selected.
  bool (*get_selection_bounds)(int32_t image_id, int *x1, int *y1, int *x2, int *y2);
  // Resolution in dots per inch.
  void (*get_resolution)(int32_t image_id, double *xres, double *yres);
};

// The services in force for the whole process.  Until something is installed
// they describe a fixed image of 640 x 480 pixels at 72 dpi without selection.
const ImageServices &image_services();
void image_services_install(const ImageServices &services);

// A fixed image for the headless renderer and the tests.
struct FixedImage {
  int width = 640;
  int height = 480;
  bool has_selection = false;
  int sel_x1 = 0, sel_y1 = 0, sel_x2 = 0, sel_y2 = 0;
  double xres = 72.0;
  double yres = 72.0;
};
// Installs services that answer every image id with `image`.
void image_services_install_fixed(const FixedImage &image);

// The work area: the selection's bounding box, or the whole image.
struct WorkArea {
  int x1, y1;  // top-left in image pixels
  int width, height;
  bool has_selection;
};
WorkArea work_area_of(int32_t image_id);

// The resolutions an image can have, in dots per inch: the image editor's own
// limits, which the renderer's --resolution accepts as well.
constexpr double RESOLUTION_MIN_DPI = 0.005;
constexpr double RESOLUTION_MAX_DPI = 1048576.0;

struct Resolution {
  double x, y;
};
// `res` with each value that no image can have (not positive, not a number,
// above RESOLUTION_MAX_DPI) taken as 72 dpi.
Resolution resolution_or_default(Resolution res);
// The image's resolution, as resolution_or_default gives it.
Resolution image_resolution(int32_t image_id);
