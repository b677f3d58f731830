// The preview's expose held against its drawing rules, pixel by pixel: the
// guides are one screen pixel wide and the handles discs of 8 screen pixels
// at any zoom, in the guide blue; the outline being drawn is red and lies
// where its factors put it; the lines keep their colour's alpha.  The lines'
// coverage itself comes from the renderer, which the engine tests cover.
#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "preview_fixture.h"
#include "render.h"

namespace {

constexpr double GREY = 0x4567 / 65535.0 * 255;

struct Rgb {
  double r, g, b;
};

Rgb pixel(cairo_surface_t *s, int x, int y) {
  const uint32_t p = *reinterpret_cast<const uint32_t *>(cairo_image_surface_get_data(s) +
                                                          y * cairo_image_surface_get_stride(s) + 4 * x);
  return {static_cast<double>((p >> 16) & 0xff), static_cast<double>((p >> 8) & 0xff),
          static_cast<double>(p & 0xff)};
}

// How much of the pixel the guide blue (0, 0.5, 1) covers over the grey, 0..1.
double blue_share(Rgb p) { return (p.b - GREY) / (255 - GREY); }
// Red over the grey, also where it covers a pixel in part.
bool is_red(Rgb p) { return p.r - std::max(p.g, p.b) > 60; }

class GuidesExpose : public PreviewHarness {
 protected:
  // 640 x 480 without a picture, the lines fully transparent: only the guides show.
  void build_guides_only(int area) {
    build(FixedImage{}, area, 0, /*with_thumbnail=*/false);
    params.line_color = {0, 0, 0, 0};
  }
  // Steps the zoom to `scale` and brings work-area point p to the middle.
  void view_at(double scale, Point2 p) {
    for (int i = 0; i < 12 && preview_view_scale() > scale * (1 + 1e-9); ++i) preview_zoom_out();
    for (int i = 0; i < 12 && preview_view_scale() < scale * (1 - 1e-9); ++i) preview_zoom_in();
    ASSERT_NEAR(preview_view_scale(), scale, 1e-12);
    preview_pan_to(p.x, p.y);
  }
  double fit() const {
    int w = 0, h = 0;
    preview_view_size(&w, &h);
    return std::min({w / 640.0, h / 480.0, 1.0});
  }
};

}  // namespace

// At every zoom the radial centre handle is a blue disc 16 screen pixels
// across, and a radial spoke and the band's in side lines of one screen
// pixel's ink.
TEST_F(GuidesExpose, HandlesAndGuidesKeepTheirScreenSizeAtEveryZoom) {
  build_guides_only(AREA_RADIATION);
  set_spin(dialog_widgets.radiation_in_radius_spin, 80);
  set_spin(dialog_widgets.radiation_out_radius_spin, 150);
  set_spin(dialog_widgets.parallel_in_x_spin, 100);
  set_spin(dialog_widgets.parallel_in_range_spin, 200);
  set_spin(dialog_widgets.parallel_out_x_spin, 600);
  // The spoke straight down, between the ellipses; the in side between two
  // of the band's guide lines (140 + 200 k / 36); the out side between two
  // (480 k / 36); the band's far edge from (100, 340) to (600, 480), which no
  // guide line runs along, crossed downwards.
  const struct {
    int32_t area;
    Point2 on;
    bool down;
  } lines[] = {{AREA_RADIATION, {320, 355}, false},
               {AREA_PARALLEL, {100, 192.5}, false},
               {AREA_PARALLEL, {600, 206.67}, false},
               {AREA_PARALLEL, {350, 410}, true}};
  for (double k : {fit(), 1.0, 4.0}) {
    SCOPED_TRACE(testing::Message() << "scale " << k);
    params.area_type = AREA_RADIATION;
    view_at(k, {320, 240});
    cairo_surface_t *s = draw_expose(&params);
    const Point2 c = to_window(320, 240);
    const int cx = static_cast<int>(c.x), cy = static_cast<int>(c.y);
    // The disc's chords along the pixel row and column through its centre.
    double across = 0, down = 0;
    for (int d = -12; d <= 12; ++d) {
      across += blue_share(pixel(s, cx + d, cy));
      down += blue_share(pixel(s, cx, cy + d));
    }
    EXPECT_NEAR(across, 15.96, 0.2);
    EXPECT_NEAR(down, 15.96, 0.2);
    cairo_surface_destroy(s);

    for (const auto &line : lines) {
      params.area_type = line.area;
      view_at(k, line.on);
      s = draw_expose(&params);
      const Point2 at = to_window(line.on.x, line.on.y);
      double ink = 0;
      for (int d = line.down ? -4 : -6; d <= (line.down ? 4 : 6); ++d)
        ink += blue_share(pixel(s, static_cast<int>(at.x) + (line.down ? 0 : d),
                                static_cast<int>(at.y) + (line.down ? d : 0)));
      // Crossed downwards, a line 1 wide at 15 degrees shows 1.03.
      EXPECT_NEAR(ink, line.down ? 1.03 : 1.0, 0.15) << line.on.x << "," << line.on.y;
      cairo_surface_destroy(s);
    }
  }
}

// Every handle of each area type is guide blue at its middle, at far and close zooms.
TEST_F(GuidesExpose, EveryHandleIsGuideBlue) {
  build_guides_only(AREA_RADIATION);
  set_spin(dialog_widgets.radiation_in_radius_spin, 60);
  set_spin(dialog_widgets.radiation_out_radius_spin, 150);
  set_spin(dialog_widgets.radiation_oblateness_spin, 0.25);  // right ends at 320 + 110 and + 200
  set_spin(dialog_widgets.parallel_in_x_spin, 100);
  set_spin(dialog_widgets.parallel_in_range_spin, 200);
  set_spin(dialog_widgets.parallel_out_x_spin, 540);
  set_spin(dialog_widgets.parallel_out_range_spin, 300);
  // A Path band as wide: its spine's ends and their width handles, a small dot between.
  params.path_in_range = 200;
  params.path_out_range = 300;
  params.path_spine_points_count = 3;
  params.path_spine_points[0] = {100, 240};
  params.path_spine_points[1] = {320, 240};
  params.path_spine_points[2] = {540, 240};
  struct Handle {
    int32_t area;
    Point2 at;
    bool dot = false;  // a point between the spine's ends: a disc of 3 screen pixels
  };
  const Handle handles[] = {
      {AREA_RADIATION, {320, 240}}, {AREA_RADIATION, {430, 240}}, {AREA_RADIATION, {520, 240}},
      {AREA_PARALLEL, {320, 240}},  {AREA_PARALLEL, {100, 240}},  {AREA_PARALLEL, {540, 240}},
      {AREA_PARALLEL, {100, 140}},  {AREA_PARALLEL, {100, 340}},  {AREA_PARALLEL, {540, 90}},
      {AREA_PARALLEL, {540, 390}},  {AREA_PATH, {100, 240}},      {AREA_PATH, {540, 240}},
      {AREA_PATH, {100, 140}},      {AREA_PATH, {100, 340}},      {AREA_PATH, {540, 90}},
      {AREA_PATH, {540, 390}},      {AREA_PATH, {320, 240}, true},
  };
  for (double k : {fit(), 4.0}) {
    for (const Handle &h : handles) {
      params.area_type = h.area;
      view_at(k, h.at);
      cairo_surface_t *s = draw_expose(&params);
      const Point2 w = to_window(h.at.x, h.at.y);
      for (const Point2 d : {Point2{0, 0}, Point2{5, 0}, Point2{-5, 0}, Point2{0, 5}, Point2{0, -5}}) {
        if (h.dot && d.x != 0) continue;  // on the spine
        const double share = blue_share(pixel(s, static_cast<int>(w.x + d.x), static_cast<int>(w.y + d.y)));
        if (h.dot && d.y != 0) EXPECT_LT(share, 0.01) << "dot at " << h.at.x << ", " << h.at.y;
        else EXPECT_GT(share, 0.99) << "handle at " << h.at.x << ", " << h.at.y << " (scale " << k << ")";
      }
      cairo_surface_destroy(s);
    }
  }
}

// Of the outlines shown, the one being drawn is red, at the distance its
// factors give: 0.8 of the inner circle, 1.1 of the outer one, 0.75 of the
// band's length from the other side.  The Path band's spine turns a right
// angle at (320, 240) halfway along its 440 pixels; its line at e pixels
// outside the turn bends round a quarter circle of radius e, one inside it
// has a mitred corner, so a quarter of the way along it lies at x = 210 +
// e pi/8 outside and 210 + e/2 inside, three quarters the same mirrored.
TEST_F(GuidesExpose, TheOutlineBeingDrawnIsRedWhereItsFactorsPutIt) {
  build_guides_only(AREA_RADIATION);
  set_spin(dialog_widgets.radiation_in_radius_spin, 100);
  set_spin(dialog_widgets.radiation_out_radius_spin, 200);
  params.path_spine_points_count = 3;
  params.path_spine_points[0] = {100, 240};
  params.path_spine_points[1] = {320, 240};
  params.path_spine_points[2] = {320, 460};
  for (FreehandOutline *o : {&params.radiation_in_freehand, &params.radiation_out_freehand,
                             &params.parallel_in_freehand, &params.parallel_out_freehand,
                             &params.path_in_freehand, &params.path_out_freehand}) {
    o->active = 1;
    const double factor = o == &params.radiation_in_freehand    ? 0.8
                          : o == &params.radiation_out_freehand ? 1.1
                                                                : 0.75;
    for (FreehandSample &sample : o->samples) sample.factor = factor;
  }
  // A Path outline may end on the band's far edge.
  params.path_out_freehand.samples[params.path_out_freehand.count - 1].pos = 1;
  struct Case {
    FreehandTarget target;
    int32_t area;
    double where;  // radius about (320, 240), or x of the outline across the band or the turn
  };
  const Case cases[] = {{FREEHAND_NONE, AREA_RADIATION, 0},
                        {FREEHAND_RADIATION_IN, AREA_RADIATION, 80},
                        {FREEHAND_RADIATION_OUT, AREA_RADIATION, 220},
                        {FREEHAND_PARALLEL_IN, AREA_PARALLEL, 160},
                        {FREEHAND_PARALLEL_OUT, AREA_PARALLEL, 480},
                        {FREEHAND_PATH_IN, AREA_PATH, 210},
                        {FREEHAND_PATH_OUT, AREA_PATH, 210},
                        {FREEHAND_PARALLEL_IN, AREA_RADIATION, 0}};  // another area's outline: nothing red
  // A point's x less the shift the turn gives to the Path line through it: 210 on the in outline.
  const auto quarter = [](double x, double y) {
    const double e = 240 - y;
    return x - (e > 0 ? M_PI / 8 : 0.5) * e;
  };
  for (const Case &c : cases) {
    params.area_type = c.area;
    freehand_set_edit_target(c.target);
    cairo_surface_t *s = draw_expose(&params);
    const double k = preview_view_scale();
    const Point2 origin = to_window(0, 0);
    int red = 0, misplaced = 0;
    for (int y = 0; y < cairo_image_surface_get_height(s); ++y)
      for (int x = 0; x < cairo_image_surface_get_width(s); ++x) {
        if (!is_red(pixel(s, x, y))) continue;
        ++red;
        const double ux = (x + 0.5 - origin.x) / k, uy = (y + 0.5 - origin.y) / k;
        const double at = c.area == AREA_RADIATION          ? std::hypot(ux - 320, uy - 240)
                          : c.target == FREEHAND_PATH_IN  ? quarter(ux, uy)
                          : c.target == FREEHAND_PATH_OUT ? quarter(560 - uy, 560 - ux)
                                                          : ux;
        misplaced += std::fabs(at - c.where) * k > 1.5;
      }
    EXPECT_EQ(red > 50, c.where > 0) << c.target << " in area " << c.area << ": " << red;
    EXPECT_EQ(misplaced, 0) << c.target;
    cairo_surface_destroy(s);
  }
  freehand_set_edit_target(FREEHAND_NONE);
}

// Where the lines cover a pixel wholly and no guide crosses it, the pixel is
// the line colour laid over the grey by the colour's alpha.
TEST_F(GuidesExpose, LinesKeepTheirColoursAlpha) {
  build_guides_only(AREA_PARALLEL);
  // Lines 30 pixels apart and 6 wide: none overlaps another.
  set_spin(dialog_widgets.line_pitch_spin, 30);
  set_spin(dialog_widgets.line_pitch_rand_spin, 0);
  set_spin(dialog_widgets.line_width_spin, 6);
  cairo_surface_t *guides = draw_expose(&params);
  int w = 0, h = 0;
  preview_view_size(&w, &h);
  cairo_surface_t *coverage = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  cairo_t *cr = cairo_create(coverage);
  preview_apply_transform(cr);
  EffectParams opaque = params;
  opaque.line_color = {0, 0, 0, 1};
  render_effect(cr, &opaque, image_resolution(opaque.image_id));
  cairo_destroy(cr);
  cairo_surface_flush(coverage);
  const Rgb colour = {0.9 * 255, 0.6 * 255, 0.1 * 255};
  for (double alpha : {1.0, 0.5, 0.25}) {
    params.line_color = {0.9, 0.6, 0.1, alpha};
    cairo_surface_t *s = draw_expose(&params);
    int checked = 0, wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgb g = pixel(guides, x, y);
        if (cairo_image_surface_get_data(coverage)[y * cairo_image_surface_get_stride(coverage) + x] != 255 ||
            std::fabs(g.b - GREY) > 0.5 || std::fabs(g.r - GREY) > 0.5)
          continue;
        ++checked;
        const Rgb p = pixel(s, x, y);
        wrong += std::fabs(p.r - (GREY + alpha * (colour.r - GREY))) > 2 ||
                 std::fabs(p.g - (GREY + alpha * (colour.g - GREY))) > 2 ||
                 std::fabs(p.b - (GREY + alpha * (colour.b - GREY))) > 2;
      }
    EXPECT_GT(checked, 1000) << alpha;
    EXPECT_EQ(wrong, 0) << "alpha " << alpha;
    cairo_surface_destroy(s);
  }
  cairo_surface_destroy(coverage);
  cairo_surface_destroy(guides);
}
