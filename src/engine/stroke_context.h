// The per-render line sequence state shared by the radial and parallel
// renderers: the line options in pixels, their random spreads, one random
// generator per option, and the drawing of one line as a filled polygon.
#pragma once

#include <cairo.h>
#include <glib.h>

#include <cmath>

#include "effect_params.h"
#include "image_services.h"

// Upper bound on the lines (drawn or skipped) of one render.  The densest
// lines over GIMP's largest work area (a radius of 370727 pixels, half the
// diagonal of 524288 x 524288, pitch 0.5 at 100 % spread) are about 9
// million; anything beyond this is cut off instead of keeping the caller
// busy for minutes.
constexpr long MAX_LINES_PER_RENDER = 1L << 24;

struct StrokeContext {
  ColorRGBA color;
  int antialias;
  double pitch;
  double block_on_pitch;
  double block_off_pitch;
  int wave_npoint;
  double wave_depth;
  int wave_type;
  double width;
  double in_margin;
  double out_margin;
  double in_length;
  double out_length;
  int block_state;

  double pitch_rand;
  double block_on_pitch_rand;
  double block_off_pitch_rand;
  double wave_depth_rand;
  double width_rand;
  double in_margin_rand;
  double out_margin_rand;
  double in_length_rand;
  double out_length_rand;

  GRand *pitch_gen;
  GRand *block_on_gen;
  GRand *block_off_gen;
  GRand *wave_depth_gen;
  GRand *width_gen;
  GRand *in_margin_gen;
  GRand *in_length_gen;
  GRand *out_margin_gen;
  GRand *out_length_gen;

  // Device-space box of the target's clip, widened by the antialiasing
  // margin: a line wholly outside it changes no pixel and is not filled.
  // Found on the first line drawn; a context serves one cairo context only.
  bool clip_known;
  double clip_x1, clip_y1, clip_x2, clip_y2;
};

// Lengths are converted to pixels with the horizontal resolution of `res`.  A
// length that is not a finite number counts as 0, a spread outside 0..100 is
// held to that range (NaN as 0), and colour channels to 0..1.
StrokeContext *stroke_context_new(const EffectParams *params, const Resolution &res);
void stroke_context_free(StrokeContext *ctx);

// v - v*r*s/100 with r the next value of gen.
double stroke_spread(double v, double spread, GRand *gen);
// The next pitch before any renderer-specific rule: the spread rule on `v`
// with the pitch spread and the pitch generator.
double stroke_next_pitch(StrokeContext *ctx, double v);

// Draws one line along the positive x axis from 0 to `length`.  Always draws
// one value from each of the width, in-margin, in-length, out-margin and
// out-length generators, in that order, also when nothing is drawn.
void stroke_draw_line(StrokeContext *ctx, cairo_t *cr, double length);

bool stroke_blocks_enabled(const StrokeContext *ctx);
bool stroke_waves_enabled(const StrokeContext *ctx);
void stroke_block_toggle(StrokeContext *ctx);
double stroke_next_block_on_length(StrokeContext *ctx);
double stroke_next_block_off_length(StrokeContext *ctx);
// One line's step through the on/off blocks, for renderers with blocks
// enabled: once `travelled` reaches *next_switch the state toggles and the
// length of the new block is added to *next_switch (at most one change per
// line).  true when the line lies in an on block and is drawn.
bool stroke_block_advance(StrokeContext *ctx, double travelled, double *next_switch);
int stroke_wave_npoint(const StrokeContext *ctx);
// W(t) in 0..1; no random value drawn.
double stroke_wave_shape(const StrokeContext *ctx, double t);
// Offset in pixels for phase t; one value from the wave generator.
double stroke_next_wave_offset(StrokeContext *ctx, double t);

// The outline of one line in its own frame: hexagon (6 points), rhombus (4),
// or nothing (0) when the margins leave no length.  Used by stroke_draw_line.
struct LineOutline {
  double x[6];
  double y[6];
  int n;
};
LineOutline stroke_line_outline(double length, double half_width, double x0, double li,
                                double mo, double lo);

// Every polygon that stroke_draw_line fills on `cr` is also reported to
// `sink`, in device coordinates (n points, x and y interleaved), together with
// the antialias mode and colour it is filled with.  For tests and for the
// benchmark that replays the very same polygons; `data` must outlive cr's use.
// With `capture_only` the polygons are reported and not filled: the banded
// layer output collects them once and fills them into each band.
struct PolygonSink {
  void (*polygon)(void *data, const double *xy, int n, cairo_antialias_t antialias,
                  const ColorRGBA &color);
  void *data;
  bool capture_only = false;
};
void stroke_attach_polygon_sink(cairo_t *cr, const PolygonSink *sink);

// true when every argument is a finite number.
template <typename... T>
inline bool all_finite(T... values) {
  return (... && std::isfinite(values));
}

// No length the controls allow comes near this many pixels (524288 inches at
// a million dots per inch, widened by the largest oblateness, is 1.1e13);
// geometry beyond it is drawn as nothing rather than searched for hours.
constexpr double MAX_GEOMETRY_PIXELS = 1e14;

// true when every argument is finite and within MAX_GEOMETRY_PIXELS of 0.
template <typename... T>
inline bool all_within_reach(T... values) {
  return (... && (std::isfinite(values) && std::fabs(values) <= MAX_GEOMETRY_PIXELS));
}
