// Pictures of the preview for the documentation: one expose each, with the
// radial guides, the parallel guides, and a freehand outline being edited.
// Written only when ZIPSTROKE_SCREENSHOT_DIR names a folder.
#include <cmath>

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
