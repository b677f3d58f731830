#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "thumbnail.h"

namespace {

using Rgb = std::array<int, 3>;

Rgb at(GdkPixbuf *pixbuf, int x, int y) {
  const guint8 *p = gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) + x * 3;
  return {p[0], p[1], p[2]};
}

struct PixbufOwner {
  GdkPixbuf *pixbuf;
  ~PixbufOwner() {
    if (pixbuf) g_object_unref(pixbuf);
  }
};

// 9 x 9 pixels of one RGBA value, one opaque blue pixel at (1, 1).
std::vector<guint8> rgba_square(guint8 r, guint8 g, guint8 b, guint8 a) {
  std::vector<guint8> data;
  for (int i = 0; i < 81; ++i) data.insert(data.end(), {r, g, b, a});
  const guint8 blue[] = {0, 0, 255, 255};
  std::copy(blue, blue + 4, data.begin() + (9 + 1) * 4);
  return data;
}

TEST(Thumbnail, OpaqueRgbaPixelsKeepTheirColourInRowsOfThePixbufsStride) {
  const std::vector<guint8> data = rgba_square(10, 200, 30, 255);
  PixbufOwner out{thumbnail_to_pixbuf(data.data(), data.size(), 9, 9, 4)};
  ASSERT_TRUE(out.pixbuf);
  EXPECT_FALSE(gdk_pixbuf_get_has_alpha(out.pixbuf));
  EXPECT_EQ(gdk_pixbuf_get_width(out.pixbuf), 9);
  EXPECT_EQ(gdk_pixbuf_get_height(out.pixbuf), 9);
  EXPECT_EQ(at(out.pixbuf, 0, 0), (Rgb{10, 200, 30}));
  EXPECT_EQ(at(out.pixbuf, 1, 1), (Rgb{0, 0, 255}));
  EXPECT_EQ(at(out.pixbuf, 8, 8), (Rgb{10, 200, 30}));
}

TEST(Thumbnail, TransparencyShowsGimpsLargeChecks) {
  const std::vector<guint8> clear = rgba_square(255, 255, 255, 0);
  PixbufOwner out{thumbnail_to_pixbuf(clear.data(), clear.size(), 9, 9, 4)};
  ASSERT_TRUE(out.pixbuf);
  // Checks of 8 pixels: dark at the corner, light one check to the right or
  // below, dark again diagonally.
  EXPECT_EQ(at(out.pixbuf, 0, 0), (Rgb{102, 102, 102}));
  EXPECT_EQ(at(out.pixbuf, 7, 7), (Rgb{102, 102, 102}));
  EXPECT_EQ(at(out.pixbuf, 8, 0), (Rgb{153, 153, 153}));
  EXPECT_EQ(at(out.pixbuf, 0, 8), (Rgb{153, 153, 153}));
  EXPECT_EQ(at(out.pixbuf, 8, 8), (Rgb{102, 102, 102}));

  // Half-covered white over the dark check: (255 * 128 + 102 * 127) / 255.
  const std::vector<guint8> half = rgba_square(255, 255, 255, 128);
  PixbufOwner mixed{thumbnail_to_pixbuf(half.data(), half.size(), 9, 9, 4)};
  ASSERT_TRUE(mixed.pixbuf);
  EXPECT_EQ(at(mixed.pixbuf, 0, 0), (Rgb{179, 179, 179}));
}

TEST(Thumbnail, GreyGreyAlphaAndRgbLayouts) {
  const guint8 grey[] = {0, 90, 255, 40};
  PixbufOwner g{thumbnail_to_pixbuf(grey, sizeof grey, 2, 2, 1)};
  ASSERT_TRUE(g.pixbuf);
  EXPECT_EQ(at(g.pixbuf, 1, 0), (Rgb{90, 90, 90}));
  EXPECT_EQ(at(g.pixbuf, 1, 1), (Rgb{40, 40, 40}));

  const guint8 grey_alpha[] = {200, 255, 200, 0};
  PixbufOwner ga{thumbnail_to_pixbuf(grey_alpha, sizeof grey_alpha, 2, 1, 2)};
  ASSERT_TRUE(ga.pixbuf);
  EXPECT_EQ(at(ga.pixbuf, 0, 0), (Rgb{200, 200, 200}));
  EXPECT_EQ(at(ga.pixbuf, 1, 0), (Rgb{102, 102, 102}));

  const guint8 rgb[] = {1, 2, 3, 4, 5, 6};
  PixbufOwner c{thumbnail_to_pixbuf(rgb, sizeof rgb, 1, 2, 3)};
  ASSERT_TRUE(c.pixbuf);
  EXPECT_EQ(at(c.pixbuf, 0, 1), (Rgb{4, 5, 6}));
}

TEST(Thumbnail, RefusesWhatItCannotReadWhole) {
  const std::vector<guint8> data(4 * 4 * 4, 0);
  EXPECT_EQ(thumbnail_to_pixbuf(data.data(), data.size() - 1, 4, 4, 4), nullptr);
  EXPECT_EQ(thumbnail_to_pixbuf(data.data(), data.size(), 4, 4, 5), nullptr);
  EXPECT_EQ(thumbnail_to_pixbuf(data.data(), data.size(), 4, 4, 0), nullptr);
  EXPECT_EQ(thumbnail_to_pixbuf(data.data(), data.size(), 0, 4, 4), nullptr);
  EXPECT_EQ(thumbnail_to_pixbuf(data.data(), data.size(), 4, -1, 4), nullptr);
  EXPECT_EQ(thumbnail_to_pixbuf(nullptr, 0, 4, 4, 4), nullptr);
  // A size whose byte count overflows 32 bits is refused, not wrapped.
  EXPECT_EQ(thumbnail_to_pixbuf(data.data(), data.size(), 65536, 65536, 4), nullptr);
}

}  // namespace
