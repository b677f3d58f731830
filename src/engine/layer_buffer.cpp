#include "layer_buffer.h"

#include <glib.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

#include "render.h"

namespace {

constexpr bool LITTLE_ENDIAN_HOST = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

// One pixel's bytes packed in memory order, with the alpha byte left 0, and
// the shift that puts an alpha value into its place.
struct PixelPattern {
  uint32_t base;
  int alpha_shift;
};

PixelPattern rgba_pattern(const ColorRGBA &color) {
  unsigned char rgb[3];
  color_to_bytes(color, rgb);
  if (LITTLE_ENDIAN_HOST)
    return {uint32_t(rgb[0]) | uint32_t(rgb[1]) << 8 | uint32_t(rgb[2]) << 16, 24};
  return {uint32_t(rgb[0]) << 24 | uint32_t(rgb[1]) << 16 | uint32_t(rgb[2]) << 8, 0};
}

void convert_row_rgba(const unsigned char *src, int width, PixelPattern pattern,
                      unsigned char *out) {
  for (int x = 0; x < width; ++x) {
    const uint32_t px = pattern.base | uint32_t(src[x]) << pattern.alpha_shift;
    std::memcpy(out + 4 * static_cast<size_t>(x), &px, 4);
  }
}

void convert_row_graya(const unsigned char *src, int width, unsigned char grey,
                       unsigned char *out) {
  const int base_shift = LITTLE_ENDIAN_HOST ? 0 : 8;
  const int alpha_shift = LITTLE_ENDIAN_HOST ? 8 : 0;
  const uint16_t base = uint16_t(grey << base_shift);
  for (int x = 0; x < width; ++x) {
    const uint16_t px = uint16_t(base | src[x] << alpha_shift);
    std::memcpy(out + 2 * static_cast<size_t>(x), &px, 2);
  }
}

cairo_surface_t *render_surface(cairo_format_t format, const EffectParams *params,
                                const Resolution &res, int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  cairo_surface_t *surface = cairo_image_surface_create(format, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_t *cr = cairo_create(surface);
  render_effect(cr, params, res);
  const cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  return surface;
}

}  // namespace

int layer_format_bpp(LayerFormat format) { return format == LayerFormat::RGBA ? 4 : 2; }

cairo_surface_t *render_coverage(const EffectParams *params, const Resolution &res, int width,
                                 int height) {
  return render_surface(CAIRO_FORMAT_A8, params, res, width, height);
}

void coverage_to_pixels(cairo_surface_t *coverage, int y0, int rows, LayerFormat format,
                        const ColorRGBA &color, unsigned char *out) {
  if (!coverage || cairo_surface_get_type(coverage) != CAIRO_SURFACE_TYPE_IMAGE ||
      cairo_image_surface_get_format(coverage) != CAIRO_FORMAT_A8)
    return;
  const int width = cairo_image_surface_get_width(coverage);
  const int height = cairo_image_surface_get_height(coverage);
  if (y0 < 0 || rows < 0 || rows > height - y0) return;
  const int stride = cairo_image_surface_get_stride(coverage);
  const unsigned char *data = cairo_image_surface_get_data(coverage);
  coverage_rows_to_pixels(data + static_cast<size_t>(y0) * stride, stride, width, rows, format,
                          color, out, static_cast<size_t>(width) * layer_format_bpp(format));
}

void coverage_rows_to_pixels(const unsigned char *coverage, int stride, int width, int rows,
                             LayerFormat format, const ColorRGBA &color, unsigned char *out,
                             size_t out_stride) {
  if (format == LayerFormat::RGBA) {
    const PixelPattern pattern = rgba_pattern(color);
    for (int y = 0; y < rows; ++y)
      convert_row_rgba(coverage + static_cast<size_t>(y) * stride, width, pattern,
                       out + y * out_stride);
  } else {
    const unsigned char grey = color_intensity_byte(color);
    for (int y = 0; y < rows; ++y)
      convert_row_graya(coverage + static_cast<size_t>(y) * stride, width, grey,
                        out + y * out_stride);
  }
}

unsigned char *render_pixels_plain(const EffectParams *params, const Resolution &res, int width,
                                   int height, LayerFormat format, size_t *len) {
  *len = 0;
  std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t *)> surface(
      render_surface(CAIRO_FORMAT_ARGB32, params, res, width, height), cairo_surface_destroy);
  if (!surface) return nullptr;
  const int bpp = layer_format_bpp(format);
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  auto *buffer = static_cast<unsigned char *>(g_try_malloc(pixels * bpp));
  if (!buffer) return nullptr;

  unsigned char rgb[3];
  color_to_bytes(params->line_color, rgb);
  const unsigned char grey = color_intensity_byte(params->line_color);
  const int stride = cairo_image_surface_get_stride(surface.get());
  const unsigned char *data = cairo_image_surface_get_data(surface.get());
  unsigned char *out = buffer;
  for (int y = 0; y < height; ++y) {
    const unsigned char *row = data + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width; ++x) {
      uint32_t argb;
      std::memcpy(&argb, row + 4 * static_cast<size_t>(x), 4);
      const unsigned char alpha = static_cast<unsigned char>(argb >> 24);
      if (format == LayerFormat::RGBA) {
        *out++ = rgb[0];
        *out++ = rgb[1];
        *out++ = rgb[2];
      } else {
        *out++ = grey;
      }
      *out++ = alpha;
    }
  }
  *len = pixels * bpp;
  return buffer;
}
