#include "preview_fixture.h"

#include <algorithm>
#include <cstdlib>

#include "dialog.h"
#include "gtk_test_compat.h"
#include "unit_change.h"

ThumbnailRequest last_thumbnail_request;

namespace {

struct SpinSlot {
  const char *key;
  GtkWidget *DialogWidgets::*member;
};
constexpr SpinSlot SPIN_SLOTS[] = {
    {"radiation_x", &DialogWidgets::radiation_x_spin},
    {"radiation_y", &DialogWidgets::radiation_y_spin},
    {"radiation_oblateness", &DialogWidgets::radiation_oblateness_spin},
    {"radiation_in_radius", &DialogWidgets::radiation_in_radius_spin},
    {"radiation_out_radius", &DialogWidgets::radiation_out_radius_spin},
    {"parallel_in_x", &DialogWidgets::parallel_in_x_spin},
    {"parallel_in_Y", &DialogWidgets::parallel_in_Y_spin},
    {"parallel_in_range", &DialogWidgets::parallel_in_range_spin},
    {"parallel_out_x", &DialogWidgets::parallel_out_x_spin},
    {"parallel_out_Y", &DialogWidgets::parallel_out_Y_spin},
    {"parallel_out_range", &DialogWidgets::parallel_out_range_spin},
};

HostServices saved_host;

}  // namespace

GdkPixbuf *checker_thumbnail(int32_t, int x, int y, int w, int h, int thumb_w, int thumb_h) {
  last_thumbnail_request = {last_thumbnail_request.calls + 1, x, y, w, h, thumb_w, thumb_h};
  GdkPixbuf *pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, thumb_w, thumb_h);
  guchar *pixels = gdk_pixbuf_get_pixels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  for (int j = 0; j < thumb_h; ++j)
    for (int i = 0; i < thumb_w; ++i) {
      guchar *p = pixels + static_cast<size_t>(j) * stride + 3 * i;
      const bool dark = ((i / 25) + (j / 25)) % 2 == 0;
      p[0] = static_cast<guchar>(dark ? 90 : 200);
      p[1] = static_cast<guchar>((dark ? 60 : 150) + i * 100 / thumb_w);
      p[2] = static_cast<guchar>((dark ? 40 : 120) + j * 100 / thumb_h);
    }
  return pixbuf;
}

namespace {
SourcePixel source_pixel = nullptr;
bool source_alpha = false;
}  // namespace

void source_image_set(SourcePixel pixel, bool alpha) {
  source_pixel = pixel;
  source_alpha = alpha;
}

GdkPixbuf *source_thumbnail(int32_t, int x, int y, int w, int h, int thumb_w, int thumb_h) {
  last_thumbnail_request = {last_thumbnail_request.calls + 1, x, y, w, h, thumb_w, thumb_h};
  if (source_pixel == nullptr || thumb_w <= 0 || thumb_h <= 0) return nullptr;
  GdkPixbuf *pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, source_alpha, 8, thumb_w, thumb_h);
  guchar *pixels = gdk_pixbuf_get_pixels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const int channels = source_alpha ? 4 : 3;
  const double fx = static_cast<double>(w) / thumb_w, fy = static_cast<double>(h) / thumb_h;
  const int nx = std::min(4, std::max(1, static_cast<int>(std::ceil(fx))));
  const int ny = std::min(4, std::max(1, static_cast<int>(std::ceil(fy))));
  for (int j = 0; j < thumb_h; ++j)
    for (int i = 0; i < thumb_w; ++i) {
      double sum[4] = {0, 0, 0, 0};
      for (int b = 0; b < ny; ++b)
        for (int a = 0; a < nx; ++a) {
          const int sx = x + static_cast<int>(std::floor((i + (a + 0.5) / nx) * fx));
          const int sy = y + static_cast<int>(std::floor((j + (b + 0.5) / ny) * fy));
          const uint32_t c = source_pixel(sx, sy);
          for (int k = 0; k < 3; ++k) sum[k] += (c >> (16 - 8 * k)) & 0xff;
          sum[3] += c >> 24;
        }
      guchar *p = pixels + static_cast<size_t>(j) * stride + channels * i;
      for (int k = 0; k < channels; ++k) p[k] = static_cast<guchar>(std::lround(sum[k] / (nx * ny)));
    }
  return pixbuf;
}

void PreviewHarness::build(const FixedImage &image, int area_type, int unit,
                           bool with_thumbnail) {
  image_services_install_fixed(image);
  saved_host = host_services();
  HostServices host = saved_host;
  host.work_area_thumbnail = with_thumbnail ? thumbnail : nullptr;
  host_services_install(host);

  params = EffectParams{};
  effect_params_init_run_fields(&params, 1, 2);
  effect_params_set_defaults(&params);
  params.area_type = area_type;
  params.area_unit = unit;
  window = dialog_build(&params);
  ASSERT_NE(window, nullptr);
  preview = dialog_widgets.preview_area;
  ASSERT_NE(preview, nullptr);
  gtk_widget_realize(preview);
  pump();
}

void PreviewHarness::TearDown() {
  if (window) gtk_widget_destroy(window);
  window = nullptr;
  preview = nullptr;
  freehand_set_edit_target(FREEHAND_NONE);
  dialog_widgets = DialogWidgets{};
  pump();
  host_services_install(saved_host);
  image_services_install_fixed(FixedImage{});
  current_unit_set(0);
}

Point2 PreviewHarness::to_window(double x, double y) const {
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t *cr = cairo_create(surface);
  preview_apply_transform(cr);
  cairo_user_to_device(cr, &x, &y);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return {x, y};
}

void PreviewHarness::send(GdkEvent *event) {
  event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(preview)));
  event->any.send_event = TRUE;
  gtk_widget_event(preview, event);
  gdk_event_free(event);
}

void PreviewHarness::press(double x, double y, guint button) {
  const Point2 w = to_window(x, y);
  GdkEvent *event = gdk_event_new(GDK_BUTTON_PRESS);
  event->button.x = w.x;
  event->button.y = w.y;
  event->button.button = button;
  event->button.time = GDK_CURRENT_TIME;
  event->button.device = test_pointer_device();
  send(event);
}

void PreviewHarness::motion(double x, double y) {
  const Point2 w = to_window(x, y);
  GdkEvent *event = gdk_event_new(GDK_MOTION_NOTIFY);
  event->motion.x = w.x;
  event->motion.y = w.y;
  event->motion.state = GDK_BUTTON1_MASK;
  event->motion.time = GDK_CURRENT_TIME;
  event->motion.device = test_pointer_device();
  send(event);
}

void PreviewHarness::release(double x, double y, guint button) {
  const Point2 w = to_window(x, y);
  GdkEvent *event = gdk_event_new(GDK_BUTTON_RELEASE);
  event->button.x = w.x;
  event->button.y = w.y;
  event->button.button = button;
  event->button.state = GDK_BUTTON1_MASK;
  event->button.time = GDK_CURRENT_TIME;
  event->button.device = test_pointer_device();
  send(event);
}

void PreviewHarness::drag(Point2 from, Point2 to) {
  press(from.x, from.y);
  motion(to.x, to.y);
  release(to.x, to.y);
}

void PreviewHarness::pump() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

void PreviewHarness::wait_for_detail() {
  // Each pass either runs the waiting fetch or sleeps until it is due.
  for (int i = 0; i < 1000 && preview_detail_pending(); ++i) g_main_context_iteration(nullptr, TRUE);
  pump();
}

double PreviewHarness::spin(GtkWidget *spin_button) const {
  return gtk_spin_button_get_value(GTK_SPIN_BUTTON(spin_button));
}

void PreviewHarness::set_spin(GtkWidget *spin_button, double value) {
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin_button), value);
}

void PreviewHarness::set_active(GtkWidget *check, bool active) {
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), active);
}

const char *PreviewHarness::label_of(GtkWidget *button) const {
  return gtk_button_get_label(GTK_BUTTON(button));
}

GdkCursorType PreviewHarness::cursor_type() const {
  GdkCursor *cursor = gdk_window_get_cursor(gtk_widget_get_window(preview));
  return cursor ? gdk_cursor_get_cursor_type(cursor) : GDK_BLANK_CURSOR;
}

void expect_spins_finite() {
  for (const SpinSlot &slot : SPIN_SLOTS) {
    GtkWidget *spin = dialog_widgets.*slot.member;
    ASSERT_NE(spin, nullptr) << slot.key;
    EXPECT_TRUE(std::isfinite(gtk_spin_button_get_value(GTK_SPIN_BUTTON(spin)))) << slot.key;
  }
}

int count_factors_not(const FreehandOutline &outline, double factor) {
  int n = 0;
  for (const FreehandSample &sample : outline.samples)
    if (sample.factor != factor) ++n;
  return n;
}

cairo_surface_t *draw_expose(EffectParams *params) {
  int width = 0, height = 0;
  preview_view_size(&width, &height);
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t *cr = cairo_create(surface);
  preview_draw_window(cr, params);
  EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS) << cairo_status_to_string(cairo_status(cr));
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  return surface;
}

void maybe_save_screenshot(cairo_surface_t *surface, const char *name) {
  const char *dir = std::getenv("ZIPSTROKE_SCREENSHOT_DIR");
  if (dir == nullptr || *dir == '\0') return;
  g_mkdir_with_parents(dir, 0755);
  const std::string path = std::string(dir) + "/" + name;
  EXPECT_EQ(cairo_surface_write_to_png(surface, path.c_str()), CAIRO_STATUS_SUCCESS) << path;
}
