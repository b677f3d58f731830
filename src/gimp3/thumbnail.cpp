#include "thumbnail.h"

#include <cstdint>

namespace {

// GIMP's large checks: 8 pixels wide, dark (40 %) where the check indices
// add up to an even number, light (60 %) elsewhere.
constexpr int CHECK_SIZE = 8;
constexpr int CHECK_DARK = 102;
constexpr int CHECK_LIGHT = 153;

guint8 over(int value, int alpha, int check) {
  return static_cast<guint8>((value * alpha + check * (255 - alpha) + 127) / 255);
}

}  // namespace

GdkPixbuf *thumbnail_to_pixbuf(const guint8 *data, gsize size, int width, int height, int bpp) {
  if (!data || width <= 0 || height <= 0 || bpp < 1 || bpp > 4) return nullptr;
  if (static_cast<uint64_t>(width) * height * bpp > size) return nullptr;
  GdkPixbuf *pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  if (!pixbuf) return nullptr;
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  guint8 *pixels = gdk_pixbuf_get_pixels(pixbuf);
  const bool grey = bpp <= 2;
  const bool alpha = bpp == 2 || bpp == 4;
  for (int y = 0; y < height; ++y) {
    const guint8 *in = data + static_cast<size_t>(y) * width * bpp;
    guint8 *out = pixels + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width; ++x, in += bpp, out += 3) {
      const int a = alpha ? in[bpp - 1] : 255;
      const int check = ((x / CHECK_SIZE + y / CHECK_SIZE) % 2 == 0) ? CHECK_DARK : CHECK_LIGHT;
      for (int c = 0; c < 3; ++c) out[c] = over(in[grey ? 0 : c], a, check);
    }
  }
  return pixbuf;
}
