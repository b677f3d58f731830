#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "effect_params.h"
#include "image_services.h"
#include "path_spine.h"
#include "units.h"

namespace {

TEST(Units, MillimetresAt300Dpi) {
  EXPECT_NEAR(pixels_to_units(10, UNIT_MM, 300), 0.84667, 1e-5);
  EXPECT_NEAR(pixels_to_units(320, UNIT_MM, 300), 27.0933, 1e-4);
  EXPECT_NEAR(pixels_to_units(2, UNIT_MM, 300), 0.1693, 1e-4);
  EXPECT_NEAR(units_to_pixels(0.5, UNIT_MM, 300), 5.9055, 1e-4);
  EXPECT_DOUBLE_EQ(units_to_pixels(pixels_to_units(10, UNIT_MM, 300), UNIT_MM, 300), 10);
}

TEST(Units, InchesPointsPicasAt72Dpi) {
  EXPECT_NEAR(pixels_to_units(10, UNIT_INCH, 72), 0.1389, 1e-4);
  EXPECT_DOUBLE_EQ(units_to_pixels(0.5, UNIT_INCH, 72), 36);
  EXPECT_DOUBLE_EQ(pixels_to_units(10, UNIT_POINT, 72), 10);
  EXPECT_DOUBLE_EQ(units_to_pixels(1, UNIT_PICA, 72), 12);
}

TEST(Units, ThePathsPointsAndWidthsConvertWithTheirAxis) {
  auto p = std::make_unique<EffectParams>();
  p->path_in_range = 300;
  p->path_out_range = 600;
  p->path_spine_points_count = 2;
  p->path_spine_points[0] = {300, 150};
  p->path_spine_points[1] = {-30, 15};
  p->path_spine_points[2] = {7, 7};  // past the count: left alone
  const Resolution res{300, 150};
  path_convert_units(p.get(), UNIT_PIXEL, UNIT_MM, res);
  EXPECT_DOUBLE_EQ(p->path_in_range, 25.4);
  EXPECT_DOUBLE_EQ(p->path_out_range, 50.8);
  EXPECT_DOUBLE_EQ(p->path_spine_points[0].x, 25.4);
  EXPECT_DOUBLE_EQ(p->path_spine_points[0].y, 25.4);
  EXPECT_DOUBLE_EQ(p->path_spine_points[1].x, -2.54);
  EXPECT_EQ(p->path_spine_points[2].x, 7);
  path_convert_units(p.get(), UNIT_MM, UNIT_INCH, res);
  EXPECT_DOUBLE_EQ(p->path_spine_points[1].y, 0.1);
  path_convert_units(p.get(), UNIT_INCH, UNIT_PIXEL, res);
  EXPECT_NEAR(p->path_spine_points[1].x, -30, 1e-12);
  EXPECT_NEAR(p->path_spine_points[1].y, 15, 1e-12);
  EXPECT_NEAR(p->path_out_range, 600, 1e-12);

  // Clamping and scaling stop at the count as well.
  p->path_spine_points[2] = {7e6, 7e6};
  path_spine_clamp(p.get(), UNIT_PIXEL, res);
  path_scale(p.get(), 2, 2, 1, UNIT_PIXEL, res);
  EXPECT_EQ(p->path_spine_points[2].x, 7e6);
}

// A path of the image becomes the spine: less the work area's corner, in
// millimetres by each axis's resolution, thinned evenly along its length; a
// path without two distinct points leaves the spine as it was.
TEST(Units, AnImagesPathBecomesTheSpine) {
  auto p = std::make_unique<EffectParams>();
  p->area_unit = UNIT_MM;
  p->path_spine_points_count = 2;
  p->path_spine_points[0] = {1, 2};
  const Resolution res{300, 150};
  for (const std::vector<SpinePoint> &unusable :
       {std::vector<SpinePoint>{}, {{5, 5}}, {{5, 5}, {5, 5}, {NAN, 9}}}) {
    EXPECT_FALSE(path_spine_set_from_pixels(p.get(), unusable, -100, -50, res));
    EXPECT_EQ(p->path_spine_points_count, 2);
    EXPECT_EQ(p->path_spine_points[0].x, 1);
  }
  ASSERT_TRUE(path_spine_set_from_pixels(p.get(), {{400, 200}, {400, 200}, {700, 350}}, -100, -50, res));
  EXPECT_EQ(p->path_spine_points_count, 2);
  EXPECT_DOUBLE_EQ(p->path_spine_points[0].x, 25.4);
  EXPECT_DOUBLE_EQ(p->path_spine_points[0].y, 25.4);
  EXPECT_DOUBLE_EQ(p->path_spine_points[1].x, 50.8);
  EXPECT_DOUBLE_EQ(p->path_spine_points[1].y, 50.8);

  // 3001 points crowded at the start of an L of length 1500: 1000 points, a
  // step of 1.5 apart along it, the corner's ends kept.
  std::vector<SpinePoint> crowded;
  for (int i = 0; i <= 3000; ++i) crowded.push_back({1000.0 * std::pow(i / 3000.0, 3), 100});
  crowded.push_back({1000, 600});
  const std::vector<SpinePoint> even = path_spine_resample(crowded, PATH_SPINE_MAX);
  ASSERT_EQ(even.size(), 1000u);
  EXPECT_EQ(even.front().x, 0);
  EXPECT_EQ(even.back().y, 600);
  for (size_t i = 1; i < even.size(); ++i) {
    const double step = std::fabs(even[i].x - even[i - 1].x) + std::fabs(even[i].y - even[i - 1].y);
    ASSERT_NEAR(step, 1500.0 / 999, 1e-9) << i;
  }
  // As many points as a spine holds are kept as they are.
  std::vector<SpinePoint> full;
  for (int i = 0; i < PATH_SPINE_MAX; ++i) full.push_back({i * i * 0.5, 0});
  EXPECT_EQ(path_spine_resample(full, PATH_SPINE_MAX)[1].x, 0.5);
}

TEST(Units, PixelsAndUnknownUnitsPassThrough) {
  for (int unit : {0, -1, 5, 1000}) {
    EXPECT_EQ(units_to_pixels(12.5, unit, 300), 12.5) << unit;
    EXPECT_EQ(pixels_to_units(12.5, unit, 300), 12.5) << unit;
  }
}

TEST(Units, UnusableResolutionsAreTaken72Dpi) {
  for (double res : {0.0, -5.0, double(NAN), double(INFINITY)}) {
    EXPECT_DOUBLE_EQ(pixels_to_units(72, UNIT_INCH, res), 1) << res;
    EXPECT_DOUBLE_EQ(units_to_pixels(1, UNIT_INCH, res), 72) << res;
  }
  FixedImage image;
  image.xres = 0;
  image.yres = NAN;
  image_services_install_fixed(image);
  const Resolution r = image_resolution(1);
  EXPECT_EQ(r.x, 72);
  EXPECT_EQ(r.y, 72);
  image_services_install_fixed(FixedImage{});
}

// Every resolution the image editor allows is the image's own, up to its
// limit of 2^20 dpi; only what no image can have counts as 72 dpi.
TEST(Units, EveryResolutionAnImageCanHaveIsKept) {
  const struct {
    double x, y, want_x, want_y;
  } rows[] = {
      {1048576.0, 1000000.5, 1048576.0, 1000000.5},
      {1048576.5, 0.005, 72.0, 0.005},
      {0.005, 1048576.0, 0.005, 1048576.0},
      {1000000.5, 1048576.5, 1000000.5, 72.0},
      {1.0, 0.0, 1.0, 72.0},
  };
  // Over whatever services were in force.
  image_services_install({[](int32_t, int *w, int *h) { *w = *h = 1; },
                          [](int32_t, int *, int *, int *, int *) { return false; },
                          [](int32_t, double *x, double *y) { *x = *y = 1; }});
  for (const auto &row : rows) {
    FixedImage image;
    image.xres = row.x;
    image.yres = row.y;
    image_services_install_fixed(image);
    const Resolution r = image_resolution(1);
    EXPECT_EQ(r.x, row.want_x) << row.x;
    EXPECT_EQ(r.y, row.want_y) << row.y;
  }
  image_services_install_fixed(FixedImage{});
}

}  // namespace
