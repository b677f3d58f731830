// The preview keeps the coverage of its lines and the picture of the view
// between exposes.  Whatever control changes, the next expose must show what
// a freshly built dialog shows for the same record, and a change that does
// not move a line (the colour, a plain re-expose) must not draw them again.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "control_ranges.h"
#include "dialog.h"
#include "gimpui_compat.h"
#include "gtk_compat.h"
#include "layer_bands.h"
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
    for (int i = 0; i < std::abs(zoom_steps); ++i)
      zoom_steps > 0 ? preview_zoom_in() : preview_zoom_out();
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
  expect_like_fresh("path area", [] {
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog_widgets.path_radio), TRUE);
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
  zoom_steps = 2;  // the area overflows the view both ways, whatever its size
  // Along one axis at a time: the other's offset stays as it was.
  for (const Point2 by : {Point2{37, 0}, Point2{0, -21}}) {
    expect_like_fresh("pan", [by] {
      double x, y;
      preview_pan_get(&x, &y);
      preview_pan_to(x + by.x, y + by.y);
    });
  }
  zoom_steps = 0;
}

// While the radial centre or the band is dragged, the lines are the coverage
// of the press shifted: no line is drawn again, and for a move of whole
// window pixels they are the record's lines, a level or two off where the
// rounding of a vertex differs, a little more along lines that cross the
// view's edge (cairo cuts a line at the edge of what it draws, and the cut
// comes out a hair steeper or flatter).  A move past the room kept around
// the view, to any side, draws them anew.  Once the pointer rests, and after
// the release, the expose is a fresh dialog's byte for byte.
TEST_F(PreviewCache, ADraggedCentreFollowsAndComesToRestExactly) {
  // The largest difference of a channel, and how many channels differ by
  // more than 2 levels.
  struct Difference {
    int most = 0, over_two = 0;
  };
  const auto compare = [](cairo_surface_t *a, cairo_surface_t *b) {
    const int size = cairo_image_surface_get_stride(a) * cairo_image_surface_get_height(a);
    const unsigned char *pa = cairo_image_surface_get_data(a);
    const unsigned char *pb = cairo_image_surface_get_data(b);
    Difference d;
    for (int i = 0; i < size; ++i) {
      const int e = std::abs(pa[i] - pb[i]);
      d.most = std::max(d.most, e);
      d.over_two += e > 2;
    }
    return d;
  };
  // 40 x 24 image pixels (30 x 18 window pixels at 75 %), then farther than
  // the room along each axis, both ways, with lines reaching that far.
  const Point2 moves[] = {{40, 24}, {500, 0}, {0, 500}, {-500, 0}, {0, -500}};
  for (const int area : {AREA_RADIATION, AREA_PARALLEL})
    for (const int zoom : {0, -1}) {  // at the image's own pixels, at 75 %
      SCOPED_TRACE(std::to_string(area) + " zoom " + std::to_string(zoom));
      build(image, area);
      if (zoom < 0) preview_zoom_out();
      set_spin(dialog_widgets.radiation_out_radius_spin, 3000);
      cairo_surface_destroy(draw_expose(&params));
      double x = area == AREA_RADIATION ? params.radiation_x
                                        : (params.parallel_in_x + params.parallel_out_x) / 2;
      double y = area == AREA_RADIATION ? params.radiation_y
                                        : (params.parallel_in_Y + params.parallel_out_Y) / 2;
      press(x, y);
      cairo_surface_t *resting = draw_expose(&params);
      for (const Point2 &move : moves) {
        SCOPED_TRACE(testing::Message() << "move " << move.x << ", " << move.y);
        cairo_surface_destroy(resting);
        const long renders = line_cache_renders();
        x += move.x;
        y += move.y;
        motion(x, y);
        cairo_surface_t *moving = draw_expose(&params);
        if (move.x == 40) {
          EXPECT_EQ(line_cache_renders(), renders);
        }
        for (int i = 0; i < 500 && line_cache_drag() == LineDrag::Moving; ++i) {
          g_usleep(10 * 1000);
          pump();
        }
        resting = draw_expose(&params);
        const Difference moved = compare(moving, resting);
        EXPECT_LE(moved.most, 16);
        // Lines drawn anew over a larger rectangle are cut at other places.
        EXPECT_LT(moved.over_two, cairo_image_surface_get_width(moving) *
                                      cairo_image_surface_get_height(moving) /
                                      (move.x == 40 ? 500 : 100));
        cairo_surface_destroy(moving);
      }
      release(x, y);
      pump();
      cairo_surface_t *released = draw_expose(&params);
      static EffectParams record;  // large: off the stack
      std::memcpy(static_cast<void *>(&record), &params, sizeof record);
      zoom_steps = zoom;
      cairo_surface_t *fresh = fresh_expose(record);
      EXPECT_EQ(compare(resting, fresh).most, 0);
      EXPECT_EQ(compare(released, fresh).most, 0);
      for (cairo_surface_t *s : {resting, released, fresh}) cairo_surface_destroy(s);
      TearDown();
    }
  zoom_steps = 0;
}

}  // namespace

namespace {

// At 100 % the preview shows the layer's own pixels: each pixel of the work
// area away from the guides is the background under the line colour at the
// alpha of the layer's pixel there, as GIMP would lay the layer (black lines
// over the grey).
TEST_F(PreviewCache, AtItsOwnPixelsItShowsTheLayersAlpha) {
  build(image, AREA_RADIATION, 0, /*with_thumbnail=*/false);
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  if ((vh - image.height) % 2 != 0) {
    // Centred on whole pixels: a work area one row taller.
    TearDown();
    image.height += 1;
    build(image, AREA_RADIATION, 0, false);
  }
  ASSERT_EQ(preview_view_scale(), 1.0);
  params.line_pitch = 3;  // lines that overlap near the centre
  // Every line inside the work area: where a line leaves the layer's
  // surface, cairo cuts it and the cut line comes out a hair steeper or
  // flatter all along, while the preview's view goes on beyond the sides.
  params.radiation_in_radius = 40;
  params.radiation_out_radius = 160;
  params.line_in_margin = 10;
  cairo_surface_t *got = draw_expose(&params);
  std::vector<unsigned char> layer(static_cast<size_t>(image.width) * image.height * 4);
  ASSERT_EQ(render_layer_bands(&params, image_resolution(params.image_id), image.width,
                               image.height, LayerFormat::RGBA,
                               params.line_color,
                               [&](int y0, int rows, const unsigned char *pixels) {
                                 std::memcpy(&layer[static_cast<size_t>(y0) * image.width * 4],
                                             pixels, static_cast<size_t>(rows) * image.width * 4);
                                 return true;
                               }),
            BandStatus::Done);
  const Point2 corner = to_window(0, 0);
  const int ox = static_cast<int>(corner.x), oy = static_cast<int>(corner.y);
  ASSERT_EQ(corner.x, ox);  // the work area starts on a whole pixel
  ASSERT_EQ(corner.y, oy);
  const unsigned char *data = cairo_image_surface_get_data(got);
  const int stride = cairo_image_surface_get_stride(got);
  int differing = 0, covered = 0, guides = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const int alpha = layer[(static_cast<size_t>(y) * image.width + x) * 4 + 3];
      covered += alpha > 0;
      const int want = static_cast<int>(std::lround(0x45 * (255 - alpha) / 255.0));
      const unsigned char *px = data + static_cast<size_t>(y + oy) * stride + 4 * (x + ox);
      // The guides (blue over everything) are drawn over the lines: not here.
      if (px[0] != px[2]) {
        ++guides;
        continue;
      }
      differing += std::abs(px[0] - want) > 1;
    }
  EXPECT_GT(covered, image.width * image.height / 10);
  EXPECT_LT(guides, image.width * image.height / 10);
  EXPECT_EQ(differing, 0);
  cairo_surface_destroy(got);
}

}  // namespace
