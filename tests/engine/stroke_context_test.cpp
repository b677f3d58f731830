// One line's shape, the spread rule, the wave shapes and the generators of
// the stroke context.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "engine_test_support.h"
#include "stroke_context.h"

namespace {

using ContextPtr = std::unique_ptr<StrokeContext, void (*)(StrokeContext *)>;

ContextPtr make_context(const EffectParams &p) {
  return ContextPtr(stroke_context_new(&p, image_resolution(p.image_id)), stroke_context_free);
}

EffectParams plain_line_params() {
  EffectParams p = defaults_for(640, 480);
  p.line_in_margin = 0;
  p.line_in_margin_rand = 0;
  p.line_in_length = 0;
  p.line_width = 4;
  return p;
}

TEST(StrokeOutline, HexagonWithPointedTipsAndFullWidthBetweenTapers) {
  const LineOutline o = stroke_line_outline(100, 2, 10, 20, 5, 30);
  ASSERT_EQ(o.n, 6);
  const double xs[6] = {10, 30, 65, 95, 65, 30};
  const double ys[6] = {0, 2, 2, 0, -2, -2};
  for (int i = 0; i < 6; ++i) {
    EXPECT_DOUBLE_EQ(o.x[i], xs[i]) << i;
    EXPECT_DOUBLE_EQ(o.y[i], ys[i]) << i;
  }
  // Without tapers the hexagon is the full-width rectangle from x0 to x3.
  const LineOutline r = stroke_line_outline(100, 2, 0, 0, 0, 0);
  ASSERT_EQ(r.n, 6);
  EXPECT_EQ(r.x[1], 0);
  EXPECT_EQ(r.y[1], 2);
  EXPECT_EQ(r.x[2], 100);
  EXPECT_EQ(r.y[2], 2);
}

TEST(StrokeOutline, OverlappingTapersGiveARhombusNarrowerThanTheLine) {
  // The side vertex is where the edge from the inner tip (x0, 0) rising to
  // the full width at x0 + in length meets the edge from the outer tip
  // (x3, 0) rising to it at x3 - out length; margins move both tips.
  const struct {
    double length, in_margin, in_length, out_margin, out_length, xa, ya;
  } cases[] = {
      {10, 0, 10, 0, 10, 5, 1},    // equal tapers: the middle, half the width
      {30, 10, 10, 10, 10, 15, 1},
      {30, 10, 20, 5, 10, 20, 1},  // unequal tapers between margins
      {10, 0, 0, 0, 20, 0, 1},     // no inner taper: at the inner tip
      {20, 5, 0, 5, 20, 5, 1},
      {10, 0, 40, 0, 0, 10, 0.5},  // no outer taper: at the outer tip
      {20, 5, 40, 5, 0, 15, 0.5},
  };
  for (const auto &c : cases) {
    const LineOutline o =
        stroke_line_outline(c.length, 2, c.in_margin, c.in_length, c.out_margin, c.out_length);
    ASSERT_EQ(o.n, 4) << c.length << " " << c.in_margin;
    EXPECT_DOUBLE_EQ(o.x[0], c.in_margin);
    EXPECT_DOUBLE_EQ(o.x[2], c.length - c.out_margin);
    EXPECT_DOUBLE_EQ(o.y[0], 0);
    EXPECT_DOUBLE_EQ(o.y[2], 0);
    for (int side : {1, 3}) {
      EXPECT_DOUBLE_EQ(o.x[side], c.xa) << c.length << " " << c.in_margin << " " << side;
      EXPECT_DOUBLE_EQ(o.y[side], side == 1 ? c.ya : -c.ya) << c.length << " " << c.in_margin;
    }
  }
}

TEST(StrokeOutline, MarginsThatLeaveNoLengthDrawNothing) {
  EXPECT_EQ(stroke_line_outline(100, 2, 60, 0, 40, 0).n, 0);
  EXPECT_EQ(stroke_line_outline(100, 2, 70, 0, 40, 0).n, 0);
  EXPECT_EQ(stroke_line_outline(NAN, 2, 0, 0, 0, 0).n, 0);
  // Zero width with overlapping tapers has no side vertex: nothing, no NaN.
  EXPECT_EQ(stroke_line_outline(10, 0, 0, 10, 0, 10).n, 0);
}

TEST(StrokeContext, DrawLinePlacesTheOutlineInTheCallersFrameAndSetsAntialias) {
  EffectParams p = plain_line_params();
  p.line_out_length = 10;
  for (int aa : {0, 1, 2}) {
    p.line_antialias = aa;
    auto ctx = make_context(p);
    const auto polys = capture_with([&](cairo_t *cr) {
      cairo_translate(cr, 100, 50);
      cairo_rotate(cr, M_PI / 2);
      stroke_draw_line(ctx.get(), cr, 40);
      cairo_identity_matrix(cr);
    });
    ASSERT_EQ(polys.size(), 1u);
    const Polygon &poly = polys[0];
    ASSERT_EQ(poly.v.size(), 6u);
    EXPECT_NEAR(poly.v[0].x, 100, 1e-9);  // start at the frame's origin
    EXPECT_NEAR(poly.v[0].y, 50, 1e-9);
    EXPECT_NEAR(poly.v[3].y, 90, 1e-9);   // end 40 along the rotated x axis
    EXPECT_NEAR(poly.v[2].y, 80, 1e-9);   // outer taper of 10
    EXPECT_NEAR(poly.v[1].x, 98, 1e-9);   // half width 2 across
    EXPECT_EQ(poly.antialias, aa == 0 ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_BEST);
  }
}

TEST(StrokeContext, EveryLineDrawsFiveValuesEvenWhenNothingIsDrawn) {
  EffectParams p = plain_line_params();
  p.line_width_rand = 80;
  p.line_in_margin = 5;
  p.line_in_margin_rand = 80;
  p.line_in_length_rand = 50;
  p.line_in_length = 10;
  p.line_out_margin = 3;
  p.line_out_margin_rand = 60;
  p.line_out_length = 10;
  p.line_out_length_rand = 70;
  auto a = make_context(p), b = make_context(p), c = make_context(p);
  const auto first = capture_with([&](cairo_t *cr) {
    stroke_draw_line(a.get(), cr, 0);  // no room: nothing drawn
    stroke_draw_line(a.get(), cr, 100);
  });
  const auto second = capture_with([&](cairo_t *cr) {
    stroke_draw_line(b.get(), cr, 100);
    stroke_draw_line(b.get(), cr, 100);
  });
  const auto once = capture_with([&](cairo_t *cr) { stroke_draw_line(c.get(), cr, 100); });
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_TRUE(same_polygons(first, {second[1]}));
  EXPECT_FALSE(same_polygons(once, {second[1]}));
}

TEST(StrokeContext, SpreadRuleOnlyShortensAndZeroSpreadIsExact) {
  GRand *gen = g_rand_new_with_seed(7);
  for (int i = 0; i < 1000; ++i) {
    const double v = stroke_spread(10, 100, gen);
    EXPECT_GT(v, 0);
    EXPECT_LE(v, 10);
    EXPECT_EQ(stroke_spread(10, 0, gen), 10);
  }
  g_rand_free(gen);
}

TEST(StrokeContext, LengthsConvertWithTheHorizontalResolution) {
  EffectParams p = defaults_for(640, 480, 300, 150);
  p.area_unit = 2;  // millimetres
  p.line_pitch = 25.4;
  p.line_width = 2.54;
  auto ctx = make_context(p);
  EXPECT_DOUBLE_EQ(ctx->pitch, 300);
  EXPECT_DOUBLE_EQ(ctx->width, 30);
}

TEST(WaveShape, PhaseFoldsIntoOneAndExactlyOneStays) {
  EffectParams p = plain_line_params();
  p.line_wave_type = 6;  // "N": W(t) = t shows the folded phase
  auto ctx = make_context(p);
  EXPECT_DOUBLE_EQ(stroke_wave_shape(ctx.get(), 1.25), 0.25);
  EXPECT_DOUBLE_EQ(stroke_wave_shape(ctx.get(), -0.25), 0.75);
  EXPECT_DOUBLE_EQ(stroke_wave_shape(ctx.get(), -1.25), 0.75);
  EXPECT_DOUBLE_EQ(stroke_wave_shape(ctx.get(), 1.0), 1.0);
  EXPECT_DOUBLE_EQ(stroke_wave_shape(ctx.get(), 2.5), 0.5);
  EXPECT_EQ(stroke_wave_shape(ctx.get(), NAN), 0.0);
  EXPECT_EQ(stroke_wave_shape(ctx.get(), 0.0), 0.0);
}

// Every shape repeats at its period: a phase whole periods before or after
// gives the same value.
TEST(WaveShape, EveryTypeRepeatsAtItsPeriod) {
  EffectParams p = plain_line_params();
  for (int type : {0, 2, 4, 5, 6, 8, 9}) {
    p.line_wave_type = type;
    auto ctx = make_context(p);
    for (double t : {0.1, 0.3, 0.5, 0.7, 0.9})
      for (double k : {-3.0, -1.0, 1.0, 2.0, 1000.0})
        EXPECT_NEAR(stroke_wave_shape(ctx.get(), t + k), stroke_wave_shape(ctx.get(), t), 1e-9)
            << "type " << type << " at " << t << " + " << k;
  }
}

TEST(WaveShape, EveryTypeHasItsShape) {
  EffectParams p = plain_line_params();
  struct Case {
    int type;
    double t, w;
  };
  const Case cases[] = {
      {0, 0.25, 0.5}, {0, 0.5, 1.0},  {0, 0.75, 0.5}, {2, 0.0, 1.0},  {2, 0.5, 0.0},
      {2, 0.25, 0.5}, {4, 0.5, 1.0},  {4, 0.0, 0.0},  {5, 0.5, 0.0},  {5, 0.0, 1.0},
      {6, 0.3, 0.3},  {8, 0.1, 1.0},  {8, 0.25, 0.0}, {8, 0.5, 0.0},  {8, 0.8, 1.0},
      {9, 0.1, 0.0},  {9, 0.5, 1.0},  {9, 0.76, 0.0}, {3, 0.3, 1.0},  {-1, 0.3, 1.0},
  };
  for (const Case &c : cases) {
    p.line_wave_type = c.type;
    auto ctx = make_context(p);
    EXPECT_NEAR(stroke_wave_shape(ctx.get(), c.t), c.w, 1e-12) << c.type << " at " << c.t;
  }
}

// Rendering twice gives the same polygons; a seed changes only its own
// quantity; a spread of 0 makes its seed irrelevant.
TEST(StrokeSeeds, EachSeedChangesOnlyItsOwnQuantity) {
  EffectParams base = defaults_for(640, 480);
  base.line_width_rand = 60;
  base.line_out_margin = 20;
  base.line_out_margin_rand = 60;
  const auto reference = capture(base);
  ASSERT_GT(reference.size(), 100u);
  EXPECT_TRUE(same_polygons(reference, capture(base)));

  EffectParams width_seed = base;
  width_seed.line_width_rand_seed = 7;
  const auto widths = capture(width_seed);
  ASSERT_EQ(widths.size(), reference.size());
  int wider_or_narrower = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    // Tips stay, the side vertices move.
    EXPECT_EQ(widths[i].start().x, reference[i].start().x);
    EXPECT_EQ(widths[i].end().y, reference[i].end().y);
    if (widths[i].v[1].x != reference[i].v[1].x) ++wider_or_narrower;
  }
  EXPECT_GT(wider_or_narrower, 100);

  EffectParams margin_seed = base;
  margin_seed.line_in_margin_rand_seed = 7;
  const auto margins = capture(margin_seed);
  ASSERT_EQ(margins.size(), reference.size());
  int moved = 0;
  for (size_t i = 0; i < margins.size(); ++i) {
    EXPECT_EQ(margins[i].end().x, reference[i].end().x);  // outer tips stay
    if (margins[i].start().x != reference[i].start().x) ++moved;
  }
  EXPECT_GT(moved, 100);

  EffectParams no_spread = base;
  no_spread.line_out_length_rand_seed = 1234;  // its spread is 0
  no_spread.line_wave_depth_rand_seed = 99;    // waves are off
  EXPECT_TRUE(same_polygons(reference, capture(no_spread)));
}

TEST(StrokeAntialias, NoneGivesHardEdgesAndFastDrawsLikeBest) {
  EffectParams p = defaults_for(200, 150);
  p.line_antialias = 0;
  const auto hard = coverage_bytes(p, 200, 150);
  for (unsigned char a : hard) ASSERT_TRUE(a == 0 || a == 255);
  p.line_antialias = 2;
  const auto best = coverage_bytes(p, 200, 150);
  EXPECT_GT(std::count_if(best.begin(), best.end(), [](unsigned char a) { return a > 0 && a < 255; }),
            100);
  p.line_antialias = 1;
  EXPECT_EQ(coverage_bytes(p, 200, 150), best);
}

}  // namespace

// Lines that lie wholly off the target are not filled (they could change no
// pixel); every line that reaches the surface still is, in the same order.
TEST(StrokeCulling, OnlyLinesWhollyOffTheSurfaceAreSkipped) {
  for (int area_type : {AREA_RADIATION, AREA_PARALLEL}) {
    EffectParams p = defaults_for(640, 480);
    p.area_type = area_type;
    const std::vector<Polygon> all = capture(p);

    std::vector<Polygon> filled;
    PolygonSink sink{collect_polygon, &filled};
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 200, 150);
    cairo_t *cr = cairo_create(surface);
    stroke_attach_polygon_sink(cr, &sink);
    render_effect(cr, &p, image_resolution(p.image_id));
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);

    auto reaches_surface = [](const Polygon &poly) {
      double x1 = 1e300, y1 = 1e300, x2 = -1e300, y2 = -1e300;
      for (const auto &v : poly.v) {
        x1 = std::min(x1, v.x);
        y1 = std::min(y1, v.y);
        x2 = std::max(x2, v.x);
        y2 = std::max(y2, v.y);
      }
      return x2 >= 0 && y2 >= 0 && x1 <= 200 && y1 <= 150;
    };
    std::vector<Polygon> expected_kept;
    for (const auto &poly : all)
      if (reaches_surface(poly)) expected_kept.push_back(poly);
    // The kept ones include every line that reaches the surface; the few extra
    // ones lie within the two-pixel antialiasing margin.
    EXPECT_LT(filled.size(), all.size() / 2) << area_type;
    EXPECT_GE(filled.size(), expected_kept.size()) << area_type;
    EXPECT_LE(filled.size(), expected_kept.size() + 8) << area_type;
    size_t j = 0;
    for (const auto &poly : filled) {
      if (j < expected_kept.size() && same_polygons({poly}, {expected_kept[j]})) ++j;
    }
    EXPECT_EQ(j, expected_kept.size()) << area_type;
  }
}
