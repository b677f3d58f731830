// Values the controls never let through, as a caller might still pass them
// (an old last-values block, a foreign record): every render ends, reads only
// its own tables, leaves the cairo context usable and hands cairo only finite
// numbers.  Run under AddressSanitizer and UBSan, these also catch reads past
// the wave table or the 1000 samples.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "engine_test_support.h"
#include "layer_buffer.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

struct Hostile {
  const char *name;
  std::function<void(EffectParams &)> spoil;
};

const std::vector<Hostile> &hostile_settings() {
  static const std::vector<Hostile> cases = {
      {"pitch type 7", [](EffectParams &p) { p.line_pitch_type = 7; }},
      {"pitch type -1", [](EffectParams &p) { p.line_pitch_type = -1; }},
      {"5 wave points", [](EffectParams &p) { p.line_wave_npoint = 5; p.radiation_oblateness = 0.4; }},
      {"3 wave points", [](EffectParams &p) { p.line_wave_npoint = 3; p.radiation_oblateness = 0.4; }},
      {"1 wave point", [](EffectParams &p) { p.line_wave_npoint = 1; }},
      {"huge wave count", [](EffectParams &p) { p.line_wave_npoint = 1 << 30; p.radiation_oblateness = -2; }},
      {"negative wave count", [](EffectParams &p) { p.line_wave_npoint = -8; }},
      {"oblateness 1", [](EffectParams &p) { p.radiation_oblateness = 1; }},
      {"oblateness 1.5", [](EffectParams &p) { p.radiation_oblateness = 1.5; }},
      {"oblateness NaN", [](EffectParams &p) { p.radiation_oblateness = NaN; }},
      {"pitch NaN", [](EffectParams &p) { p.line_pitch = NaN; }},
      {"pitch inf", [](EffectParams &p) { p.line_pitch = Inf; }},
      {"pitch 0", [](EffectParams &p) { p.line_pitch = 0; p.line_pitch_rand = 0; }},
      {"pitch negative", [](EffectParams &p) { p.line_pitch = -10; }},
      {"width NaN", [](EffectParams &p) { p.line_width = NaN; }},
      {"width inf", [](EffectParams &p) { p.line_width = Inf; }},
      {"width 0", [](EffectParams &p) { p.line_width = 0; p.line_in_length = 500; p.line_out_length = 500; }},
      {"margins NaN", [](EffectParams &p) { p.line_in_margin = NaN; p.line_out_margin = NaN; }},
      {"tapers -inf", [](EffectParams &p) { p.line_in_length = -Inf; p.line_out_length = Inf; }},
      {"wave depth NaN", [](EffectParams &p) { p.line_wave_npoint = 8; p.line_wave_depth = NaN; }},
      {"wave depth inf", [](EffectParams &p) { p.line_wave_npoint = 8; p.line_wave_depth = Inf; }},
      {"blocks NaN", [](EffectParams &p) { p.line_block_on_pitch = NaN; p.line_block_off_pitch = 5; }},
      {"blocks tiny", [](EffectParams &p) { p.line_block_on_pitch = 1e-300; p.line_block_off_pitch = 1e-300; }},
      {"spreads NaN", [](EffectParams &p) { p.line_pitch_rand = NaN; p.line_width_rand = NaN; }},
      {"spreads huge", [](EffectParams &p) { p.line_pitch_rand = 1e9; p.line_width_rand = -1e9; }},
      {"centre NaN", [](EffectParams &p) { p.radiation_x = NaN; p.parallel_in_x = NaN; }},
      {"centre inf", [](EffectParams &p) { p.radiation_y = Inf; p.parallel_out_Y = -Inf; }},
      {"radii NaN", [](EffectParams &p) { p.radiation_in_radius = NaN; p.parallel_in_range = NaN; }},
      {"radii huge", [](EffectParams &p) { p.radiation_out_radius = 1e308; p.parallel_out_range = 1e308; }},
      {"radii negative", [](EffectParams &p) { p.radiation_out_radius = -400; p.parallel_in_range = -480; }},
      {"in range 0", [](EffectParams &p) { p.parallel_in_range = 0; }},
      {"out range 0", [](EffectParams &p) { p.parallel_out_range = 0; }},
      {"unknown unit", [](EffectParams &p) { p.area_unit = 99; }},
      {"colour NaN", [](EffectParams &p) { p.line_color = {NaN, Inf, -1, 7}; }},
      {"antialias 9", [](EffectParams &p) { p.line_antialias = 9; }},
      {"wave type 77", [](EffectParams &p) { p.line_wave_npoint = 8; p.line_wave_type = 77; }},
      {"outline counts", [](EffectParams &p) {
         for (FreehandOutline *o : {&p.radiation_in_freehand, &p.radiation_out_freehand,
                                    &p.parallel_in_freehand, &p.parallel_out_freehand}) {
           o->active = 1;
           o->count = 1 << 30;
         }
       }},
      {"outline counts negative", [](EffectParams &p) {
         for (FreehandOutline *o : {&p.radiation_in_freehand, &p.parallel_out_freehand}) {
           o->active = 1;
           o->count = -5;
         }
       }},
      {"outline samples NaN", [](EffectParams &p) {
         for (FreehandOutline *o : {&p.radiation_in_freehand, &p.radiation_out_freehand,
                                    &p.parallel_in_freehand, &p.parallel_out_freehand}) {
           o->active = 7;
           for (auto &s : o->samples) s = {NaN, NaN};
         }
       }},
      {"outline factors inf", [](EffectParams &p) {
         for (FreehandOutline *o : {&p.radiation_in_freehand, &p.parallel_in_freehand}) {
           o->active = 1;
           for (auto &s : o->samples) s.factor = Inf;
         }
       }},
  };
  return cases;
}

TEST(Guards, EveryHostileRecordRendersSafelyInBothAreas) {
  for (const Hostile &h : hostile_settings()) {
    for (int area : {AREA_RADIATION, AREA_PARALLEL}) {
      SCOPED_TRACE(std::string(h.name) + (area ? " parallel" : " radial"));
      EffectParams p = defaults_for(160, 120);
      p.area_type = area;
      h.spoil(p);
      capture(p);  // ends; context without error; every vertex finite
      cairo_surface_t *cov = render_coverage(&p, image_resolution(p.image_id), 160, 120);
      ASSERT_NE(cov, nullptr);
      EXPECT_EQ(cairo_surface_status(cov), CAIRO_STATUS_SUCCESS);
      cairo_surface_destroy(cov);
    }
  }
}

TEST(Guards, DegenerateGeometryDrawsNothing) {
  EffectParams p = defaults_for(160, 120);
  p.radiation_oblateness = 1;
  EXPECT_EQ(capture(p).size(), 0u);
  p.radiation_oblateness = 0;
  p.line_pitch = 0;
  EXPECT_EQ(capture(p).size(), 0u);
  p.line_pitch = 10;
  p.radiation_out_radius = 1e300;  // beyond any size the controls allow
  EXPECT_EQ(capture(p).size(), 0u);
  p = defaults_for(160, 120);
  p.area_type = AREA_PARALLEL;
  p.line_pitch = 0;  // a pitch share of 0 would never cross the band
  EXPECT_EQ(capture(p).size(), 0u);
  p.line_pitch = 10;
  p.parallel_in_range = 0;
  EXPECT_EQ(capture(p).size(), 0u);
  p.parallel_in_range = 120;
  p.parallel_out_range = -120;  // pitch measured on a negative range
  EXPECT_EQ(capture(p).size(), 0u);
}

TEST(Guards, OtherAreaTypesDrawNothing) {
  EffectParams p = defaults_for(160, 120);
  p.area_type = 2;
  EXPECT_EQ(capture(p).size(), 0u);
  p.area_type = -1;
  EXPECT_EQ(capture(p).size(), 0u);
}

TEST(Guards, PitchTypeOtherThanInMeasuresOnTheOuterEllipse) {
  EffectParams p = defaults_for(640, 480);
  const auto out = capture(p);
  p.line_pitch_type = 5;
  EXPECT_TRUE(same_polygons(out, capture(p)));
}

}  // namespace

namespace {

// The preview draws through a scaling transform, the layer without one: the
// renderers must build on the caller's transform, never replace it.
TEST(CallerTransform, ScaledRendersGiveTheSameLinesScaled) {
  for (int area : {AREA_RADIATION, AREA_PARALLEL}) {
    EffectParams p = defaults_for(640, 480);
    p.area_type = area;
    p.line_wave_npoint = 8;
    const auto full = capture(p);
    const auto scaled = capture_with([&](cairo_t *cr) {
      cairo_translate(cr, 7, 3);
      cairo_scale(cr, 0.25, 0.25);
      render_effect(cr, &p, image_resolution(p.image_id));
      cairo_identity_matrix(cr);
    });
    ASSERT_EQ(scaled.size(), full.size());
    for (size_t i = 0; i < full.size(); ++i)
      for (size_t k = 0; k < full[i].v.size(); ++k) {
        EXPECT_NEAR(scaled[i].v[k].x, 7 + full[i].v[k].x / 4, 1e-9);
        EXPECT_NEAR(scaled[i].v[k].y, 3 + full[i].v[k].y / 4, 1e-9);
      }
  }
}

}  // namespace
