#include "zipstroke_parallel.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "cairo_save_guard.h"
#include "image_services.h"
#include "stroke_context.h"
#include "units.h"

ParallelGeometry parallel_geometry_in_pixels(const EffectParams *params, const Resolution &given) {
  const Resolution res = resolution_or_default(given);
  const int unit = params->area_unit;
  return {units_to_pixels(params->parallel_in_x, unit, res.x),
          units_to_pixels(params->parallel_in_Y, unit, res.y),
          units_to_pixels(params->parallel_in_range, unit, res.x),
          units_to_pixels(params->parallel_out_x, unit, res.x),
          units_to_pixels(params->parallel_out_Y, unit, res.y),
          units_to_pixels(params->parallel_out_range, unit, res.x)};
}

double freehand_parallel_factor(const FreehandOutline *outline, double v) {
  const int count = std::min<int>(outline->count, FREEHAND_SAMPLES);
  if (count <= 0) return 0.0;
  v = std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
  for (int i = 0; i < count; ++i) {
    if (outline->samples[i].pos >= v) {
      const double k = outline->samples[i].factor;
      return std::isfinite(k) ? k : 1.0;
    }
  }
  return 0.0;
}

// Each outline takes away the share of the line it does not keep.
OutlineCut parallel_outline_cut(const FreehandOutline &in, const FreehandOutline &out, double v,
                                double length) {
  OutlineCut cut;
  if (in.active) {
    cut.in_shift = (1.0 - freehand_parallel_factor(&in, v)) * length;
    cut.adjustment = -cut.in_shift;
  }
  if (out.active) cut.adjustment -= (1.0 - freehand_parallel_factor(&out, v)) * length;
  return cut;
}

void parallel_draw_line(cairo_t *cr, const EffectParams *params, const Resolution &res) {
  const ParallelGeometry g = parallel_geometry_in_pixels(params, res);
  // A band without extent on the in side has nowhere to step.
  if (!all_within_reach(g.ix, g.iy, g.ir, g.ox, g.oy, g.orr) || !(g.ir > 0.0)) return;
  const double dx = g.ox - g.ix, dy = g.oy - g.iy;
  const double band_length = std::sqrt(dx * dx + dy * dy);
  const double alpha = std::atan2(dy, dx);
  // Pitch type 0 measures on the in side, anything else on the out side.
  const double ref = params->line_pitch_type == 0 ? g.ir : g.orr;

  std::unique_ptr<StrokeContext, void (*)(StrokeContext *)> ctx(stroke_context_new(params, res),
                                                                stroke_context_free);
  const double p1 = ctx->pitch / ref;
  const double nominal_step = g.ir * p1;
  // A step that is not positive would never cross the band: draw nothing.
  if (!(nominal_step > 0.0) || !std::isfinite(nominal_step) || !std::isfinite(band_length))
    return;

  const bool waves = stroke_waves_enabled(ctx.get());
  const double period = waves ? g.ir / static_cast<double>(stroke_wave_npoint(ctx.get()) - 1) : 0.0;
  const bool blocks = stroke_blocks_enabled(ctx.get());
  const FreehandOutline &in_outline = params->parallel_in_freehand;
  const FreehandOutline &out_outline = params->parallel_out_freehand;

  CairoSaveGuard guard(cr);
  // x runs across the band, y along it: the in centre is the origin and the
  // out centre lies at (0, band_length).
  cairo_translate(cr, g.ix, g.iy);
  cairo_rotate(cr, alpha);
  cairo_rotate(cr, -G_PI / 2.0);

  double s = 0.0;
  double next_switch = 0.0;
  for (long line = 0; line < MAX_LINES_PER_RENDER && s <= g.ir; ++line) {
    const double step = stroke_next_pitch(ctx.get(), nominal_step);
    const double a = s - g.ir * 0.5;
    const double b = (s / g.ir) * g.orr - g.orr * 0.5;

    const bool drawn = !blocks || stroke_block_advance(ctx.get(), s, &next_switch);

    if (drawn) {
      const double length = std::sqrt(band_length * band_length + (b - a) * (b - a));
      const double angle = std::atan2(band_length, b - a);
      double wave_shift = 0.0;
      if (waves) {
        double t = std::fmod(s, period) / period;
        if (!std::isfinite(t)) t = 0.0;
        wave_shift = stroke_next_wave_offset(ctx.get(), t);
      }
      const OutlineCut cut = parallel_outline_cut(in_outline, out_outline, s / g.ir, length);
      const double in_shift = cut.in_shift, adjustment = cut.adjustment;
      if (all_finite(a, length, angle, wave_shift, in_shift, adjustment)) {
        CairoSaveGuard line_guard(cr);
        cairo_translate(cr, a, 0.0);
        cairo_rotate(cr, angle);
        if (waves) cairo_translate(cr, wave_shift, 0.0);
        if (in_outline.active) cairo_translate(cr, in_shift, 0.0);
        stroke_draw_line(ctx.get(), cr, length + adjustment);
      }
    }
    s += step;
  }
}
