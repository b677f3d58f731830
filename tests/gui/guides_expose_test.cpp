// The preview's whole expose (grey background, streak lines, guides,
// handles and outlines) against a picture painted here from the drawing
// rules: where the view puts the work area, the guide colour and widths, the
// handle size, the 36 spokes or guide lines, the dashed outlines about the
// right ellipse or side, red for the outline being edited, and the line
// colour with its alpha.  The streak lines themselves come from the
// renderers, which the engine tests cover.
#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "freehand.h"
#include "preview_fixture.h"
#include "render.h"

namespace {

constexpr double GREY = 0x4567 / 65535.0;
constexpr double HANDLE = 8;  // screen pixels
constexpr double GUIDE = 1;   // screen pixels

// The view: window pixels per work-area pixel and the work-area point at the
// middle of the view.
struct View {
  int w, h;
  double k, pan_x, pan_y;
};

struct P {
  double x, y;
};

void disc(cairo_t *cr, P c, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, c.x, c.y, radius, 0, 2 * M_PI);
  cairo_close_path(cr);
}

void segment(cairo_t *cr, P a, P b) {
  cairo_move_to(cr, a.x, a.y);
  cairo_line_to(cr, b.x, b.y);
}

void dashed_stroke(cairo_t *cr, bool red) {
  cairo_save(cr);
  const double dashes[] = {6, 3};
  cairo_set_dash(cr, dashes, 2, 0);
  if (red) cairo_set_source_rgba(cr, 1, 0, 0, 1);
  cairo_stroke(cr);
  cairo_restore(cr);
}

// Distance from the centre of the ellipse (a, r) in the direction phi.
double ellipse_rho(double a, double r, double phi) {
  return 1 / std::sqrt(std::pow(std::cos(phi) / a, 2) + std::pow(std::sin(phi) / r, 2));
}

void radial_outline(cairo_t *cr, const FreehandOutline &o, double cx, double cy, double a,
                    double r, bool red) {
  for (int i = 0; i < o.count; ++i) {
    const double rho = o.samples[i].factor * ellipse_rho(a, r, o.samples[i].pos);
    const double x = cx + rho * std::cos(o.samples[i].pos);
    const double y = cy + rho * std::sin(o.samples[i].pos);
    if (i == 0) cairo_move_to(cr, x, y);
    else cairo_line_to(cr, x, y);
  }
  cairo_close_path(cr);
  dashed_stroke(cr, red);
}

// Radial guides: handles at the centre and at the right ends of both
// ellipses, both ellipses, 36 spokes at the same parametric angles.
void radial_guides(cairo_t *cr, const EffectParams &p, const View &view) {
  const double cx = p.radiation_x, cy = p.radiation_y;  // pixels, 72 dpi
  const double r_out = p.radiation_out_radius, r_in = p.radiation_in_radius;
  const double a_out = r_out / (1 - p.radiation_oblateness);
  const double a_in = a_out - (r_out - r_in);
  const double radius = HANDLE / view.k;
  cairo_set_line_width(cr, GUIDE / view.k);
  cairo_set_source_rgba(cr, 0, 0.5, 1, 1);
  const int target = preview_freehand_target();
  if (p.radiation_in_freehand.active)
    radial_outline(cr, p.radiation_in_freehand, cx, cy, a_in, r_in, target == 1);
  if (p.radiation_out_freehand.active)
    radial_outline(cr, p.radiation_out_freehand, cx, cy, a_out, r_out, target == 2);
  disc(cr, {cx + a_out, cy}, radius);
  cairo_fill(cr);
  disc(cr, {cx + a_in, cy}, radius);
  cairo_fill(cr);
  for (double a : {a_out, a_in}) {
    const double r = a == a_out ? r_out : r_in;
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, a / r, 1);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, r, 0, 2 * M_PI);
    cairo_close_path(cr);
    cairo_restore(cr);
    cairo_stroke(cr);
  }
  disc(cr, {cx, cy}, radius);
  cairo_fill(cr);
  for (int i = 0; i < 36; ++i) {
    const double t = i * 2 * M_PI / 36;
    segment(cr, {cx + a_out * std::cos(t), cy + r_out * std::sin(t)},
            {cx + a_in * std::cos(t), cy + r_in * std::sin(t)});
  }
  cairo_stroke(cr);
}

// Parallel guides: the band's sides, edges and 36 guide lines, eight handles,
// open dashed outlines between the sides.
void parallel_guides(cairo_t *cr, const EffectParams &p, const View &view) {
  const P in{p.parallel_in_x, p.parallel_in_Y}, out{p.parallel_out_x, p.parallel_out_Y};
  const double ir = p.parallel_in_range, orr = p.parallel_out_range;
  const double len = std::hypot(out.x - in.x, out.y - in.y);
  const P d{(out.x - in.x) / len, (out.y - in.y) / len};
  const P n{-d.y, d.x};
  auto at = [&](P c, double s) { return P{c.x + s * n.x, c.y + s * n.y}; };
  const P in_plus = at(in, ir / 2), in_minus = at(in, -ir / 2);
  const P out_plus = at(out, orr / 2), out_minus = at(out, -orr / 2);
  const double radius = HANDLE / view.k;
  cairo_set_line_width(cr, GUIDE / view.k);
  cairo_set_source_rgba(cr, 0, 0.5, 1, 1);
  const int target = preview_freehand_target();
  for (int side = 0; side < 2; ++side) {
    const FreehandOutline &o = side == 0 ? p.parallel_in_freehand : p.parallel_out_freehand;
    if (!o.active) continue;
    for (int i = 0; i < o.count; ++i) {
      const double t = o.samples[i].pos;
      const double f = side == 0 ? o.samples[i].factor : 1 - o.samples[i].factor;
      const P pin{in_plus.x + t * (in_minus.x - in_plus.x), in_plus.y + t * (in_minus.y - in_plus.y)};
      const P pout{out_plus.x + t * (out_minus.x - out_plus.x),
                   out_plus.y + t * (out_minus.y - out_plus.y)};
      const double x = f * pin.x + (1 - f) * pout.x, y = f * pin.y + (1 - f) * pout.y;
      if (i == 0) cairo_move_to(cr, x, y);
      else cairo_line_to(cr, x, y);
    }
    dashed_stroke(cr, target == (side == 0 ? 3 : 4));
  }
  disc(cr, {(in.x + out.x) / 2, (in.y + out.y) / 2}, radius);
  cairo_fill(cr);
  disc(cr, in, radius);
  cairo_fill(cr);
  disc(cr, out, radius);
  cairo_fill(cr);
  segment(cr, in_minus, in_plus);
  cairo_stroke(cr);
  segment(cr, out_plus, out_minus);
  cairo_stroke(cr);
  disc(cr, in_minus, radius);
  disc(cr, in_plus, radius);
  cairo_fill(cr);
  disc(cr, out_plus, radius);
  disc(cr, out_minus, radius);
  cairo_fill(cr);
  segment(cr, in_minus, out_minus);
  segment(cr, in_plus, out_plus);
  cairo_stroke(cr);
  for (int k = 0; k < 36; ++k)
    segment(cr, at(in, -ir / 2 + ir * k / 36), at(out, -orr / 2 + orr * k / 36));
  cairo_stroke(cr);
}

cairo_surface_t *reference(const EffectParams &p, const View &view) {
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, view.w, view.h);
  cairo_t *cr = cairo_create(surface);
  cairo_set_source_rgb(cr, GREY, GREY, GREY);
  cairo_paint(cr);
  cairo_translate(cr, view.w / 2.0, view.h / 2.0);
  cairo_scale(cr, view.k, view.k);
  cairo_translate(cr, -view.pan_x, -view.pan_y);
  cairo_set_source_rgba(cr, p.line_color.r, p.line_color.g, p.line_color.b, p.line_color.a);
  render_effect(cr, &p);
  if (p.area_type == AREA_RADIATION) radial_guides(cr, p, view);
  else parallel_guides(cr, p, view);
  EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  return surface;
}

// Pixels whose channels differ by more than `tolerance`, and the first of them.
struct Difference {
  int pixels = 0, x = -1, y = -1;
  uint32_t got = 0, want = 0;
};

Difference compare(cairo_surface_t *got, cairo_surface_t *want, int tolerance = 2) {
  Difference d;
  const int w = cairo_image_surface_get_width(want), h = cairo_image_surface_get_height(want);
  EXPECT_EQ(cairo_image_surface_get_width(got), w);
  EXPECT_EQ(cairo_image_surface_get_height(got), h);
  if (cairo_image_surface_get_width(got) != w || cairo_image_surface_get_height(got) != h) {
    d.pixels = -1;
    return d;
  }
  const unsigned char *a = cairo_image_surface_get_data(got);
  const unsigned char *b = cairo_image_surface_get_data(want);
  const int sa = cairo_image_surface_get_stride(got), sb = cairo_image_surface_get_stride(want);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t pa = *reinterpret_cast<const uint32_t *>(a + y * sa + 4 * x);
      const uint32_t pb = *reinterpret_cast<const uint32_t *>(b + y * sb + 4 * x);
      bool differs = false;
      for (int shift = 0; shift < 32; shift += 8)
        differs |= std::abs(int((pa >> shift) & 0xff) - int((pb >> shift) & 0xff)) > tolerance;
      if (differs && d.pixels++ == 0) {
        d.x = x;
        d.y = y;
        d.got = pa;
        d.want = pb;
      }
    }
  return d;
}

class GuidesExpose : public PreviewHarness {
 protected:
  // The view of the whole work area W x H as the rules give it: the
  // widget's allocation (the 500-pixel square before it has one), the
  // largest scale, never above 1, at which the area fits, centred.
  View fitted_view(int work_w, int work_h) const {
    GtkAllocation a;
    gtk_widget_get_allocation(preview, &a);
    View v{PREVIEW_SIZE, PREVIEW_SIZE, 1, work_w / 2.0, work_h / 2.0};
    if (a.width > 1 && a.height > 1) {
      v.w = a.width;
      v.h = a.height;
    }
    v.k = std::min({double(v.w) / work_w, double(v.h) / work_h, 1.0});
    return v;
  }

  // The expose of the real preview against the reference, pixel by pixel.
  void expect_expose_matches(const View &view, const char *what) {
    int w = 0, h = 0;
    preview_view_size(&w, &h);
    ASSERT_EQ(w, view.w);
    ASSERT_EQ(h, view.h);
    cairo_surface_t *got = draw_expose(&params);
    cairo_surface_t *want = reference(params, view);
    const Difference d = compare(got, want);
    EXPECT_EQ(d.pixels, 0) << what << ": first at (" << d.x << ", " << d.y << "), got " << std::hex
                           << d.got << ", want " << d.want;
    maybe_save_screenshot(got, (std::string("expose-") + what + ".png").c_str());
    cairo_surface_destroy(got);
    cairo_surface_destroy(want);
  }

  void shape_outline(FreehandOutline *o, double base, double swing, double cycles) {
    o->active = 1;
    for (int i = 0; i < o->count; ++i)
      o->samples[i].factor = base + swing * std::sin(cycles * 2 * M_PI * i / o->count);
  }

  void set_line_colour(double r, double g, double b, double a) {
    params.line_color = {r, g, b, a};
  }
};

}  // namespace

TEST_F(GuidesExpose, RadialCircleWithHalfTransparentLines) {
  FixedImage image;
  image.width = 900;
  image.height = 700;
  build(image, AREA_RADIATION, 0, /*with_thumbnail=*/false);
  set_spin(dialog_widgets.radiation_x_spin, 420.5);
  set_spin(dialog_widgets.radiation_y_spin, 330);
  set_spin(dialog_widgets.radiation_in_radius_spin, 90);
  set_spin(dialog_widgets.radiation_out_radius_spin, 260);
  set_line_colour(0.9, 0.3, 0.1, 0.5);
  expect_expose_matches(fitted_view(900, 700), "radial-circle");
}

TEST_F(GuidesExpose, RadialEllipseWithBothOutlinesTheInnerOneEdited) {
  FixedImage image;
  image.width = 640;
  image.height = 480;
  build(image, AREA_RADIATION, 0, false);
  set_spin(dialog_widgets.radiation_in_radius_spin, 70);
  set_spin(dialog_widgets.radiation_out_radius_spin, 160);
  set_spin(dialog_widgets.radiation_oblateness_spin, 0.4);
  shape_outline(&params.radiation_in_freehand, 0.8, 0.15, 3);
  shape_outline(&params.radiation_out_freehand, 1.1, 0.1, 5);
  set_line_colour(0.2, 0.8, 0.3, 1);
  freehand_set_edit_target(FREEHAND_RADIATION_IN);
  expect_expose_matches(fitted_view(640, 480), "radial-ellipse-inner-edited");
  freehand_set_edit_target(FREEHAND_RADIATION_OUT);
  expect_expose_matches(fitted_view(640, 480), "radial-ellipse-outer-edited");
  freehand_set_edit_target(FREEHAND_NONE);
  expect_expose_matches(fitted_view(640, 480), "radial-ellipse-outlines");
}

TEST_F(GuidesExpose, SlantedFanningBandWithBothOutlines) {
  FixedImage image;
  image.width = 800;
  image.height = 600;
  build(image, AREA_PARALLEL, 0, false);
  set_spin(dialog_widgets.parallel_in_x_spin, 150);
  set_spin(dialog_widgets.parallel_in_Y_spin, 420);
  set_spin(dialog_widgets.parallel_in_range_spin, 200);
  set_spin(dialog_widgets.parallel_out_x_spin, 620);
  set_spin(dialog_widgets.parallel_out_Y_spin, 180);
  set_spin(dialog_widgets.parallel_out_range_spin, 320);
  shape_outline(&params.parallel_in_freehand, 0.8, 0.1, 2);
  shape_outline(&params.parallel_out_freehand, 0.7, 0.2, 3);
  set_line_colour(0.1, 0.1, 0.9, 0.75);
  for (int target : {0, 3, 4}) {
    freehand_set_edit_target(static_cast<FreehandTarget>(target));
    expect_expose_matches(fitted_view(800, 600),
                          target == 0 ? "band" : target == 3 ? "band-in-edited" : "band-out-edited");
  }
  freehand_set_edit_target(FREEHAND_NONE);
}

TEST_F(GuidesExpose, ZoomedInAndPannedViewKeepsHandlesAndGuidesAtScreenSize) {
  FixedImage image;
  image.width = 1200;
  image.height = 900;
  build(image, AREA_RADIATION, 0, false);
  set_spin(dialog_widgets.radiation_in_radius_spin, 100);
  set_spin(dialog_widgets.radiation_out_radius_spin, 200);
  set_line_colour(0, 0, 0, 1);
  const View fitted = fitted_view(1200, 900);
  preview_zoom_in();
  preview_zoom_in();
  preview_pan_to(700, 380);
  // The view now magnifies by the zoom's own scale about the panned-to point.
  View view = fitted;
  view.k = preview_view_scale();
  preview_pan_get(&view.pan_x, &view.pan_y);
  ASSERT_GT(view.k, fitted.k);  // (the pan may be held inside the area on a small view)
  expect_expose_matches(view, "radial-zoomed");
}
