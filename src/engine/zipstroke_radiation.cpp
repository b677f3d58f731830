#include "zipstroke_radiation.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "cairo_save_guard.h"
#include "image_services.h"
#include "stroke_context.h"
#include "units.h"

namespace {

constexpr double TWO_PI = 2.0 * G_PI;

// The wave table never grows beyond this many nodes, whatever count a caller
// passes (the dialog allows 128).
constexpr int MAX_WAVE_NODES = 1 << 16;
// A pitch that keeps coming out non-positive is redrawn at most this often.
constexpr int MAX_PITCH_DRAWS = 64;
// Bounds of one search for the next angle.
constexpr int SEARCH_REVERSALS = 8;
constexpr int MAX_SEARCH_REVERSALS = 64;
constexpr int MAX_SEARCH_STEPS = 4096;

double sane_factor(double k) { return std::isfinite(k) ? k : 1.0; }

struct Point {
  double x, y;
};

double distance(Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  return std::sqrt(dx * dx + dy * dy);
}

// The period of the wave that the line at theta lies in, as an index into the
// node table that only moves forward, at most one entry per drawn line.
double wave_phase(const std::vector<double> &nodes, size_t *index, double theta) {
  size_t &i = *index;
  double start, end;
  if (theta > nodes[i] && i + 1 < nodes.size()) {
    ++i;
    start = nodes[i - 1];
    end = nodes[i];
  } else if (i == 0) {
    start = 0.0;
    end = nodes[0];
  } else {
    start = nodes[i - 1];
    end = nodes[i];
  }
  const double period = end - start;
  if (period == 0.0) return 0.0;  // an empty period between two equal nodes
  const double t = std::fmod(theta - start, period) / period;
  return std::isfinite(t) ? t : 0.0;
}

struct SearchResult {
  double theta;
  Point q;
  double d;
};

// Steps from theta towards the angle whose point on the pitch ellipse (a, r)
// lies at chord distance p from `from`.  The step starts at 10 degrees and is
// halved and reversed whenever it overshoots.  Normally the search ends at the
// eighth reversal.  If the last chord is then still below half the pitch, the
// step has not yet become fine enough to leave the starting angle behind, and
// the search goes on until the step, as a chord, is at most an eighth of the
// pitch.
SearchResult search_next_angle(double theta, Point from, double p, double a, double r) {
  const double radius = std::max(std::fabs(a), std::fabs(r));
  double delta = G_PI / 18.0;
  int reversals = 0;
  bool refining = false;
  SearchResult res{theta, from, 0.0};
  for (int step = 1;; ++step) {
    res.theta += delta;
    res.q = {a * std::cos(res.theta), r * std::sin(res.theta)};
    res.d = distance(res.q, from);
    if ((res.d > p && delta > 0.0) || (res.d < p && delta < 0.0)) {
      delta = -delta / 2.0;
      ++reversals;
    }
    if (res.theta >= 3.0 * G_PI) delta = -delta / 2.0;  // turn back, not counted

    if (!refining) {
      if (reversals >= SEARCH_REVERSALS) {
        if (res.d >= p / 2.0) break;
        refining = true;
      }
    } else if (std::fabs(delta) * radius <= p / 8.0) {
      break;
    }
    if (reversals >= MAX_SEARCH_REVERSALS || step >= MAX_SEARCH_STEPS) break;
  }
  return res;
}

}  // namespace

RadialGeometry radial_geometry_in_pixels(const EffectParams *params, const Resolution &given) {
  const Resolution res = resolution_or_default(given);
  const int unit = params->area_unit;
  return {units_to_pixels(params->radiation_x, unit, res.x),
          units_to_pixels(params->radiation_y, unit, res.y),
          units_to_pixels(params->radiation_in_radius, unit, res.x),
          units_to_pixels(params->radiation_out_radius, unit, res.x),
          params->radiation_oblateness};
}

double freehand_radial_factor(const FreehandOutline *outline, double phi) {
  const int count = std::min<int>(outline->count, FREEHAND_SAMPLES);
  if (count <= 0 || !std::isfinite(phi)) return 0.0;
  if (phi < 0.0) phi += TWO_PI;
  if (phi > TWO_PI - TWO_PI / count) return sane_factor(outline->samples[0].factor);
  for (int i = 0; i < count; ++i)
    if (outline->samples[i].pos >= phi) return sane_factor(outline->samples[i].factor);
  return 0.0;
}

std::vector<double> radial_wave_nodes(int n, double a_out, double r_out, double ob) {
  n = std::clamp(n, 0, MAX_WAVE_NODES);
  std::vector<double> e(n, 0.0);
  if (n == 0) return e;
  if (ob == 0.0) {
    for (int i = 0; i < n; ++i) e[i] = (i + 1) * TWO_PI / n;
    return e;
  }

  // Arc length of the first quarter of the outer ellipse, as 256 chords.
  const double delta = TWO_PI / 1024.0;
  double seg[256];
  double total = 0.0;
  for (int k = 0; k < 256; ++k) {
    const Point a{a_out * std::cos(k * delta), r_out * std::sin(k * delta)};
    const Point b{a_out * std::cos((k + 1) * delta), r_out * std::sin((k + 1) * delta)};
    seg[k] = distance(a, b);
    total += seg[k];
  }

  // Mark the quarter every total/f of arc; the excess over each mark is dropped.
  const int f = n / 4;
  const double quota = f > 0 ? total / f : INFINITY;
  int j = 0;
  double sum = 0.0;
  for (int k = 0; k < 256; ++k) {
    sum += seg[k];
    if (sum > quota) {
      if (j < n) e[j] = k * delta;
      ++j;
      if (j > f) break;
      sum = 0.0;
    }
  }
  if (j < n) e[j] = G_PI / 2.0;

  // Mirror the first quarter into the other three.
  if (f > 0) {
    for (int p = 0; p < f; ++p) e[2 * f + p] = e[p] + G_PI;
    for (int k = 0; k <= f - 2; ++k) {
      e[2 * f - 2 - k] = G_PI - e[k];
      e[4 * f - 2 - k] = TWO_PI - e[k];
    }
    e[2 * f - 1] = G_PI;
    e[4 * f - 1] = TWO_PI;
  }
  return e;
}

void radiation_draw_line(cairo_t *cr, const EffectParams *params, const Resolution &res) {
  const RadialGeometry g = radial_geometry_in_pixels(params, res);
  // An oblateness of 1 or more leaves no ellipse to draw on.
  if (!(g.ob < 1.0)) return;
  const double a_out = g.r_out / (1.0 - g.ob);
  const double a_in = a_out - (g.r_out - g.r_in);
  if (!all_within_reach(g.cx, g.cy, g.r_in, g.r_out, a_out, a_in)) return;
  // Pitch type 0 measures on the inner ellipse, anything else on the outer one.
  const bool pitch_on_inner = params->line_pitch_type == 0;
  const double a_ref = pitch_on_inner ? a_in : a_out;
  const double r_ref = pitch_on_inner ? g.r_in : g.r_out;

  std::unique_ptr<StrokeContext, void (*)(StrokeContext *)> ctx(stroke_context_new(params, res),
                                                                stroke_context_free);
  // A pitch that is not positive has no next line to search for.
  if (!(ctx->pitch > 0.0)) return;
  CairoSaveGuard guard(cr);
  cairo_translate(cr, g.cx, g.cy);

  const bool waves = stroke_waves_enabled(ctx.get());
  std::vector<double> nodes;
  if (waves) nodes = radial_wave_nodes(stroke_wave_npoint(ctx.get()), a_out, g.r_out, g.ob);
  size_t wave_index = 0;
  const bool blocks = stroke_blocks_enabled(ctx.get());
  const FreehandOutline &in_outline = params->radiation_in_freehand;
  const FreehandOutline &out_outline = params->radiation_out_freehand;

  double theta = 0.0;
  Point ref{a_ref, 0.0};
  double travelled = 0.0;
  double next_switch = 0.0;
  for (long line = 0; line < MAX_LINES_PER_RENDER && theta < TWO_PI; ++line) {
    const double c = std::cos(theta), s = std::sin(theta);
    const Point p_in{a_in * c, g.r_in * s};
    const Point p_out{a_out * c, g.r_out * s};

    const bool drawn = !blocks || stroke_block_advance(ctx.get(), travelled, &next_switch);

    if (drawn) {
      const double angle = std::atan2(p_out.y - p_in.y, p_out.x - p_in.x);
      double length = distance(p_in, p_out);
      // Both shifts move the line along its own direction.
      double wave_shift = 0.0, in_shift = 0.0;
      if (waves) wave_shift = stroke_next_wave_offset(ctx.get(), wave_phase(nodes, &wave_index, theta));
      if (in_outline.active) {
        const double k = freehand_radial_factor(&in_outline, std::atan2(p_in.y, p_in.x));
        const double rho = distance({0, 0}, p_in);
        in_shift = rho * k - rho;
        length -= in_shift;
      }
      if (out_outline.active) {
        const double k = freehand_radial_factor(&out_outline, std::atan2(p_out.y, p_out.x));
        const double rho = distance({0, 0}, p_out);
        length += rho * k - rho;
      }
      if (all_finite(p_in.x, p_in.y, angle, wave_shift, in_shift, length)) {
        CairoSaveGuard line_guard(cr);
        cairo_translate(cr, p_in.x, p_in.y);
        cairo_rotate(cr, angle);
        if (waves) cairo_translate(cr, wave_shift, 0.0);
        if (in_outline.active) cairo_translate(cr, in_shift, 0.0);
        stroke_draw_line(ctx.get(), cr, length);
      }
    }

    double p = stroke_next_pitch(ctx.get(), ctx->pitch);
    for (int draws = 1; p <= 0.0 && draws < MAX_PITCH_DRAWS; ++draws)
      p = stroke_next_pitch(ctx.get(), ctx->pitch);
    p = std::max(p, 0.01);

    const SearchResult next = search_next_angle(theta, ref, p, a_ref, r_ref);
    theta = next.theta;
    travelled += next.d;
    ref = next.q;
  }
}
