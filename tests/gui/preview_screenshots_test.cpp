// Pictures of the preview for the documentation: one expose each, with the
// radial guides, the parallel guides, and a freehand outline being edited.
// Written only when ZIPSTROKE_SCREENSHOT_DIR names a folder.
#include <cmath>

#include "gtk_test_compat.h"
#include "preview_fixture.h"

namespace {

class PreviewScreenshots : public PreviewHarness {
 protected:
  void SetUp() override {
    const char *dir = g_getenv("ZIPSTROKE_SCREENSHOT_DIR");
    if (!dir || !*dir) GTEST_SKIP() << "ZIPSTROKE_SCREENSHOT_DIR not set";
  }
  void save(const char *name) {
    cairo_surface_t *surface = draw_expose(&params);
    maybe_save_screenshot(surface, name);
    cairo_surface_destroy(surface);
  }
};

}  // namespace

TEST_F(PreviewScreenshots, Radial) {
  build(FixedImage{});
  set_spin(dialog_widgets.radiation_in_radius_spin, 90);
  set_spin(dialog_widgets.radiation_out_radius_spin, 200);
  set_spin(dialog_widgets.radiation_oblateness_spin, 0.2);
  save("preview-radial.png");
}

TEST_F(PreviewScreenshots, Parallel) {
  build(FixedImage{}, AREA_PARALLEL);
  set_spin(dialog_widgets.parallel_in_x_spin, 80);
  set_spin(dialog_widgets.parallel_in_Y_spin, 300);
  set_spin(dialog_widgets.parallel_in_range_spin, 260);
  set_spin(dialog_widgets.parallel_out_x_spin, 560);
  set_spin(dialog_widgets.parallel_out_Y_spin, 170);
  set_spin(dialog_widgets.parallel_out_range_spin, 180);
  save("preview-parallel.png");
}

TEST_F(PreviewScreenshots, FreehandOutlineBeingEdited) {
  build(FixedImage{});
  set_spin(dialog_widgets.radiation_in_radius_spin, 90);
  set_spin(dialog_widgets.radiation_out_radius_spin, 200);
  set_spin(dialog_widgets.line_in_margin_spin, 0);  // lines start on the outline
  set_spin(dialog_widgets.line_in_length_spin, 20);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog_widgets.radiation_in_freehand.check), TRUE);
  gtk_button_clicked(GTK_BUTTON(dialog_widgets.radiation_in_freehand.edit_button));
  // A stroke that bulges the inner boundary out over a third of the circle.
  auto at = [](double degrees, double distance) {
    const double a = degrees * G_PI / 180;
    return Point2{320 + distance * std::cos(a), 240 + distance * std::sin(a)};
  };
  Point2 p = at(200, 90);
  press(p.x, p.y);
  for (int degrees = 205; degrees <= 330; degrees += 5) {
    p = at(degrees, 90 + 60 * std::sin((degrees - 200) * G_PI / 130));
    motion(p.x, p.y);
  }
  release(p.x, p.y);
  save("preview-freehand.png");
}

// The preview in a window made larger: the work area fills the larger view.
TEST_F(PreviewScreenshots, LargerWindow) {
  FixedImage image;
  image.width = 1600;
  image.height = 1200;
  build(image);
  set_spin(dialog_widgets.radiation_in_radius_spin, 225);
  set_spin(dialog_widgets.radiation_out_radius_spin, 500);
  set_spin(dialog_widgets.radiation_oblateness_spin, 0.2);
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  gint ww = 0, wh = 0;
  gtk_window_get_size(GTK_WINDOW(window), &ww, &wh);
  gtk_window_resize(GTK_WINDOW(window), ww + 300, wh + 100);
  wait_for_preview_size(vw + 300, vh + 100);
  save("preview-larger.png");
}

// 100 % of the image's pixels on a 2400 x 1800 image: the lines at the size
// the layer gets them, where they begin at the inner ellipse.
TEST_F(PreviewScreenshots, OneHundredPercent) {
  FixedImage image;
  image.width = 2400;
  image.height = 1800;
  build(image);
  set_spin(dialog_widgets.radiation_in_radius_spin, 300);
  set_spin(dialog_widgets.radiation_out_radius_spin, 800);
  for (int i = 0; i < 12 && preview_view_scale() < 1; ++i) preview_zoom_in();
  preview_pan_to(1200 + 560, 900 - 120);
  save("preview-100.png");
}
