// The banded layer output: the work area rendered as horizontal bands of a
// few dozen rows, each its own small surface, converted to layer pixels and
// handed to the caller in order, top to bottom.  Memory is bounded by the
// band, not by the work area, there is no size limit below int, and the bands
// are rendered on several threads while the caller receives every band on
// its own thread.
//
// How: the seeded line sequence is run once per pass on the calling thread
// with a capture instead of a fill; it yields every polygon that touches the
// pass, in device coordinates already on cairo's fixed-point grid.  The
// bands of the pass fill the polygons that touch them, in sequence order,
// onto their own surface.  A pass normally covers the whole work area; only
// when its polygons would outgrow a few megabytes it is cut short, and a band
// whose polygons alone are too many is rendered straight from the sequence.
// All the memory of the output (two bands of pixels per thread, one band of
// coverage per worker) is had before the first band is drawn, so a failure
// to allocate reaches the caller before any band does.
// The pixels are byte for byte those of one render of the whole work area
// wherever one surface could hold it.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <functional>

#include "color.h"
#include "effect_params.h"
#include "layer_buffer.h"

// Rows y0 .. y0 + rows - 1 of the layer: rows * width * bpp bytes, rows
// without gaps.  Called on the thread that called render_layer_bands, once for
// every row, top to bottom.  The bytes are valid during the call only.
// Returning false stops the output (the host went away, the user cancelled).
using BandSink = std::function<bool(int y0, int rows, const unsigned char *pixels)>;

enum class BandStatus {
  Done,
  BadSize,   // width or height not positive
  NoMemory,  // the bands' memory (or a band's surface) could not be had
  Stopped,   // the sink returned false
};

// Allocates a band's memory (`bytes` bytes, released with g_free), or
// returns nullptr when it cannot.
using BandAllocator = void *(*)(size_t bytes);

// Knobs for tests and benchmarks; the defaults are what the plug-in uses.
struct BandOptions {
  int band_rows = 0;          // rows per band; 0: layer_band_rows(width)
  int threads = 0;            // 0: layer_output_threads()
  int tile_width = 0;         // widest surface a band uses; 0: cairo's limit
  size_t capture_bytes = 0;   // polygons held per pass; 0: a few megabytes
  BandAllocator allocate = nullptr;  // nullptr: g_try_malloc
  // Work-area pixels to output pixels (the preview's view); nullptr: the
  // identity, the layer itself.  The output is the width x height pixels
  // from (0, 0) under it.
  const cairo_matrix_t *transform = nullptr;
};

// Threads of the layer output: ZIPSTROKE_THREADS when it is a positive
// number, otherwise the processors GLib counts; at most 64.
int layer_output_threads();

// Rows per band for a work area of this width: about 384000 pixels a band
// (64 rows at 6000 pixels), a multiple of 64 (GIMP's tile height) when that
// many fit, at least 1 and at most 256.
int layer_band_rows(int width);

// Renders params->area_type at width x height as layer pixels of `format`
// in `color` (every pixel the colour, the lines in the alpha) and hands
// them to `sink` band by band, on the calling thread; lengths convert with
// `res`.  Worker threads only fill polygons.
BandStatus render_layer_bands(const EffectParams *params, const Resolution &res, int width,
                              int height,
                              LayerFormat format, const ColorRGBA &color, const BandSink &sink,
                              const BandOptions &options = {});
