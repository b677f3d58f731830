// The engine side of the layer output: the lines rendered at full size as a
// coverage mask (one byte per pixel), turned strip by strip into the pixels of
// an RGB (R, G, B, A) or grey (Y, A) layer in which every pixel carries the
// line colour and only the alpha varies.  Together with one strip of output
// this holds at most about 2 bytes per work-area pixel.
#pragma once

#include <cairo.h>

#include <cstddef>

#include "color.h"
#include "effect_params.h"
#include "image_services.h"

enum class LayerFormat { RGBA, GRAYA };

// Bytes per pixel: 4 or 2.
int layer_format_bpp(LayerFormat format);

// The lines of params->area_type drawn untransformed onto a new, fully
// transparent CAIRO_FORMAT_A8 surface of width x height; its alpha equals the
// alpha of the same lines drawn onto an ARGB32 surface.  The caller destroys
// it.  nullptr when the size is not positive or the surface cannot be
// allocated.
cairo_surface_t *render_coverage(const EffectParams *params, const Resolution &res, int width,
                                 int height);

// Rows y0 .. y0 + rows - 1 of the coverage as layer pixels: rows * width * bpp
// bytes in `out`, rows without gaps.  Writes nothing when the rows do not lie
// inside the surface or the surface is not an A8 image surface.
void coverage_to_pixels(cairo_surface_t *coverage, int y0, int rows, LayerFormat format,
                        const ColorRGBA &color, unsigned char *out);

// The same conversion from raw A8 rows: `rows` rows of `width` coverage
// bytes `stride` apart into rows of width * bpp bytes `out_stride` apart.
void coverage_rows_to_pixels(const unsigned char *coverage, int stride, int width, int rows,
                             LayerFormat format, const ColorRGBA &color, unsigned char *out,
                             size_t out_stride);

// The plain design, kept as the reference for tests and benchmarks: an ARGB32
// surface and one buffer of the whole layer.  A new buffer (g_free) of *len
// bytes, or nullptr when it cannot be allocated.
unsigned char *render_pixels_plain(const EffectParams *params, const Resolution &res, int width,
                                   int height, LayerFormat format, size_t *len);

