// Values of the last run fitted to the work area of the next one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "effect_params.h"
#include "image_services.h"
#include "last_values.h"

namespace {

// The defaults of a work area of width x height at the given resolution.
std::unique_ptr<EffectParams> defaults_for(int width, int height, double dpi = 72.0) {
  FixedImage image;
  image.width = width;
  image.height = height;
  image.xres = dpi;
  image.yres = dpi;
  image_services_install_fixed(image);
  auto p = std::make_unique<EffectParams>();
  std::memset(p.get(), 0, sizeof(EffectParams));
  effect_params_init_run_fields(p.get(), 1, 2);
  effect_params_set_defaults(p.get());
  image_services_install_fixed(FixedImage{});
  return p;
}

WorkArea area(int width, int height) { return WorkArea{0, 0, width, height, false}; }

// A record the user has worked on: nothing left at its default.
std::unique_ptr<EffectParams> worked_on(int width, int height, double dpi = 72.0) {
  auto p = defaults_for(width, height, dpi);
  p->radiation_x = 100.0;
  p->radiation_y = 50.0;
  p->radiation_in_radius = 30.0;
  p->radiation_out_radius = 90.0;
  p->radiation_oblateness = 0.25;
  p->parallel_in_x = 10.0;
  p->parallel_in_Y = 20.0;
  p->parallel_out_x = 300.0;
  p->parallel_out_Y = 20.0;
  p->parallel_in_range = 40.0;
  p->parallel_out_range = 60.0;
  p->line_in_margin = 12.0;
  p->line_in_length = 8.0;
  p->line_out_margin = 3.0;
  p->line_out_length = 4.0;
  p->line_color = {0.25, 0.5, 0.75, 1.0};
  p->line_pitch = 7.5;
  p->line_width = 3.5;
  p->line_wave_npoint = 8;
  p->line_wave_depth = 11.0;
  p->line_block_on_pitch = 5.0;
  p->line_block_off_pitch = 6.0;
  p->line_pitch_rand_seed = 321;
  p->line_width_rand_seed = 77;
  p->radiation_out_freehand.active = 1;
  p->radiation_out_freehand.samples[10].factor = 1.5;
  return p;
}

TEST(LastValuesFit, OnAWorkAreaOfTheSameSizeNothingChanges) {
  auto params = worked_on(640, 480);
  // A slanted band, and a value beyond what the controls allow (a block
  // written by hand): both are kept exactly as they are.
  params->parallel_out_Y = 333.0;
  params->radiation_x = 600000.0;
  auto before = std::make_unique<EffectParams>();
  std::memcpy(before.get(), params.get(), sizeof(EffectParams));
  last_values_fit(params.get(), area(640, 480), {72.0, 72.0});
  EXPECT_EQ(std::memcmp(params.get(), before.get(), sizeof(EffectParams)), 0);
  params->radiation_x = 100.0;

  // Pixels hold whatever the resolution.
  last_values_fit(params.get(), area(640, 480), {300.0, 150.0});
  EXPECT_EQ(params->radiation_x, 100.0);
  EXPECT_EQ(params->radiation_out_radius, 90.0);
  EXPECT_EQ(params->parallel_in_range, 40.0);
  EXPECT_EQ(params->line_in_margin, 12.0);
}

TEST(LastValuesFit, TheDefaultsOfOneWorkAreaBecomeTheDefaultsOfAnother) {
  // Even sides, so that no half is truncated; another aspect ratio too.
  for (auto size : {std::pair<int, int>{320, 200}, {1280, 960}, {200, 600}}) {
    auto params = defaults_for(640, 480);
    const auto expected = defaults_for(size.first, size.second);
    last_values_fit(params.get(), area(size.first, size.second), {72.0, 72.0});
    SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second));
    EXPECT_DOUBLE_EQ(params->radiation_x, expected->radiation_x);
    EXPECT_DOUBLE_EQ(params->radiation_y, expected->radiation_y);
    EXPECT_DOUBLE_EQ(params->radiation_in_radius, expected->radiation_in_radius);
    EXPECT_DOUBLE_EQ(params->radiation_out_radius, expected->radiation_out_radius);
    EXPECT_DOUBLE_EQ(params->parallel_in_x, expected->parallel_in_x);
    EXPECT_DOUBLE_EQ(params->parallel_in_Y, expected->parallel_in_Y);
    EXPECT_DOUBLE_EQ(params->parallel_out_x, expected->parallel_out_x);
    EXPECT_DOUBLE_EQ(params->parallel_out_Y, expected->parallel_out_Y);
    EXPECT_DOUBLE_EQ(params->parallel_in_range, expected->parallel_in_range);
    EXPECT_DOUBLE_EQ(params->parallel_out_range, expected->parallel_out_range);
    EXPECT_DOUBLE_EQ(params->line_in_margin, expected->line_in_margin);
    EXPECT_DOUBLE_EQ(params->line_in_length, expected->line_in_length);
    // The spine's ends and middle, and its widths across it.
    for (int i : {0, 16, 32}) {
      EXPECT_NEAR(params->path_spine_points[i].x, expected->path_spine_points[i].x, 1e-9) << i;
      EXPECT_NEAR(params->path_spine_points[i].y, expected->path_spine_points[i].y, 1e-9) << i;
    }
    EXPECT_DOUBLE_EQ(params->path_in_range, expected->path_in_range);
    EXPECT_DOUBLE_EQ(params->path_out_range, expected->path_out_range);
    EXPECT_EQ(params->geometry_width, size.first);
    EXPECT_EQ(params->geometry_height, size.second);
  }
}

TEST(LastValuesFit, LineOptionsAndOutlinesStayAsTheyWere) {
  auto params = worked_on(640, 480);
  const auto before = worked_on(640, 480);
  last_values_fit(params.get(), area(1600, 900), {72.0, 72.0});
  EXPECT_DOUBLE_EQ(params->radiation_x, 250.0);
  EXPECT_DOUBLE_EQ(params->radiation_y, 93.75);
  EXPECT_EQ(std::memcmp(&params->line_color, &before->line_color, sizeof(ColorRGBA)), 0);
  EXPECT_EQ(params->line_pitch, 7.5);
  EXPECT_EQ(params->line_width, 3.5);
  EXPECT_EQ(params->line_wave_npoint, 8);
  EXPECT_EQ(params->line_wave_depth, 11.0);
  EXPECT_EQ(params->line_block_on_pitch, 5.0);
  EXPECT_EQ(params->line_block_off_pitch, 6.0);
  EXPECT_EQ(params->line_pitch_rand_seed, 321);
  EXPECT_EQ(params->line_width_rand_seed, 77);
  EXPECT_EQ(params->line_out_margin, 3.0);
  EXPECT_EQ(params->line_out_length, 4.0);
  EXPECT_EQ(params->radiation_oblateness, 0.25);
  EXPECT_EQ(params->area_unit, 0);
  EXPECT_EQ(std::memcmp(&params->radiation_out_freehand, &before->radiation_out_freehand,
                        sizeof(FreehandOutline)),
            0);
}

TEST(LastValuesFit, ABandsRangeScalesAcrossTheBand) {
  // A horizontal band takes the change of height, an upright one the change
  // of width, a diagonal one what its area and length say.
  auto params = worked_on(640, 480);
  last_values_fit(params.get(), area(320, 960), {72.0, 72.0});
  EXPECT_DOUBLE_EQ(params->parallel_in_range, 80.0);
  EXPECT_DOUBLE_EQ(params->parallel_out_range, 120.0);

  params = worked_on(640, 480);
  params->parallel_in_x = params->parallel_out_x = 100.0;
  params->parallel_in_Y = 0.0;
  params->parallel_out_Y = 480.0;
  last_values_fit(params.get(), area(320, 960), {72.0, 72.0});
  EXPECT_DOUBLE_EQ(params->parallel_in_range, 20.0);
  EXPECT_DOUBLE_EQ(params->parallel_out_Y, 960.0);

  params = worked_on(100, 100);
  params->parallel_in_x = params->parallel_in_Y = 0.0;
  params->parallel_out_x = params->parallel_out_Y = 100.0;
  params->parallel_in_range = 10.0;
  last_values_fit(params.get(), area(200, 100), {72.0, 72.0});
  // The diagonal of length 141.42 becomes one of 223.61; the area doubles.
  EXPECT_NEAR(params->parallel_in_range, 10.0 * 2.0 * std::sqrt(2.0) / std::sqrt(5.0), 1e-9);

  // Its direction is the one in pixels: 1 x 0.5 inches at 72 x 144 dpi is
  // diagonal, for the band and for a spine alike.
  params = worked_on(100, 100);
  params->area_unit = 1;
  params->geometry_yres = 144.0;
  params->parallel_in_x = 1.0;
  params->parallel_in_Y = 0.0;
  params->parallel_out_x = 2.0;
  params->parallel_out_Y = 0.5;
  params->path_spine_points_count = 2;
  params->path_spine_points[0] = {1.0, 0.0};
  params->path_spine_points[1] = {2.0, 0.5};
  params->parallel_in_range = params->path_in_range = 0.25;
  last_values_fit(params.get(), area(200, 100), {72.0, 144.0});
  EXPECT_NEAR(params->parallel_in_range, 0.25 * 2.0 / std::sqrt(2.5), 1e-9);
  EXPECT_NEAR(params->path_in_range, 0.25 * 2.0 / std::sqrt(2.5), 1e-9);
}

TEST(LastValuesFit, LengthsInAPhysicalUnitKeepTheirPixelsAcrossResolutions) {
  auto params = worked_on(640, 480);
  params->area_unit = 1;  // inches, made at 72 dpi
  params->radiation_x = 2.0;
  params->radiation_out_radius = 1.0;
  // The same pixels at 144 x 288 dpi are half as many inches across and a
  // quarter as many down; lengths go by the horizontal resolution.
  const auto before = std::make_unique<EffectParams>(*params);
  last_values_fit(params.get(), area(640, 480), {144.0, 288.0});
  const struct {
    const char *what;
    double EffectParams::*field;
    double factor;
  } kept[] = {
      {"radiation_x", &EffectParams::radiation_x, 0.5},
      {"radiation_y", &EffectParams::radiation_y, 0.25},
      {"radiation_in_radius", &EffectParams::radiation_in_radius, 0.5},
      {"radiation_out_radius", &EffectParams::radiation_out_radius, 0.5},
      {"parallel_in_x", &EffectParams::parallel_in_x, 0.5},
      {"parallel_in_Y", &EffectParams::parallel_in_Y, 0.25},
      {"parallel_out_x", &EffectParams::parallel_out_x, 0.5},
      {"parallel_out_Y", &EffectParams::parallel_out_Y, 0.25},
      {"parallel_in_range", &EffectParams::parallel_in_range, 0.5},
      {"parallel_out_range", &EffectParams::parallel_out_range, 0.5},
      {"line_in_margin", &EffectParams::line_in_margin, 0.5},
      {"line_in_length", &EffectParams::line_in_length, 0.5},
      {"path_in_range", &EffectParams::path_in_range, 0.5},
      {"path_out_range", &EffectParams::path_out_range, 0.5},
  };
  for (const auto &k : kept)
    EXPECT_DOUBLE_EQ(params.get()->*k.field, (*before).*k.field * k.factor) << k.what;
  const int last = before->path_spine_points_count - 1;
  EXPECT_DOUBLE_EQ(params->path_spine_points[last].x, before->path_spine_points[last].x * 0.5);
  EXPECT_DOUBLE_EQ(params->path_spine_points[last].y, before->path_spine_points[last].y * 0.25);
  EXPECT_EQ(params->geometry_xres, 144.0);
  last_values_fit(params.get(), area(640, 480), {144.0, 144.0});
  // And a larger work area at that resolution scales them as pixels would.
  last_values_fit(params.get(), area(1280, 960), {144.0, 144.0});
  EXPECT_DOUBLE_EQ(params->radiation_x, 2.0);
  EXPECT_DOUBLE_EQ(params->radiation_out_radius, 1.0);

  // A resolution no image has says nothing: the lengths stay.
  for (const double unknown : {0.0, RESOLUTION_MAX_DPI * 2, double(NAN)}) {
    params = worked_on(640, 480);
    params->area_unit = 1;
    params->radiation_x = 0.25;
    params->geometry_xres = unknown;
    last_values_fit(params.get(), area(640, 480), {144.0, 72.0});
    EXPECT_EQ(params->radiation_x, 0.25) << unknown;
  }

  // The lowest and the highest resolution GIMP takes are resolutions too.
  for (const auto &[edge, inside] : {std::pair{RESOLUTION_MIN_DPI, RESOLUTION_MIN_DPI * 2},
                                     std::pair{RESOLUTION_MAX_DPI, RESOLUTION_MAX_DPI / 2}}) {
    for (const auto &[from, to] : {std::pair{edge, inside}, std::pair{inside, edge}}) {
      params = worked_on(640, 480);
      params->area_unit = 1;
      params->radiation_x = 0.25;
      params->geometry_xres = params->geometry_yres = from;
      last_values_fit(params.get(), area(640, 480), {to, to});
      EXPECT_DOUBLE_EQ(params->radiation_x, 0.25 * from / to) << from << " dpi to " << to;
    }
  }
}

TEST(LastValuesFit, ScaledValuesAreClampedAsTheControlsClampThem) {
  auto params = worked_on(100, 100);
  params->radiation_out_radius = 300000.0;
  params->radiation_x = -300000.0;
  last_values_fit(params.get(), area(1000, 1000), {72.0, 72.0});
  EXPECT_EQ(params->radiation_out_radius, 524288.0);
  EXPECT_EQ(params->radiation_x, -524288.0);
  params = worked_on(100, 100);
  params->path_spine_points[1] = {-300000.0, 300000.0};
  params->path_out_range = 300000.0;
  last_values_fit(params.get(), area(1000, 1000), {72.0, 72.0});
  EXPECT_EQ(params->path_spine_points[1].x, -524288.0);
  EXPECT_EQ(params->path_spine_points[1].y, 524288.0);
  EXPECT_EQ(params->path_out_range, 524288.0);
  EXPECT_TRUE(std::isfinite(params->parallel_in_range));
}

TEST(LastValuesFit, ARecordThatDoesNotKnowItsWorkAreaIsLeftAsItIs) {
  // Either side unknown is as good as both.
  for (const auto &old_size : {std::pair{0, 480}, std::pair{640, 0}, std::pair{-1, -1}}) {
    auto partly = worked_on(640, 480);
    partly->geometry_width = old_size.first;
    partly->geometry_height = old_size.second;
    last_values_fit(partly.get(), area(100, 100), {72.0, 72.0});
    EXPECT_EQ(partly->radiation_x, 100.0) << old_size.first << "x" << old_size.second;
    EXPECT_EQ(partly->parallel_in_range, 40.0) << old_size.first << "x" << old_size.second;
  }
  // Nor is anything fitted to a work area without extent on one side.
  for (const auto &new_size : {std::pair{0, 100}, std::pair{100, 0}}) {
    auto flat = worked_on(640, 480);
    last_values_fit(flat.get(), area(new_size.first, new_size.second), {72.0, 72.0});
    EXPECT_EQ(flat->radiation_x, 100.0) << new_size.first << "x" << new_size.second;
    EXPECT_EQ(flat->radiation_y, 50.0) << new_size.first << "x" << new_size.second;
  }
  auto params = worked_on(640, 480);
  params->geometry_width = 0;
  params->geometry_height = 0;
  last_values_fit(params.get(), area(100, 100), {72.0, 72.0});
  EXPECT_EQ(params->radiation_x, 100.0);
  EXPECT_EQ(params->radiation_out_radius, 90.0);
  // From now on it knows it.
  EXPECT_EQ(params->geometry_width, 100);
  EXPECT_EQ(params->geometry_height, 100);
  last_values_fit(params.get(), area(200, 200), {72.0, 72.0});
  EXPECT_EQ(params->radiation_x, 200.0);
}

TEST(LastValuesFit, TheDefaultsKnowTheirWorkArea) {
  const auto p = defaults_for(123, 45, 300.0);
  EXPECT_EQ(p->geometry_width, 123);
  EXPECT_EQ(p->geometry_height, 45);
  EXPECT_EQ(p->geometry_xres, 300.0);
  EXPECT_EQ(p->geometry_yres, 300.0);
}

}  // namespace
