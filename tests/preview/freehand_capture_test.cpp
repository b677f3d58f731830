// Freehand capture without a widget: each motion writes the samples it spans,
// in the direction it went, and a Reset gives each outline its own plain
// samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "area_pixels.h"
#include "freehand_capture.h"

namespace {

constexpr double DEG = M_PI / 180;

class FreehandCapture : public ::testing::Test {
 protected:
  EffectParams params{};

  // 500 x 500 at 72 dpi: inner circle of 100 and outer of 200 pixels about
  // (250, 250); the band runs from x 0 to 500 with t = (500 - y) / 500, and
// so does the Path band along its straight spine.
  void SetUp() override {
    FixedImage image;
    image.width = image.height = 500;
    image_services_install_fixed(image);
    effect_params_init_run_fields(&params, 1, 2);
    effect_params_set_defaults(&params);
    params.radiation_in_radius = 100;
    params.radiation_out_radius = 200;
    params.radiation_oblateness = 0;
    for (FreehandTarget t : {FREEHAND_RADIATION_IN, FREEHAND_RADIATION_OUT, FREEHAND_PARALLEL_IN,
                             FREEHAND_PARALLEL_OUT, FREEHAND_PATH_IN, FREEHAND_PATH_OUT})
      freehand_reset_outline(&params, t);
    params.path_spine_points_count = 3;
    params.path_spine_points[0] = {0, 250};
    params.path_spine_points[1] = {250, 250};
    params.path_spine_points[2] = {500, 250};
    params.path_in_range = params.path_out_range = 500;
  }
  void TearDown() override { image_services_install_fixed(FixedImage{}); }
};

Point2 polar(double degrees, double distance) {
  return {250 + distance * std::cos(degrees * DEG), 250 + distance * std::sin(degrees * DEG)};
}

// The sample nearest the angle (radial) or the position (parallel).
int sample_at(FreehandTarget target, double where) {
  const double step = freehand_is_radial(target) ? 360.0 / FREEHAND_SAMPLES : 1.0 / FREEHAND_SAMPLES;
  return static_cast<int>(std::lround(where / step)) % FREEHAND_SAMPLES;
}

}  // namespace

// One motion, forwards or backwards, long or shorter than a sample's step:
// the samples it spans take the pointer's distance, interpolated from the
// end at the smaller angle (or position) to the other; a short motion writes
// the one sample it reaches.
TEST_F(FreehandCapture, AMotionWritesTheSamplesItSpansInItsDirection) {
  struct Check {
    double where;  // degrees, or position across the band
    double factor;
    double tolerance;
  };
  struct Motion {
    const char *what;
    FreehandTarget target;
    Point2 from, to;
    std::vector<Check> checks;
    int written;  // samples changed
    std::vector<SpinePoint> spine = {};  // a Path spine that turns, 100 wide
  };
  const double t = 0.001;  // one parallel step
  const Motion motions[] = {
      {"radial, counter-clockwise", FREEHAND_RADIATION_IN, polar(10, 120), polar(20, 140),
       {{10.08, 1.2, 1e-9}, {15.12, 1.3, 0.002}, {19.8, 1.4, 0.01}, {9.72, 1.0, 0}, {20.16, 1.0, 0}}, 28},
      {"radial, clockwise", FREEHAND_RADIATION_IN, polar(20, 140), polar(10, 120),
       {{10.08, 1.2, 1e-9}, {15.12, 1.3, 0.002}, {19.8, 1.4, 0.01}}, 28},
      {"radial, across angle 0", FREEHAND_RADIATION_OUT, polar(350, 240), polar(10, 360),
       {{350.28, 1.2, 1e-9}, {0, 1.5, 0.01}, {10.08, 1.8, 0.01}, {349.92, 1.0, 0}}, 56},
      {"radial, from angle 0", FREEHAND_RADIATION_IN, polar(0, 120), polar(5, 130),
       {{0, 1.2, 1e-9}, {5.04, 1.0, 0}}, 14},
      {"radial, shorter than a step", FREEHAND_RADIATION_IN, polar(5.73, 150), polar(5.9, 150),
       {{5.76, 1.5, 1e-9}}, 1},
      {"parallel, in side, up the band", FREEHAND_PARALLEL_IN, {250, 375}, {125, 250},
       {{0.25, 0.5, 1e-9}, {0.375, 0.625, 1e-9}, {0.5, 0.75, 1e-9}}, 251},
      {"parallel, in side, down the band", FREEHAND_PARALLEL_IN, {125, 250}, {250, 375},
       {{0.25, 0.5, 1e-9}, {0.375, 0.625, 1e-9}, {0.5, 0.75, 1e-9}}, 251},
      {"parallel, from the band's edge", FREEHAND_PARALLEL_IN, {250, 500}, {125, 375},
       {{0, 0.5, 1e-9}, {0.25, 0.75, 1e-9}}, 251},
      {"parallel, to the band's edge", FREEHAND_PARALLEL_IN, {125, 375}, {250, 500},
       {{0, 0.5, 1e-9}, {0.25, 0.75, 1e-9}}, 251},
      {"parallel, out side", FREEHAND_PARALLEL_OUT, {250, 375}, {125, 250},
       {{0.25, 0.5, 1e-9}, {0.5, 0.25, 1e-9}}, 251},
      {"parallel, shorter than a step", FREEHAND_PARALLEL_OUT, {100, 250}, {100, 250 - 0.4 * t * 500},
       {{0.5, 0.2, 1e-9}}, 1},
      // A straight spine along the parallel band, as wide: the same samples.
      {"path, in side, up the band", FREEHAND_PATH_IN, {250, 375}, {125, 250},
       {{0.25, 0.5, 1e-9}, {0.375, 0.625, 1e-9}, {0.5, 0.75, 1e-9}}, 251},
      {"path, out side, down the band", FREEHAND_PATH_OUT, {125, 250}, {250, 375},
       {{0.25, 0.5, 1e-9}, {0.5, 0.25, 1e-9}}, 251},
      {"path, from the band's edge", FREEHAND_PATH_IN, {250, 500}, {125, 375},
       {{0, 0.5, 1e-9}, {0.25, 0.75, 1e-9}}, 251},
      // On the spine a quarter of the way along, before it turns down.
      {"path, along a spine that turns", FREEHAND_PATH_OUT, {125, 250}, {125, 249.95},
       {{0.5, 0.25, 1e-3}}, 1, {{0, 250}, {250, 250}, {250, 500}}},
  };
  for (const Motion &m : motions) {
    SetUp();
    params.area_type = freehand_is_radial(m.target)   ? AREA_RADIATION
                       : freehand_is_path(m.target) ? AREA_PATH
                                                    : AREA_PARALLEL;
    if (!m.spine.empty()) {
      params.path_spine_points_count = static_cast<int>(m.spine.size());
      std::copy(m.spine.begin(), m.spine.end(), params.path_spine_points);
      params.path_in_range = params.path_out_range = 100;
    }
    const AreaShapes shapes = area_shapes(&params);
    FreehandStroke stroke;
    freehand_stroke_begin(stroke, m.from);
    freehand_stroke_to(stroke, &params, m.target, shapes, m.to);
    const FreehandOutline &o = *freehand_outline(&params, m.target);
    int written = 0;
    for (const FreehandSample &sample : o.samples) written += sample.factor != 1.0;
    EXPECT_EQ(written, m.written) << m.what;
    for (const Check &c : m.checks)
      EXPECT_NEAR(o.samples[sample_at(m.target, c.where)].factor, c.factor, c.tolerance)
          << m.what << " at " << c.where;
  }
}

// Reset gives a radial outline samples every 2 pi / 1000 about the centre and
// a parallel one every 1/1000 across the band, all at factor 1.
TEST_F(FreehandCapture, ResetGivesEachOutlineItsOwnSamples) {
  struct Reset {
    FreehandTarget target;
    double step;
  };
  const Reset resets[] = {{FREEHAND_RADIATION_IN, RADIAL_SAMPLE_STEP},
                          {FREEHAND_RADIATION_OUT, RADIAL_SAMPLE_STEP},
                          {FREEHAND_PARALLEL_IN, 1.0 / FREEHAND_SAMPLES},
                          {FREEHAND_PARALLEL_OUT, 1.0 / FREEHAND_SAMPLES},
                          {FREEHAND_PATH_IN, 1.0 / FREEHAND_SAMPLES},
                          {FREEHAND_PATH_OUT, 1.0 / FREEHAND_SAMPLES}};
  for (const Reset &r : resets) {
    FreehandOutline &o = *freehand_outline(&params, r.target);
    o.count = 3;
    for (FreehandSample &sample : o.samples) sample = {0.5, 0.25};
    freehand_reset_outline(&params, r.target);
    EXPECT_EQ(o.count, FREEHAND_SAMPLES) << r.target;
    for (int i : {0, 1, 500, 999}) {
      EXPECT_NEAR(o.samples[i].pos, i * r.step, 1e-12) << r.target << " sample " << i;
      EXPECT_EQ(o.samples[i].factor, 1.0) << r.target << " sample " << i;
    }
  }
}

// A radial stroke ended within a twelfth of a turn of where it began closes
// the gap between its ends; one that stops shorter leaves the gap alone.
TEST_F(FreehandCapture, ANearlyRoundStrokeClosesItsGap) {
  for (const int end : {320, 335}) {
    SetUp();
    params.area_type = AREA_RADIATION;
    const AreaShapes shapes = area_shapes(&params);
    FreehandStroke stroke;
    freehand_stroke_begin(stroke, polar(0, 150));
    for (int degrees = 5; degrees <= end; degrees += 5)
      freehand_stroke_to(stroke, &params, FREEHAND_RADIATION_IN, shapes, polar(degrees, 150));
    freehand_stroke_end(stroke, &params, FREEHAND_RADIATION_IN, shapes);
    const FreehandOutline &o = *freehand_outline(&params, FREEHAND_RADIATION_IN);
    EXPECT_EQ(o.samples[sample_at(FREEHAND_RADIATION_IN, 345)].factor, end > 330 ? 1.5 : 1.0) << end;
  }
}

// A stroke round the centre and across the band, ended: it draws on the
// shown area's outlines only, never on the other area type's.
TEST_F(FreehandCapture, OnlyTheShownAreasOutlinesAreDrawnOn) {
  std::vector<Point2> points;
  for (int degrees = 0; degrees <= 360; degrees += 10) points.push_back(polar(degrees, 150));
  for (const Point2 p : {Point2{-20, 250}, Point2{250, 250}, Point2{520, 250}}) points.push_back(p);
  for (const int32_t area : {AREA_RADIATION, AREA_PARALLEL})
    for (FreehandTarget target : {FREEHAND_RADIATION_IN, FREEHAND_RADIATION_OUT,
                                  FREEHAND_PARALLEL_IN, FREEHAND_PARALLEL_OUT}) {
      SetUp();
      params.area_type = area;
      const AreaShapes shapes = area_shapes(&params);
      FreehandStroke stroke;
      freehand_stroke_begin(stroke, points[0]);
      for (const Point2 p : points) freehand_stroke_to(stroke, &params, target, shapes, p);
      freehand_stroke_end(stroke, &params, target, shapes);
      int written = 0;
      for (const FreehandSample &s : freehand_outline(&params, target)->samples)
        written += s.factor != 1.0;
      EXPECT_EQ(written > 0, freehand_is_radial(target) == (area == AREA_RADIATION))
          << "area " << area << ", outline " << target;
    }
}

// A stroke drawing the spine becomes it at its release, point for point
// (thinning is the spine's own rule); one that never moved leaves it be.
TEST_F(FreehandCapture, ASpineStrokeBecomesTheSpine) {
  params.area_type = AREA_PATH;
  const AreaShapes shapes = area_shapes(&params);
  FreehandStroke stroke;
  freehand_stroke_begin(stroke, {10, 400});
  freehand_stroke_end(stroke, &params, FREEHAND_PATH_SPINE, shapes);
  EXPECT_EQ(params.path_spine_points_count, 3);
  freehand_stroke_begin(stroke, {10, 400});
  for (Point2 p : {Point2{200, 300}, Point2{400, 100}, Point2{450, 50}})
    freehand_stroke_to(stroke, &params, FREEHAND_PATH_SPINE, shapes, p);
  freehand_stroke_end(stroke, &params, FREEHAND_PATH_SPINE, shapes);
  ASSERT_EQ(params.path_spine_points_count, 4);
  EXPECT_EQ(params.path_spine_points[0].x, 10);
  EXPECT_EQ(params.path_spine_points[1].y, 300);
  EXPECT_EQ(params.path_spine_points[3].x, 450);
}
