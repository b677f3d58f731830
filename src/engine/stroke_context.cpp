#include "stroke_context.h"

#include <algorithm>

#include "cairo_save_guard.h"
#include "color.h"
#include "image_services.h"
#include "units.h"

namespace {

const cairo_user_data_key_t polygon_sink_key = {};

double finite_or_zero(double v) { return std::isfinite(v) ? v : 0.0; }

double length_in_pixels(double value, int unit, double resolution) {
  return finite_or_zero(units_to_pixels(value, unit, resolution));
}

double sane_spread(double s) { return std::isfinite(s) ? std::clamp(s, 0.0, 100.0) : 0.0; }

// true when the sink only captures and the polygon is not to be filled.
bool report_polygon(cairo_t *cr, const LineOutline &outline, const ColorRGBA &color) {
  auto *sink = static_cast<const PolygonSink *>(cairo_get_user_data(cr, &polygon_sink_key));
  if (!sink) return false;
  double xy[12];
  for (int i = 0; i < outline.n; ++i) {
    double x = outline.x[i], y = outline.y[i];
    cairo_user_to_device(cr, &x, &y);
    xy[2 * i] = x;
    xy[2 * i + 1] = y;
  }
  sink->polygon(sink->data, xy, outline.n, cairo_get_antialias(cr), color);
  return sink->capture_only;
}

// Device-space bounding box of the clip, found once per render.
void find_clip_box(StrokeContext *ctx, cairo_t *cr) {
  ctx->clip_known = true;
  double x1, y1, x2, y2;
  cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
  double xs[4] = {x1, x2, x2, x1}, ys[4] = {y1, y1, y2, y2};
  double bx1 = HUGE_VAL, by1 = HUGE_VAL, bx2 = -HUGE_VAL, by2 = -HUGE_VAL;
  for (int i = 0; i < 4; ++i) {
    cairo_user_to_device(cr, &xs[i], &ys[i]);
    bx1 = std::min(bx1, xs[i]);
    by1 = std::min(by1, ys[i]);
    bx2 = std::max(bx2, xs[i]);
    by2 = std::max(by2, ys[i]);
  }
  // Two device pixels of room for antialiasing; a box that is not finite
  // (an unbounded target) culls nothing.
  constexpr double margin = 2.0;
  if (!all_finite(bx1, by1, bx2, by2)) {
    bx1 = by1 = -HUGE_VAL;
    bx2 = by2 = HUGE_VAL;
  }
  ctx->clip_x1 = bx1 - margin;
  ctx->clip_y1 = by1 - margin;
  ctx->clip_x2 = bx2 + margin;
  ctx->clip_y2 = by2 + margin;
}

// true when the outline, under cr's current transform, lies wholly outside
// the clip box: filling it would change nothing.
bool outside_clip(StrokeContext *ctx, cairo_t *cr, const LineOutline &outline) {
  if (!ctx->clip_known) find_clip_box(ctx, cr);
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  double x1 = HUGE_VAL, y1 = HUGE_VAL, x2 = -HUGE_VAL, y2 = -HUGE_VAL;
  for (int i = 0; i < outline.n; ++i) {
    double x = outline.x[i], y = outline.y[i];
    cairo_matrix_transform_point(&m, &x, &y);
    x1 = std::min(x1, x);
    y1 = std::min(y1, y);
    x2 = std::max(x2, x);
    y2 = std::max(y2, y);
  }
  return x2 < ctx->clip_x1 || x1 > ctx->clip_x2 || y2 < ctx->clip_y1 || y1 > ctx->clip_y2;
}

}  // namespace

StrokeContext *stroke_context_new(const EffectParams *params, const Resolution &given) {
  auto *ctx = g_new0(StrokeContext, 1);
  const double res = resolution_or_default(given).x;
  const int unit = params->area_unit;

  ctx->color = {color_channel_clamped(params->line_color.r), color_channel_clamped(params->line_color.g),
                color_channel_clamped(params->line_color.b), color_channel_clamped(params->line_color.a)};
  ctx->antialias = params->line_antialias;

  ctx->pitch = length_in_pixels(params->line_pitch, unit, res);
  ctx->block_on_pitch = length_in_pixels(params->line_block_on_pitch, unit, res);
  ctx->block_off_pitch = length_in_pixels(params->line_block_off_pitch, unit, res);
  ctx->wave_depth = length_in_pixels(params->line_wave_depth, unit, res);
  ctx->width = length_in_pixels(params->line_width, unit, res);
  ctx->in_margin = length_in_pixels(params->line_in_margin, unit, res);
  ctx->in_length = length_in_pixels(params->line_in_length, unit, res);
  ctx->out_margin = length_in_pixels(params->line_out_margin, unit, res);
  ctx->out_length = length_in_pixels(params->line_out_length, unit, res);
  ctx->wave_npoint = params->line_wave_npoint;
  ctx->wave_type = params->line_wave_type;

  ctx->block_state = 0;
  ctx->pitch_rand = sane_spread(params->line_pitch_rand);
  ctx->block_on_pitch_rand = sane_spread(params->line_block_on_pitch_rand);
  ctx->block_off_pitch_rand = sane_spread(params->line_block_off_pitch_rand);
  ctx->wave_depth_rand = sane_spread(params->line_wave_depth_rand);
  ctx->width_rand = sane_spread(params->line_width_rand);
  ctx->in_margin_rand = sane_spread(params->line_in_margin_rand);
  ctx->out_margin_rand = sane_spread(params->line_out_margin_rand);
  ctx->in_length_rand = sane_spread(params->line_in_length_rand);
  ctx->out_length_rand = sane_spread(params->line_out_length_rand);

  ctx->pitch_gen = g_rand_new_with_seed(params->line_pitch_rand_seed);
  ctx->block_on_gen = g_rand_new_with_seed(params->line_blick_on_pitch_rand_seed);
  ctx->block_off_gen = g_rand_new_with_seed(params->line_blick_off_pitch_rand_seed);
  ctx->wave_depth_gen = g_rand_new_with_seed(params->line_wave_depth_rand_seed);
  ctx->width_gen = g_rand_new_with_seed(params->line_width_rand_seed);
  ctx->in_margin_gen = g_rand_new_with_seed(params->line_in_margin_rand_seed);
  ctx->in_length_gen = g_rand_new_with_seed(params->line_in_length_rand_seed);
  ctx->out_margin_gen = g_rand_new_with_seed(params->line_out_margin_rand_seed);
  ctx->out_length_gen = g_rand_new_with_seed(params->line_out_length_rand_seed);
  return ctx;
}

void stroke_context_free(StrokeContext *ctx) {
  if (!ctx) return;
  for (GRand *gen : {ctx->pitch_gen, ctx->block_on_gen, ctx->block_off_gen, ctx->wave_depth_gen,
                     ctx->width_gen, ctx->in_margin_gen, ctx->in_length_gen, ctx->out_margin_gen,
                     ctx->out_length_gen})
    g_rand_free(gen);
  g_free(ctx);
}

double stroke_spread(double v, double spread, GRand *gen) {
  const double r = g_rand_double(gen);
  return v - v * r * spread / 100.0;
}

double stroke_next_pitch(StrokeContext *ctx, double v) {
  return stroke_spread(v, ctx->pitch_rand, ctx->pitch_gen);
}

bool stroke_blocks_enabled(const StrokeContext *ctx) {
  return ctx->block_on_pitch > 0.0 && ctx->block_off_pitch > 0.0;
}

bool stroke_waves_enabled(const StrokeContext *ctx) {
  return ctx->wave_npoint > 0 && ctx->wave_depth > 0.0;
}


void stroke_block_toggle(StrokeContext *ctx) { ctx->block_state = 1 - ctx->block_state; }

double stroke_next_block_on_length(StrokeContext *ctx) {
  return stroke_spread(ctx->block_on_pitch, ctx->block_on_pitch_rand, ctx->block_on_gen);
}

double stroke_next_block_off_length(StrokeContext *ctx) {
  return stroke_spread(ctx->block_off_pitch, ctx->block_off_pitch_rand, ctx->block_off_gen);
}

bool stroke_block_advance(StrokeContext *ctx, double travelled, double *next_switch) {
  if (travelled >= *next_switch) {
    stroke_block_toggle(ctx);
    *next_switch += ctx->block_state == 1 ? stroke_next_block_on_length(ctx)
                                          : stroke_next_block_off_length(ctx);
  }
  return ctx->block_state == 1;
}

int stroke_wave_npoint(const StrokeContext *ctx) { return ctx->wave_npoint; }

double stroke_wave_shape(const StrokeContext *ctx, double t) {
  if (!std::isfinite(t)) t = 0.0;
  // Fold the phase into 0..1; a phase of exactly 1 stays 1.
  if (t > 1.0) t = t - std::trunc(t);
  if (t < 0.0) t = t + 1.0 - std::trunc(t);

  switch (ctx->wave_type) {
    case 0:  // triangle
      if (t < 0.5) return 2.0 * t;
      if (t == 0.5) return 1.0;
      return 2.0 - 2.0 * t;
    case 2: return (std::cos(2.0 * G_PI * t) + 1.0) * 0.5;
    case 4: return std::sqrt(std::max(0.0, 1.0 - (2.0 * t - 1.0) * (2.0 * t - 1.0)));
    case 5: return 1.0 - std::sqrt(std::max(0.0, 1.0 - (2.0 * t - 1.0) * (2.0 * t - 1.0)));
    case 6: return t;
    case 8: return (t < 0.25 || t > 0.75) ? 1.0 : 0.0;
    case 9: return (t < 0.25 || t > 0.75) ? 0.0 : 1.0;
    default: return 1.0;
  }
}

double stroke_next_wave_offset(StrokeContext *ctx, double t) {
  const double a = stroke_wave_shape(ctx, t) * ctx->wave_depth;
  return stroke_spread(a, ctx->wave_depth_rand, ctx->wave_depth_gen);
}

LineOutline stroke_line_outline(double length, double h, double x0, double li, double mo,
                                double lo) {
  LineOutline o{};
  const double x3 = length - mo;
  if (!(x0 < x3)) return o;  // no room between the margins (or not a number)
  const double x1 = x0 + li;
  const double x2 = x3 - lo;
  if (x1 <= x2) {
    // Point at each tip, full width between the tapers.
    const double xs[6] = {x0, x1, x2, x3, x2, x1};
    const double ys[6] = {0, h, h, 0, -h, -h};
    std::copy(xs, xs + 6, o.x);
    std::copy(ys, ys + 6, o.y);
    o.n = 6;
  } else {
    // The tapers overlap: the side vertex is where the two taper edges meet.
    double xa, ya;
    if (x0 == x1) {
      xa = x0;
      ya = (h / (x2 - x3)) * (x0 - x3);
    } else if (x2 == x3) {
      xa = x3;
      ya = h + (h / (x1 - x0)) * (x3 - x1);
    } else {
      const double ki = h / (x1 - x0);
      const double bi = h - x1 * ki;
      const double ko = h / (x2 - x3);
      xa = (-x3 * ko - bi) / (ki - ko);
      ya = ki * xa + bi;
    }
    const double xs[4] = {x0, xa, x3, xa};
    const double ys[4] = {0, ya, 0, -ya};
    std::copy(xs, xs + 4, o.x);
    std::copy(ys, ys + 4, o.y);
    o.n = 4;
  }
  for (int i = 0; i < o.n; ++i)
    if (!all_finite(o.x[i], o.y[i])) o.n = 0;
  return o;
}

void stroke_draw_line(StrokeContext *ctx, cairo_t *cr, double length) {
  const double h = stroke_spread(ctx->width, ctx->width_rand, ctx->width_gen) * 0.5;
  const double x0 = stroke_spread(ctx->in_margin, ctx->in_margin_rand, ctx->in_margin_gen);
  const double li = stroke_spread(ctx->in_length, ctx->in_length_rand, ctx->in_length_gen);
  const double mo = stroke_spread(ctx->out_margin, ctx->out_margin_rand, ctx->out_margin_gen);
  const double lo = stroke_spread(ctx->out_length, ctx->out_length_rand, ctx->out_length_gen);

  const LineOutline outline = stroke_line_outline(length, h, x0, li, mo, lo);
  if (outline.n == 0) return;
  if (outside_clip(ctx, cr, outline)) return;

  CairoSaveGuard guard(cr);
  switch (ctx->antialias) {
    case 0: cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE); break;
    case 1:  // "Fast" draws with the best antialiasing too
    case 2: cairo_set_antialias(cr, CAIRO_ANTIALIAS_BEST); break;
    default: break;  // left as the caller set it
  }
  if (report_polygon(cr, outline, ctx->color)) return;
  cairo_set_source_rgba(cr, ctx->color.r, ctx->color.g, ctx->color.b, ctx->color.a);
  cairo_move_to(cr, outline.x[0], outline.y[0]);
  for (int i = 1; i < outline.n; ++i) cairo_line_to(cr, outline.x[i], outline.y[i]);
  cairo_close_path(cr);
  cairo_fill(cr);
}

void stroke_attach_polygon_sink(cairo_t *cr, const PolygonSink *sink) {
  cairo_set_user_data(cr, &polygon_sink_key, const_cast<PolygonSink *>(sink), nullptr);
}
