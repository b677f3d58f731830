// The guides without a widget: what each handle grabs and what its drag
// hands back to the dialog, on an image whose two resolutions differ.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "area_pixels.h"
#include "guides.h"
#include "units.h"

namespace {

// 640 x 480 pixels at 300 dpi across and 600 down, lengths in millimetres.
constexpr double XRES = 300, YRES = 600;
double mmx(double px) { return px * 25.4 / XRES; }
double mmy(double px) { return px * 25.4 / YRES; }

struct Drag {
  const char *what;
  int32_t area;
  Point2 from, to;  // work-area pixels
  std::vector<GuideEdit> edits;
  Point2 band_out = {540, 240};  // the band's out centre: level, upright or slanted
  double oblateness = 0;
};

// Radial: centre (320, 240), circles of 80 and 150 pixels.  Band: in centre
// (100, 240) with range 200, out centre (540, 240) with range 300 (or as the
// row says: upright below the in centre, slanted along (0.6, 0.8)).  Path: a
// spine (100, 300), (320, 300), (540, 300), 120 pixels wide.
const std::vector<Drag> &drags() {
  using F = GuideField;
  static const std::vector<Drag> table = {
      {"centre", AREA_RADIATION, {320, 240}, {360, 300}, {{F::RadiationX, mmx(360)}, {F::RadiationY, mmy(300)}}},
      {"inner ellipse, straight up", AREA_RADIATION, {320, 160}, {320, 140}, {{F::RadiationInRadius, mmx(100)}}},
      {"inner handle", AREA_RADIATION, {402, 247}, {440, 240}, {{F::RadiationInRadius, mmx(120)}}},
      {"outer ellipse, straight down", AREA_RADIATION, {320, 390}, {320, 410},
       {{F::RadiationOutRadius, mmx(170)}, {F::RadiationOblateness, 0}}},
      // A third wider than high: 191.48 pixels out at 20 degrees, pulled through the centre.
      {"outer ellipse, through the centre", AREA_RADIATION, {500, 305.5}, {329.4, 243.4},
       {{F::RadiationOutRadius, 0}, {F::RadiationOblateness, 1}}, {540, 240}, 0.25},
      {"oblateness handle, straight up", AREA_RADIATION, {470, 240}, {320, 40}, {{F::RadiationOblateness, 0.25}}},
      {"band", AREA_PARALLEL, {320, 240}, {350, 280},
       {{F::ParallelInX, mmx(130)}, {F::ParallelInY, mmy(280)}, {F::ParallelOutX, mmx(570)}, {F::ParallelOutY, mmy(280)}}},
      {"in centre", AREA_PARALLEL, {100, 240}, {90, 260}, {{F::ParallelInX, mmx(90)}, {F::ParallelInY, mmy(260)}}},
      {"out centre", AREA_PARALLEL, {540, 240}, {560, 200}, {{F::ParallelOutX, mmx(560)}, {F::ParallelOutY, mmy(200)}}},
      {"in side", AREA_PARALLEL, {100, 190}, {130, 170}, {{F::ParallelInX, mmx(130)}, {F::ParallelInY, mmy(240)}}},
      {"out side", AREA_PARALLEL, {540, 150}, {520, 160}, {{F::ParallelOutX, mmx(520)}, {F::ParallelOutY, mmy(240)}}},
      {"in range, straight up", AREA_PARALLEL, {100, 140}, {100, 110}, {{F::ParallelInRange, mmx(260)}}},
      {"out range, straight down", AREA_PARALLEL, {540, 390}, {540, 400}, {{F::ParallelOutRange, mmx(320)}}},
      {"lower edge, outwards", AREA_PARALLEL, {320, 365}, {320, 375},
       {{F::ParallelInRange, mmx(220)}, {F::ParallelOutRange, mmx(320)}}},
      {"upper edge, outwards", AREA_PARALLEL, {320, 115}, {320, 105},
       {{F::ParallelInRange, mmx(220)}, {F::ParallelOutRange, mmx(320)}}},
      {"in side of an upright band", AREA_PARALLEL, {150, 240}, {170, 260},
       {{F::ParallelInX, mmx(100)}, {F::ParallelInY, mmy(260)}}, {100, 440}},
      {"out side of a slanted band", AREA_PARALLEL, {280, 605}, {310, 645},
       {{F::ParallelOutX, mmx(370)}, {F::ParallelOutY, mmy(600)}}, {340, 560}},
      {"edge of a slanted band, outwards", AREA_PARALLEL, {120, 475}, {112, 481},
       {{F::ParallelInRange, mmx(220)}, {F::ParallelOutRange, mmx(320)}}, {340, 560}},
      {"spine's start", AREA_PATH, {100, 300}, {90, 320}, {{F::PathSpineX, mmx(90), 0}, {F::PathSpineY, mmy(320), 0}}},
      {"spine's middle", AREA_PATH, {320, 300}, {330, 310}, {{F::PathSpineX, mmx(330), 1}, {F::PathSpineY, mmy(310), 1}}},
      {"spine's end", AREA_PATH, {540, 300}, {560, 280}, {{F::PathSpineX, mmx(560), 2}, {F::PathSpineY, mmy(280), 2}}},
      {"start width, square to the spine", AREA_PATH, {100, 240}, {130, 220}, {{F::PathInRange, mmx(160)}}},
      {"end width, square to the spine", AREA_PATH, {540, 360}, {520, 400}, {{F::PathOutRange, mmx(200)}}},
  };
  return table;
}

class Guides : public ::testing::Test {
 protected:
  EffectParams params{};

  void SetUp() override {
    FixedImage image;
    image.xres = XRES;
    image.yres = YRES;
    image_services_install_fixed(image);
    effect_params_init_run_fields(&params, 1, 2);
    effect_params_set_defaults(&params);
    params.area_unit = UNIT_MM;
    params.radiation_x = mmx(320);
    params.radiation_y = mmy(240);
    params.radiation_in_radius = mmx(80);
    params.radiation_out_radius = mmx(150);
    params.radiation_oblateness = 0;
    params.parallel_in_x = mmx(100);
    params.parallel_in_Y = mmy(240);
    params.parallel_in_range = mmx(200);
    params.parallel_out_x = mmx(540);
    params.parallel_out_Y = mmy(240);
    params.parallel_out_range = mmx(300);
    params.path_spine_points_count = 3;
    params.path_spine_points[0] = {mmx(100), mmy(300)};
    params.path_spine_points[1] = {mmx(320), mmy(300)};
    params.path_spine_points[2] = {mmx(540), mmy(300)};
    params.path_in_range = params.path_out_range = mmx(120);
  }
  void TearDown() override { image_services_install_fixed(FixedImage{}); }

  GuideInput input() {
    GuideInput in{&params, area_resolution(&params), area_shapes(&params), {}, FREEHAND_NONE};
    cairo_matrix_init_identity(&in.view.to_device);
    in.view.scale = 1;
    return in;
  }
  // The edits of a press at `from` and one motion to `to`.
  GuideEdits drag(const Drag &d) {
    params.area_type = d.area;
    params.parallel_out_x = mmx(d.band_out.x);
    params.parallel_out_Y = mmy(d.band_out.y);
    params.radiation_oblateness = d.oblateness;
    const Guide *guide = guide_for(d.area);
    const GuideDrag grabbed = guide->press(input(), d.from);
    return guide->motion(input(), grabbed, d.to);
  }
};

}  // namespace

// A drag edits its own handle's fields and no others: the out side never the
// in side's, a range never a position.
TEST_F(Guides, EveryHandleEditsItsOwnFields) {
  for (const Drag &d : drags()) {
    const GuideEdits edits = drag(d);
    std::vector<std::string> got, want;
    const auto name = [](const GuideEdit &e) {
      return guide_field_key(e.field) + std::string(e.field >= GuideField::PathSpineX ? "#" + std::to_string(e.index) : "");
    };
    for (int i = 0; i < edits.count; ++i) got.push_back(name(edits.items[i]));
    for (const GuideEdit &e : d.edits) want.push_back(name(e));
    EXPECT_EQ(got, want) << d.what;
  }
}

// Horizontal lengths (x values, radii, ranges) go back into millimetres with
// the horizontal resolution, vertical ones (y values) with the vertical one.
TEST_F(Guides, EveryHandleConvertsWithItsAxisResolution) {
  for (const Drag &d : drags()) {
    const GuideEdits edits = drag(d);
    ASSERT_EQ(edits.count, static_cast<int>(d.edits.size())) << d.what;
    for (int i = 0; i < edits.count; ++i)
      EXPECT_NEAR(edits.items[i].value, d.edits[i].value, 1e-9)
          << d.what << ": " << guide_field_key(d.edits[i].field);
  }
}

// Each edge reacts on both sides of its guide, 5 screen pixels off, at far
// and close zooms; 12 pixels off it does not.
TEST_F(Guides, EveryEdgeReactsOnBothSides) {
  struct Edge {
    const char *what;
    int32_t area;
    Point2 on, across;  // a point of the guide, away from every handle, and the unit normal there
    GuideHandle handle;
  };
  const double c = std::cos(0.6), s = std::sin(0.6);
  const double len = std::hypot(440, 50);
  const Edge edges[] = {
      {"outer ellipse", AREA_RADIATION, {320 + 150 * c, 240 + 150 * s}, {c, s}, GuideHandle::RadialOuter},
      {"inner ellipse", AREA_RADIATION, {320 - 80 * c, 240 - 80 * s}, {c, s}, GuideHandle::RadialInner},
      {"in side", AREA_PARALLEL, {100, 190}, {1, 0}, GuideHandle::BandInSide},
      {"out side", AREA_PARALLEL, {540, 300}, {1, 0}, GuideHandle::BandOutSide},
      {"lower edge", AREA_PARALLEL, {320, 365}, {-50 / len, 440 / len}, GuideHandle::BandEdges},
      {"upper edge", AREA_PARALLEL, {320, 115}, {-50 / len, 440 / len}, GuideHandle::BandEdges},
  };
  for (double k : {0.5, 1.0, 4.0}) {
    for (const Edge &e : edges) {
      params.area_type = e.area;
      GuideInput in = input();
      cairo_matrix_init_scale(&in.view.to_device, k, k);
      in.view.scale = k;
      for (double off : {-5.0, 5.0, -12.0, 12.0}) {
        const Point2 p = e.on + (off / k) * e.across;
        const GuideHandle want = std::fabs(off) < 6 ? e.handle : GuideHandle::None;
        EXPECT_EQ(guide_for(e.area)->press(in, p).handle, want)
            << e.what << " at scale " << k << ", " << off << " px off";
      }
    }
  }
}

// The Path guides show the spine and the band's two edges where the lines
// lie (the spine in millimetres at unequal resolutions), and grab nothing.
TEST_F(Guides, PathGuidesShowTheSpineAndTheBandsEdges) {
  params.area_type = AREA_PATH;
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 480);
  cairo_t *cr = cairo_create(surface);
  guide_for(AREA_PATH)->draw(cr, input());
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  const unsigned char *data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const auto alpha = [&](int x, int y) { return data[y * stride + 4 * x + 3]; };
  for (int x : {150, 250, 420, 500}) {
    EXPECT_GT(alpha(x, 240), 0) << x;  // an edge, 60 pixels up
    EXPECT_GT(alpha(x, 360), 0) << x;  // the other edge
    EXPECT_EQ(alpha(x, 300 - 30), 0) << x;  // nothing in between
  }
  EXPECT_EQ(alpha(320, 301), 255);  // the middle point's dot
  cairo_surface_destroy(surface);
}

// A record with a value that is no number draws no guides and grabs
// nothing, and leaves the context it was given fit to draw on.
TEST_F(Guides, AValueThatIsNoNumberDrawsAndGrabsNothing) {
  const struct {
    int32_t area;
    double *field;
  } cases[] = {{AREA_RADIATION, &params.radiation_y}, {AREA_PARALLEL, &params.parallel_out_Y},
               {AREA_PATH, &params.path_spine_points[1].y}};
  for (const auto &c : cases) {
    SetUp();
    params.area_type = c.area;
    *c.field = NAN;
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 480);
    cairo_t *cr = cairo_create(surface);
    guide_for(c.area)->draw(cr, input());
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS) << c.area;
    cairo_surface_flush(surface);
    const unsigned char *data = cairo_image_surface_get_data(surface);
    EXPECT_EQ(std::count(data, data + 480 * cairo_image_surface_get_stride(surface), 0),
              480 * cairo_image_surface_get_stride(surface))
        << c.area;
    EXPECT_EQ(guide_for(c.area)->press(input(), {320, 300}).handle, GuideHandle::None) << c.area;
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
}
