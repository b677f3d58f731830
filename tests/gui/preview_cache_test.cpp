// The preview keeps the coverage of its lines and the picture of the view
// between exposes.  Whatever control changes, the next expose must show what
// a freshly built dialog shows for the same record, and a change that does
// not move a line (the colour, a plain re-expose) must not draw them again.
#include <cstring>
#include <functional>
#include <string>

#include "control_ranges.h"
#include "dialog.h"
#include "gimpui_compat.h"
#include "gtk_compat.h"
#include "line_cache.h"
#include "preview_fixture.h"

namespace {

class PreviewCache : public PreviewHarness {
 protected:
  void SetUp() override {
    // Shown at its own pixels: the thumbnail is the whole picture there is.
    image.width = 480;
    image.height = 400;
  }

  // The expose of a dialog built anew for `record` (the live one is
  // destroyed and the new one takes its place).
  cairo_surface_t *fresh_expose(const EffectParams &record) {
    double pan_x, pan_y;
    preview_pan_get(&pan_x, &pan_y);
    gtk_widget_destroy(window);
    pump();
    std::memcpy(static_cast<void *>(&params), &record, sizeof record);
    window = dialog_build(&params);
    preview = dialog_widgets.preview_area;
    gtk_widget_realize(preview);
    pump();
    for (int i = 0; i < zoom_steps; ++i) preview_zoom_in();
    preview_pan_to(pan_x, pan_y);
    wait_for_detail();
    return draw_expose(&params);
  }

  // Changes one control on a dialog that has shown its defaults, then
  // compares the expose with that of a fresh dialog; `redraws` tells whether
  // the lines must be drawn again.
  void expect_like_fresh(const std::string &what, const std::function<void()> &change,
                         bool redraws = true) {
    SCOPED_TRACE(what);
    build(image, AREA_RADIATION);
    for (int i = 0; i < zoom_steps; ++i) preview_zoom_in();
    wait_for_detail();
    cairo_surface_destroy(draw_expose(&params));
    const long before = line_cache_renders();
    change();
    wait_for_detail();  // the picture of the view, fetched once it stands still
    cairo_surface_t *got = draw_expose(&params);
    EXPECT_EQ(line_cache_renders() - before, redraws ? 1 : 0);
    static EffectParams record;  // large: off the stack
    std::memcpy(static_cast<void *>(&record), &params, sizeof record);
    cairo_surface_t *want = fresh_expose(record);
    const int size = cairo_image_surface_get_stride(got) * cairo_image_surface_get_height(got);
    ASSERT_EQ(size, cairo_image_surface_get_stride(want) * cairo_image_surface_get_height(want));
    EXPECT_EQ(std::memcmp(cairo_image_surface_get_data(got), cairo_image_surface_get_data(want),
                          size),
              0);
    cairo_surface_destroy(got);
    cairo_surface_destroy(want);
    TearDown();
  }

  static void combo(GtkWidget *widget, int value) {
    gimp_int_combo_box_set_active(GIMP_INT_COMBO_BOX(widget), value);
  }

  FixedImage image;
  int zoom_steps = 0;
};

TEST_F(PreviewCache, EveryControlShowsWhatAFreshDialogShows) {
  for (const SpinRange &r : SPIN_RANGES) {
    expect_like_fresh(r.key, [&r] {
      GtkSpinButton *button = GTK_SPIN_BUTTON(dialog_spin_for_key(r.key));
      const double now = gtk_spin_button_get_value(button);
      double value = now != 0 ? now * 0.8 : r.max >= 100 ? 30 : r.min + 1;
      if (r.rule == IntRule::WavePoints) value = now == 8 ? 12 : 8;
      if (std::strstr(r.key, "seed")) value = now + 1;
      gtk_spin_button_set_value(button, value);
    });
  }
  expect_like_fresh("antialias", [] { combo(dialog_widgets.antialias_combo, 0); });
  expect_like_fresh("pitch type",
                    [] { combo(dialog_widgets.pitch_type_combo, 0); });
  expect_like_fresh("wave type", [] {
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(dialog_spin_for_key("line_wave_npoint")), 8);
    combo(dialog_widgets.wave_type_combo, 4);
  });
  expect_like_fresh("unit", [] { combo(dialog_widgets.unit_combo, 2); });
  expect_like_fresh("area type", [] {
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog_widgets.parallel_radio), TRUE);
  });
  expect_like_fresh("freehand outline", [this] {
    params.radiation_out_freehand.active = 1;
    for (int i = 0; i < params.radiation_out_freehand.count; i += 3)
      params.radiation_out_freehand.samples[i].factor = 0.7;
    preview_queue_draw();
  });
  expect_like_fresh("colour, same alpha", [] {
    compat_color_button_set(dialog_widgets.color_button, ColorRGBA{0.9, 0.2, 0.4, 1});
  }, false);
  expect_like_fresh("colour's alpha", [] {
    compat_color_button_set(dialog_widgets.color_button, ColorRGBA{0, 0, 0, 0.5});
  });
  expect_like_fresh("nothing", [] {}, false);
  expect_like_fresh("zoom", [this] {
    preview_zoom_in();
    zoom_steps = 1;
  });
  zoom_steps = 1;
  expect_like_fresh("pan", [] {
    double x, y;
    preview_pan_get(&x, &y);
    preview_pan_to(x + 37, y - 21);
  });
  zoom_steps = 0;
}

}  // namespace
