#include <gtest/gtest.h>

#include "effect_params.h"
#include "image_services.h"

TEST(Defaults, Of640x480) {
  image_services_install_fixed(FixedImage{});
  EffectParams p{};
  effect_params_set_defaults(&p);
  EXPECT_DOUBLE_EQ(p.radiation_x, 320);
  EXPECT_DOUBLE_EQ(p.radiation_out_radius, 400);
  EXPECT_DOUBLE_EQ(p.line_in_margin, 100);
}
