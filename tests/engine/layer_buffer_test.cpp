// The layer pixels: the coverage mask converted in strips gives exactly the
// pixels of the plain design (full ARGB32 surface, full buffer).
#include <gtest/gtest.h>

#include <memory>

#include "engine_test_support.h"
#include "cairo_ptr.h"
#include "layer_buffer.h"

namespace {

std::vector<unsigned char> strips(const EffectParams &p, int w, int h, LayerFormat format,
                                  int rows_per_strip) {
  SurfacePtr coverage(render_coverage(&p, image_resolution(p.image_id), w, h));
  EXPECT_NE(coverage, nullptr);
  const size_t row_bytes = static_cast<size_t>(w) * layer_format_bpp(format);
  std::vector<unsigned char> all;
  std::vector<unsigned char> strip(row_bytes * rows_per_strip);
  for (int y = 0; y < h; y += rows_per_strip) {
    const int rows = std::min(rows_per_strip, h - y);
    coverage_to_pixels(coverage.get(), y, rows, format, p.line_color, strip.data());
    all.insert(all.end(), strip.begin(), strip.begin() + rows * row_bytes);
  }
  return all;
}

std::vector<unsigned char> plain(const EffectParams &p, int w, int h, LayerFormat format) {
  size_t len = 0;
  unsigned char *buffer = render_pixels_plain(&p, image_resolution(p.image_id), w, h, format, &len);
  EXPECT_NE(buffer, nullptr);
  std::vector<unsigned char> v(buffer, buffer + len);
  g_free(buffer);
  return v;
}

TEST(LayerBuffer, StripsOfTheCoverageEqualThePlainDesign) {
  const int w = 203, h = 151;  // odd sizes: the A8 stride has padding
  for (int area : {AREA_RADIATION, AREA_PARALLEL})
    for (int aa : {0, 1, 2})
      for (double alpha : {1.0, 0.5, 0.3})
        for (LayerFormat format : {LayerFormat::RGBA, LayerFormat::GRAYA}) {
          EffectParams p = defaults_for(w, h);
          p.area_type = area;
          p.line_antialias = aa;
          p.line_color = {0.2, 0.4, 0.6, alpha};
          p.line_width = 3;
          SCOPED_TRACE(testing::Message() << "area " << area << " aa " << aa << " alpha "
                                          << alpha << " bpp " << layer_format_bpp(format));
          const auto reference = plain(p, w, h, format);
          ASSERT_EQ(reference.size(), size_t(w) * h * layer_format_bpp(format));
          EXPECT_EQ(strips(p, w, h, format, 64), reference);
          EXPECT_EQ(strips(p, w, h, format, 7), reference);
          EXPECT_EQ(strips(p, w, h, format, h), reference);
        }
}

TEST(LayerBuffer, EveryPixelCarriesTheLineColourAndOnlyAlphaVaries) {
  EffectParams p = defaults_for(120, 90);
  p.line_color = {1.0, 0.5, 0.0, 1.0};
  const auto rgba = strips(p, 120, 90, LayerFormat::RGBA, 16);
  int covered = 0, empty = 0;
  for (size_t i = 0; i < rgba.size(); i += 4) {
    ASSERT_EQ(rgba[i], 255);
    ASSERT_EQ(rgba[i + 1], 128);  // 127.5 rounds up
    ASSERT_EQ(rgba[i + 2], 0);
    covered += rgba[i + 3] == 255;
    empty += rgba[i + 3] == 0;
  }
  EXPECT_GT(covered, 20);
  EXPECT_GT(empty, 1000);
  const auto graya = strips(p, 120, 90, LayerFormat::GRAYA, 16);
  for (size_t i = 0; i < graya.size(); i += 2) ASSERT_EQ(graya[i], 152);  // 0.595 * 255
  for (size_t i = 0; i < graya.size() / 2; ++i) ASSERT_EQ(graya[2 * i + 1], rgba[4 * i + 3]);
}

TEST(LayerBuffer, ColourBytesAreTheEditorsConversions) {
  unsigned char rgb[3];
  color_to_bytes({0.5, 1.2, -0.3, 1}, rgb);
  EXPECT_EQ(rgb[0], 128);
  EXPECT_EQ(rgb[1], 255);
  EXPECT_EQ(rgb[2], 0);
  color_to_bytes({NAN, 0.2, 0.998, 1}, rgb);
  EXPECT_EQ(rgb[0], 0);
  EXPECT_EQ(rgb[1], 51);
  EXPECT_EQ(rgb[2], 254);
  EXPECT_EQ(color_intensity_byte({1, 0, 0, 1}), 77);  // 76.5
  EXPECT_EQ(color_intensity_byte({0, 1, 0, 1}), 150);
  EXPECT_EQ(color_intensity_byte({0, 0, 1, 1}), 28);
  EXPECT_EQ(color_intensity_byte({2, 2, 2, 1}), 255);
  EXPECT_EQ(color_intensity_byte({-1, 0.5, 0.5, 1}), 13);  // 0.05: red is not clamped first
}

// Lines that never overlap: a half-transparent colour gives at most half of
// the full coverage on every pixel.
TEST(LayerBuffer, HalfTransparentColourHalvesTheCoverageOfSingleLines) {
  EffectParams p = defaults_for(160, 120);
  p.area_type = AREA_PARALLEL;
  p.line_pitch_rand = 0;  // lines 10 apart, 2 wide
  SCOPED_TRACE("opaque");
  const auto full = strips(p, 160, 120, LayerFormat::RGBA, 32);
  p.line_color.a = 0.5;
  const auto half = strips(p, 160, 120, LayerFormat::RGBA, 32);
  int covered = 0;
  for (size_t i = 3; i < full.size(); i += 4) {
    EXPECT_LE(half[i], (full[i] + 1) / 2) << i;
    EXPECT_GE(half[i] + 1, full[i] / 2) << i;
    covered += full[i] == 255;
  }
  EXPECT_GT(covered, 500);
  // The colour bytes are the line colour also where alpha is 0.
  EXPECT_EQ(half[0], 0);
}

TEST(LayerBuffer, RowsOutsideTheSurfaceAreRefused) {
  EffectParams p = defaults_for(40, 30);
  SurfacePtr coverage(render_coverage(&p, image_resolution(p.image_id), 40, 30));
  ASSERT_NE(coverage, nullptr);
  std::vector<unsigned char> out(40 * 4 * 31, 0xAB);
  coverage_to_pixels(coverage.get(), 25, 6, LayerFormat::RGBA, p.line_color, out.data());
  coverage_to_pixels(coverage.get(), -1, 2, LayerFormat::RGBA, p.line_color, out.data());
  coverage_to_pixels(coverage.get(), 0, -3, LayerFormat::RGBA, p.line_color, out.data());
  for (unsigned char b : out) ASSERT_EQ(b, 0xAB);
  // Not a mask at all.
  SurfacePtr argb(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 30));
  coverage_to_pixels(argb.get(), 0, 30, LayerFormat::RGBA, p.line_color, out.data());
  for (unsigned char b : out) ASSERT_EQ(b, 0xAB);
  // Zero rows write nothing either.
  coverage_to_pixels(coverage.get(), 30, 0, LayerFormat::RGBA, p.line_color, out.data());
  for (unsigned char b : out) ASSERT_EQ(b, 0xAB);
}

TEST(LayerBuffer, SizesThatCannotBeRenderedGiveNothing) {
  EffectParams p = defaults_for(40, 30);
  EXPECT_EQ(render_coverage(&p, image_resolution(p.image_id), 0, 30), nullptr);
  EXPECT_EQ(render_coverage(&p, image_resolution(p.image_id), 40, -1), nullptr);
  EXPECT_EQ(render_coverage(&p, image_resolution(p.image_id), 40000, 10), nullptr);  // wider than an image surface can be
  size_t len = 7;
  EXPECT_EQ(render_pixels_plain(&p, image_resolution(p.image_id), 0, 0, LayerFormat::RGBA, &len), nullptr);
  EXPECT_EQ(len, 0u);
}

}  // namespace
