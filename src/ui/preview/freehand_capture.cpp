#include "freehand_capture.h"

#include <algorithm>
#include <cmath>

#include "path_spine.h"

namespace {

constexpr double TWO_PI = 2 * M_PI;
constexpr double RADIAL_STEP = TWO_PI / FREEHAND_SAMPLES;
// A radial stroke that has turned this far about the centre was meant to go
// all the way round.
constexpr double CLOSING_TURN = TWO_PI * 11 / 12;

// Number of samples a scan may visit: never past the table, whatever count holds.
int scan_limit(const FreehandOutline *outline) {
  return std::clamp<int>(outline->count, 0, FREEHAND_SAMPLES);
}

// Sets the factor of a radial sample to the pointer distance d over the
// ellipse's own distance in that direction; a degenerate ellipse, with no
// distance there, leaves the sample as it was.
void write_radial(FreehandSample *sample, double d, double a, double r) {
  const double rho = ellipse_distance(a, r, sample->pos);
  const double factor = d / rho;
  if (rho > 0 && std::isfinite(factor)) sample->factor = factor;
}

// The factor of the parallel outline of `target` at across-band position t
// for pointer p: its distance from the opposite side, as a share of the
// band's length at that position.
double parallel_factor_at(const BandCorners &corners, FreehandTarget target, double t, Point2 p) {
  Point2 pin, pout;
  parallel_band_points(corners, t, &pin, &pout);
  const double len = length(pin - pout);
  const Point2 from = target == FREEHAND_PARALLEL_IN ? pout : pin;
  return length(p - from) / len;
}

// Writes the samples from position t_a (factor f_a) to t_b (f_b), t_a <= t_b,
// interpolated; a span shorter than one sample writes the first sample at or
// after t_a.
void write_parallel_span(FreehandOutline *outline, double t_a, double f_a, double t_b,
                         double f_b) {
  const int n = scan_limit(outline);
  if (n <= 0 || !std::isfinite(f_a) || !std::isfinite(f_b)) return;
  FreehandSample *samples = outline->samples;
  if (t_b - t_a >= 1.0 / outline->count) {
    const double span = (t_b - t_a) * outline->count;
    int j = 0;
    for (int i = 0; i < n; ++i)
      if (samples[i].pos >= t_a && samples[i].pos <= t_b)
        samples[i].factor = f_a + j++ * (f_b - f_a) / span;
    return;
  }
  for (int i = 0; i < n; ++i)
    if (samples[i].pos >= t_a) {
      samples[i].factor = f_a;
      return;
    }
}

int side_of(double t) { return t < 0 ? -1 : t > 1 ? 1 : 0; }

// The part of the motion from `inside` to `outside` that lies in the band,
// written as a motion would: the crossing point is found by halving, and it
// takes the edge's own position.
void write_parallel_crossing(FreehandOutline *outline, FreehandTarget target,
                             const ParallelGeometry &g, Point2 inside, Point2 outside, int side) {
  const BandCorners corners = parallel_band_corners(g);
  double lo = 0, hi = 1;  // inside at lo, outside at hi (shares of the motion)
  for (int k = 0; k < 48; ++k) {
    const double mid = 0.5 * (lo + hi);
    const Point2 p = inside + mid * (outside - inside);
    if (side_of(parallel_band_position_unlimited(g, p)) == 0) lo = mid;
    else hi = mid;
  }
  const Point2 edge = inside + lo * (outside - inside);
  const double t_in = parallel_band_position(g, inside);
  const double t_edge = side < 0 ? 0.0 : 1.0;
  if (t_in < 0) return;
  const double f_in = parallel_factor_at(corners, target, t_in, inside);
  const double f_edge = parallel_factor_at(corners, target, t_edge, edge);
  if (side < 0) write_parallel_span(outline, t_edge, f_edge, t_in, f_in);
  else write_parallel_span(outline, t_in, f_in, t_edge, f_edge);
}

}  // namespace

FreehandOutline *freehand_outline(EffectParams *params, FreehandTarget target) {
  switch (target) {
    case FREEHAND_RADIATION_IN: return &params->radiation_in_freehand;
    case FREEHAND_RADIATION_OUT: return &params->radiation_out_freehand;
    case FREEHAND_PARALLEL_IN: return &params->parallel_in_freehand;
    case FREEHAND_PARALLEL_OUT: return &params->parallel_out_freehand;
    case FREEHAND_PATH_IN: return &params->path_in_freehand;
    case FREEHAND_PATH_OUT: return &params->path_out_freehand;
    default: return nullptr;
  }
}

void freehand_reset_outline(EffectParams *params, FreehandTarget target) {
  FreehandOutline *outline = freehand_outline(params, target);
  if (outline == nullptr) return;
  if (freehand_is_radial(target)) freehand_reset_radial(outline);
  else freehand_reset_parallel(outline);
}

void freehand_capture_radial(EffectParams *params, FreehandTarget target, const RadialShape &g,
                             Point2 last, Point2 current) {
  if (!freehand_is_radial(target)) return;
  FreehandOutline *outline = freehand_outline(params, target);
  const int n = scan_limit(outline);
  if (n <= 0) return;
  if (!g.finite || !finite(last) || !finite(current)) return;
  const double a = target == FREEHAND_RADIATION_IN ? g.a_in : g.a_out;
  const double r = target == FREEHAND_RADIATION_IN ? g.r_in : g.r_out;
  // A point exactly at the centre has no direction: such a motion writes nothing.
  if ((last.x == g.cx && last.y == g.cy) || (current.x == g.cx && current.y == g.cy)) return;

  auto angle = [&](Point2 p) {
    const double theta = std::atan2(p.y - g.cy, p.x - g.cx);
    return theta < 0 ? theta + TWO_PI : theta;
  };
  auto distance = [&](Point2 p) { return std::hypot(p.x - g.cx, p.y - g.cy); };
  const double theta_last = angle(last);
  const double theta_current = angle(current);
  // w is the larger angle, v the smaller; ties make the current one w.
  const bool last_is_w = theta_last > theta_current;
  const double w = last_is_w ? theta_last : theta_current;
  const double v = last_is_w ? theta_current : theta_last;
  const double d_w = distance(last_is_w ? last : current);
  const double d_v = distance(last_is_w ? current : last);
  FreehandSample *samples = outline->samples;

  auto first_at_or_after = [&](double angle_from) {
    for (int i = 0; i < n; ++i)
      if (samples[i].pos >= angle_from) {
        write_radial(&samples[i], d_v, a, r);
        return;
      }
  };

  const double other_way = v + TWO_PI - w;  // from w up through angle 0 to v
  if (w - v > other_way) {
    // The stroke crosses angle 0 the short way.
    if (!(other_way > RADIAL_STEP)) {
      first_at_or_after(v);
      return;
    }
    const double span = other_way / RADIAL_STEP;
    int j = 0;
    for (int i = 0; i < n; ++i)
      if (samples[i].pos >= w) write_radial(&samples[i], d_w + j++ * (d_v - d_w) / span, a, r);
    for (int i = 0; i < n; ++i) {
      write_radial(&samples[i], d_w + j++ * (d_v - d_w) / span, a, r);
      if (samples[i].pos >= v) break;
    }
    return;
  }
  if (!(w - v > RADIAL_STEP)) {
    first_at_or_after(v);
    return;
  }
  const double span = (w - v) / RADIAL_STEP;
  int j = 0;
  for (int i = 0; i < n; ++i)
    if (samples[i].pos >= v && samples[i].pos <= w)
      write_radial(&samples[i], d_v + j++ * (d_w - d_v) / span, a, r);
}

void freehand_capture_parallel(EffectParams *params, FreehandTarget target,
                               const ParallelGeometry &g, Point2 last, Point2 current) {
  if (!freehand_is_parallel(target)) return;
  FreehandOutline *outline = freehand_outline(params, target);
  const BandCorners corners = parallel_band_corners(g);
  const double t_last = parallel_band_position(g, last);
  const double t_current = parallel_band_position(g, current);
  if (t_last < 0 || t_current < 0) return;

  const bool current_first = t_last > t_current;
  const double t_a = current_first ? t_current : t_last;
  const double t_b = current_first ? t_last : t_current;
  const double f_a = parallel_factor_at(corners, target, t_a, current_first ? current : last);
  const double f_b = parallel_factor_at(corners, target, t_b, current_first ? last : current);
  write_parallel_span(outline, t_a, f_a, t_b, f_b);
}

bool path_band_place(const PathGeometry &g, Point2 p, double *across, double *along) {
  const std::vector<PathPoint> &s = g.spine;
  if (s.size() < 2 || !finite(p)) return false;
  // The nearest point of the spine: its length along it, and p's distance
  // from it on the side the lines are stepped from.
  double best = HUGE_VAL, u_best = 0, d_best = 0, u = 0;
  for (size_t i = 0; i + 1 < s.size(); ++i) {
    const Point2 a{s[i].x, s[i].y}, d = Point2{s[i + 1].x, s[i + 1].y} - a;
    const double len = length(d);
    if (!(len > 0)) continue;
    const double k = std::clamp(dot(p - a, d) / (len * len), 0.0, 1.0);
    const Point2 off = p - (a + k * d);
    const double dist = length(off);
    if (dist < best) {
      best = dist;
      u_best = u + k * len;
      d_best = (off.x * d.y - off.y * d.x) / len;
    }
    u += len;
  }
  if (!(u > 0)) return false;
  const double width = g.ir + (g.orr - g.ir) * u_best / u;
  const double t = 0.5 + d_best / width;
  if (!(t >= 0 && t <= 1)) return false;
  const std::vector<PathPoint> line = path_centre_line(g, t);
  if (line.size() < 2) return false;
  double at = 0, total = 0, nearest = HUGE_VAL, at_nearest = 0;
  for (size_t i = 0; i + 1 < line.size(); ++i) {
    const Point2 a{line[i].x, line[i].y}, d = Point2{line[i + 1].x, line[i + 1].y} - a;
    const double len = length(d);
    const double k = len > 0 ? std::clamp(dot(p - a, d) / (len * len), 0.0, 1.0) : 0.0;
    const double dist = length(p - (a + k * d));
    if (dist < nearest) {
      nearest = dist;
      at_nearest = at + k * len;
    }
    at += len;
  }
  total = at;
  if (!(total > 0)) return false;
  *across = t;
  *along = at_nearest / total;
  return true;
}

void freehand_capture_path(EffectParams *params, FreehandTarget target, const PathGeometry &g,
                           Point2 last, Point2 current) {
  if (!freehand_is_path(target)) return;
  double t_last = 0, r_last = 0, t_current = 0, r_current = 0;
  if (!path_band_place(g, last, &t_last, &r_last) ||
      !path_band_place(g, current, &t_current, &r_current))
    return;
  // The in outline's factor is the share from the line's end, as on a
  // parallel band it is the distance from the out side.
  auto factor = [&](double r) { return target == FREEHAND_PATH_IN ? 1 - r : r; };
  if (t_last <= t_current)
    write_parallel_span(freehand_outline(params, target), t_last, factor(r_last), t_current,
                        factor(r_current));
  else
    write_parallel_span(freehand_outline(params, target), t_current, factor(r_current), t_last,
                        factor(r_last));
}

void freehand_stroke_begin(FreehandStroke &stroke, Point2 p) {
  stroke = FreehandStroke{};
  stroke.active = true;
  stroke.first = stroke.last = p;
  stroke.points.assign(1, p);
}

void freehand_stroke_to(FreehandStroke &stroke, EffectParams *params, FreehandTarget target,
                        const AreaShapes &shapes, Point2 p) {
  if (!stroke.active) return;
  const Point2 last = stroke.last;
  stroke.last = p;
  if (params->area_type == AREA_PATH) {
    if (target == FREEHAND_PATH_SPINE && finite(p)) stroke.points.push_back(p);
    freehand_capture_path(params, target, shapes.path, last, p);
  }
  // An outline of the other area type than the one shown is never drawn on.
  if (freehand_is_radial(target) && params->area_type == AREA_RADIATION) {
    const RadialShape &g = shapes.radial;
    freehand_capture_radial(params, target, g, last, p);
    if (!g.finite || !finite(last) || !finite(p)) return;
    const double turn = std::remainder(
        std::atan2(p.y - g.cy, p.x - g.cx) - std::atan2(last.y - g.cy, last.x - g.cx), TWO_PI);
    if (std::isfinite(turn)) stroke.turned += turn;
  } else if (freehand_is_parallel(target) && params->area_type == AREA_PARALLEL) {
    const ParallelGeometry &g = shapes.band;
    freehand_capture_parallel(params, target, g, last, p);
    const double t_last = parallel_band_position_unlimited(g, last);
    const double t_now = parallel_band_position_unlimited(g, p);
    if (!std::isfinite(t_last) || !std::isfinite(t_now)) return;
    if (side_of(t_last) != 0 && side_of(t_now) == 0) {
      if (stroke.entry_side == 0) {
        stroke.entry_side = side_of(t_last);
        stroke.entry_from = last;
        stroke.entry_to = p;
      }
      stroke.exit_side = 0;  // back in: only a later exit counts
    }
    if (side_of(t_last) == 0 && side_of(t_now) != 0) {
      stroke.exit_side = side_of(t_now);
      stroke.exit_from = last;
      stroke.exit_to = p;
    }
  }
}

void freehand_stroke_end(FreehandStroke &stroke, EffectParams *params, FreehandTarget target,
                         const AreaShapes &shapes) {
  if (!stroke.active) return;
  const FreehandStroke done = stroke;
  stroke = FreehandStroke{};
  if (target == FREEHAND_PATH_SPINE && params->area_type == AREA_PATH) {
    std::vector<SpinePoint> pixels;
    for (const Point2 &p : done.points) pixels.push_back({p.x, p.y});
    path_spine_set_from_pixels(params, pixels, 0, 0, shapes.resolution);
  } else if (freehand_is_radial(target) && params->area_type == AREA_RADIATION) {
    // Round the centre (or within a twelfth of a turn of it): the gap, or
    // the overlap, between the ends is the stroke from its last point back
    // to its first.
    if (std::fabs(done.turned) >= CLOSING_TURN)
      freehand_capture_radial(params, target, shapes.radial, done.last, done.first);
  } else if (freehand_is_parallel(target) && params->area_type == AREA_PARALLEL) {
    if (done.entry_side != 0 && done.exit_side == -done.entry_side) {
      FreehandOutline *outline = freehand_outline(params, target);
      write_parallel_crossing(outline, target, shapes.band, done.entry_to, done.entry_from,
                              done.entry_side);
      write_parallel_crossing(outline, target, shapes.band, done.exit_from, done.exit_to,
                              done.exit_side);
    }
  }
}
