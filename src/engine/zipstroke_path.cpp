#include "zipstroke_path.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "stroke_context.h"
#include "units.h"
#include "zipstroke_parallel.h"

namespace {

PathPoint operator+(PathPoint a, PathPoint b) { return {a.x + b.x, a.y + b.y}; }
PathPoint operator-(PathPoint a, PathPoint b) { return {a.x - b.x, a.y - b.y}; }
PathPoint operator*(double k, PathPoint a) { return {k * a.x, k * a.y}; }
double dot(PathPoint a, PathPoint b) { return a.x * b.x + a.y * b.y; }
double cross(PathPoint a, PathPoint b) { return a.x * b.y - a.y * b.x; }
// The side a positive offset goes to: for a spine from the in centre to the
// out centre of a parallel band, the direction in which s grows there.
PathPoint normal_of(PathPoint t) { return {t.y, -t.x}; }
PathPoint rotated(PathPoint v, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  return {v.x * c - v.y * s, v.x * s + v.y * c};
}
PathPoint unit(PathPoint v) {
  const double n = std::hypot(v.x, v.y);
  return n > 0.0 ? (1.0 / n) * v : PathPoint{0.0, 0.0};
}

// Less progress than this along the spine counts as none.
constexpr double MIN_PROGRESS = 1e-9;
// Outer joins turning less than this meet at their crossing; sharper ones
// are rounded with steps of at most this angle.
constexpr double ROUND_STEP = 10.0 * G_PI / 180.0;
constexpr double COS_ROUND_STEP = 0.98480775301220802;  // cos(ROUND_STEP)
// A line's own corners: the offset of its sides is held to twice its half
// width, so that a sharp corner does not throw out a spike.
constexpr double MAX_MITER = 2.0;

// The spine of one render, segment by segment.
struct Spine {
  std::vector<PathPoint> p;    // points
  std::vector<PathPoint> t;    // unit direction of each segment
  std::vector<double> length;  // of each segment
  std::vector<double> u;       // arc length at each point
  double ir = 0.0, orr = 0.0;
  bool usable() const { return p.size() >= 2 && u.back() > 0.0; }
  double width_at(size_t i) const { return ir + (orr - ir) * (u[i] / u.back()); }
};

Spine spine_of(const PathGeometry &g) {
  Spine s;
  s.p = g.spine;
  s.ir = g.ir;
  s.orr = g.orr;
  s.u.push_back(0.0);
  for (size_t i = 0; i + 1 < s.p.size(); ++i) {
    const PathPoint d = s.p[i + 1] - s.p[i];
    const double len = std::hypot(d.x, d.y);
    s.t.push_back((1.0 / len) * d);
    s.length.push_back(len);
    s.u.push_back(s.u.back() + len);
  }
  return s;
}

// Collects the centre line's points, keeping only those that move on along
// the spine's direction at their place.
struct CentreBuilder {
  std::vector<PathPoint> *out;
  void add(PathPoint p, PathPoint direction) {
    if (!all_finite(p.x, p.y)) return;
    if (!out->empty() && !(dot(p - out->back(), direction) > MIN_PROGRESS)) return;
    out->push_back(p);
  }
};

// A centre line's points may lie this far off the segments that replace
// them (pixels): less than cairo's subpixel grid makes of an edge.
constexpr double SIMPLIFY_TOLERANCE = 1.0 / 64.0;

// Drops every point that lies within the tolerance of the segment drawn
// past it, in one pass: from each point kept, the directions whose segment
// passes close enough to every point since narrow to a window, and the point
// before the first one outside it is kept next.  A straight stretch of
// any number of points becomes one segment with its exact ends.
void simplify(std::vector<PathPoint> *c) {
  std::vector<PathPoint> &p = *c;
  if (p.size() < 3) return;
  size_t kept = 0;  // p[0 .. kept] are kept; p[kept] is the anchor
  bool open = false;
  PathPoint low{}, high{};  // the window's clockwise and counter-clockwise edges
  for (size_t i = 1; i < p.size(); ++i) {
    const PathPoint d = p[i] - p[kept];
    const double r = std::hypot(d.x, d.y);
    if (r <= SIMPLIFY_TOLERANCE) continue;  // as good as on the anchor
    const PathPoint u = (1.0 / r) * d;
    const double sin_half = SIMPLIFY_TOLERANCE / r;
    const double cos_half = std::sqrt(1.0 - sin_half * sin_half);
    const PathPoint lo{u.x * cos_half + u.y * sin_half, u.y * cos_half - u.x * sin_half};
    const PathPoint hi{u.x * cos_half - u.y * sin_half, u.y * cos_half + u.x * sin_half};
    if (!open) {
      low = lo;
      high = hi;
      open = true;
      continue;
    }
    if (cross(low, d) >= 0.0 && cross(d, high) >= 0.0 && dot(u, low) > 0.0) {
      if (cross(low, lo) > 0.0) low = lo;
      if (cross(hi, high) > 0.0) high = hi;
      continue;
    }
    // The point before leaves the window no more: keep it, and look at this
    // one again from there.
    p[++kept] = p[i - 1];
    open = false;
    --i;
  }
  if (!(p[kept].x == p.back().x && p[kept].y == p.back().y)) p[++kept] = p.back();
  p.resize(kept + 1);
}

// How far the offset segments on the inside of the bend at point i run back
// from the spine's point to meet, for the offset d: d tan(turn / 2).
double inner_trim(const Spine &s, size_t i, double d) {
  const PathPoint a = s.t[i - 1], c = s.t[i];
  const double turn_cross = cross(a, c), turn_dot = dot(a, c);
  if (!(d * turn_cross < 0.0)) return 0.0;  // straight on, or the outside
  if (1.0 + turn_dot <= 1e-12) return HUGE_VAL;
  return std::fabs(d) * std::fabs(turn_cross) / (1.0 + turn_dot);
}

void remove_loops(std::vector<PathPoint> *c);

void centre_line(const Spine &s, double f, std::vector<PathPoint> *out) {
  out->clear();
  if (!s.usable()) return;
  CentreBuilder b{out};
  const size_t m = s.t.size();
  const auto offset_at = [&](size_t i) { return (f - 0.5) * s.width_at(i); };
  b.add(s.p[0] + offset_at(0) * normal_of(s.t[0]), s.t[0]);
  double used = 0.0;  // of the segment before point i, by the join at point i - 1
  for (size_t i = 1; i < m; ++i) {
    const PathPoint a = s.t[i - 1], c = s.t[i];
    const PathPoint na = normal_of(a), nc = normal_of(c);
    const PathPoint at = s.p[i];
    const double d = offset_at(i);
    const double turn_cross = cross(a, c), turn_dot = dot(a, c);
    const PathPoint bisector = unit(a + c);
    double next_used = 0.0;
    // Straight on but for rounding: no bend, whichever side the rounding fell.
    const bool straight_on = std::fabs(turn_cross) <= 1e-12 && turn_dot > 0.0;
    if (!straight_on && (d * turn_cross < 0.0 || (turn_cross == 0.0 && turn_dot < 0.0))) {
      // The inside of the bend: the offset segments meet at their crossing,
      // d tan(turn / 2) back from the spine's point along both.  Each may
      // give up what the join before it left of the segment before and half
      // of the segment after (all of it when the next join needs less); a
      // line that would need more meets the others at the bend's centre.
      const double before = s.length[i - 1] - used;
      const double need_next = i + 1 < m ? inner_trim(s, i + 1, offset_at(i + 1)) : 0.0;
      const double after = s.length[i] - std::min(s.length[i] / 2.0, need_next);
      const double trim = std::min(inner_trim(s, i, d), std::max(0.0, std::min(before, after)));
      if (std::fabs(turn_cross) > 1e-12) {
        b.add(at + (std::copysign(trim, d) / std::fabs(turn_cross)) * (na + nc), bisector);
      } else {
        b.add(at, a);  // turning right back: the spine's own point
      }
      next_used = trim;
    } else if (turn_dot >= COS_ROUND_STEP) {
      b.add(at + (d / (1.0 + turn_dot)) * (na + nc), bisector);
    } else {
      // The outside of a sharp bend: an arc around the spine's point.
      const double angle = std::atan2(turn_cross, turn_dot);
      const int steps = static_cast<int>(std::ceil(std::fabs(angle) / ROUND_STEP));
      for (int k = 0; k <= steps; ++k) {
        const double phi = angle * k / steps;
        b.add(at + d * rotated(na, phi), rotated(a, phi));
      }
    }
    used = next_used;
  }
  b.add(s.p[m] + offset_at(m) * normal_of(s.t[m - 1]), s.t[m - 1]);
  simplify(out);
  remove_loops(out);
}

// The crossing of segments ab and cd strictly inside both, if any.
bool crossing(PathPoint a, PathPoint b, PathPoint c, PathPoint d, PathPoint *at) {
  const PathPoint r = b - a, q = d - c;
  const double den = cross(r, q);
  if (den == 0.0) return false;
  const double t = cross(c - a, q) / den, u = cross(c - a, r) / den;
  if (!(t > 0.0 && t < 1.0 && u > 0.0 && u < 1.0)) return false;
  *at = a + t * r;
  return true;
}

// Segments of a centre line searched ahead for a crossing.
constexpr size_t LOOP_WINDOW = 128;

// Where the offsets of a bend's two flanks cross (the spine bends more
// tightly than the line's distance over a stretch), the part between the
// crossings is a loop: it is cut out and the line turns at the crossing.
// A loop closes only after its points have turned the line by half a turn
// at least, so only segments that far on are searched.
void remove_loops(std::vector<PathPoint> *c) {
  std::vector<PathPoint> &p = *c;
  std::vector<double> turned;  // turned[j]: the turning at points 1 .. j, in radians
  const auto count_turns = [&] {
    turned.assign(p.size(), 0.0);
    for (size_t j = 1; j + 1 < p.size(); ++j) {
      const PathPoint a = p[j] - p[j - 1], b = p[j + 1] - p[j];
      turned[j] = turned[j - 1] + std::fabs(std::atan2(cross(a, b), dot(a, b)));
    }
    if (p.size() >= 2) turned[p.size() - 1] = turned[p.size() - 2];
  };
  count_turns();
  if (p.size() < 4 || turned.back() < G_PI - 1e-9) return;
  for (size_t i = 0; i + 3 < p.size(); ++i) {
    const size_t last = std::min(p.size() - 2, i + LOOP_WINDOW);
    const auto from = std::lower_bound(turned.begin() + static_cast<std::ptrdiff_t>(i) + 2,
                                       turned.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                                       turned[i] + G_PI - 1e-9);
    const size_t first = static_cast<size_t>(from - turned.begin());
    for (size_t k = last; k >= first && k >= i + 2; --k) {
      PathPoint at;
      if (!crossing(p[i], p[i + 1], p[k], p[k + 1], &at)) continue;
      p.erase(p.begin() + static_cast<std::ptrdiff_t>(i) + 1,
              p.begin() + static_cast<std::ptrdiff_t>(k) + 1);
      p.insert(p.begin() + static_cast<std::ptrdiff_t>(i) + 1, at);
      count_turns();
      break;
    }
  }
}

// A centre line measured along its own length, onto which a line's outline
// (x along it, y across) is laid.
struct CentreFrame {
  const std::vector<PathPoint> *c = nullptr;
  std::vector<double> at;        // arc length at each point
  std::vector<PathPoint> t;      // unit direction of each segment
  std::vector<PathPoint> miter;  // offset direction at each inner point

  void build(const std::vector<PathPoint> &points) {
    c = &points;
    at.assign(1, 0.0);
    t.clear();
    for (size_t j = 0; j + 1 < points.size(); ++j) {
      const PathPoint d = points[j + 1] - points[j];
      const double len = std::hypot(d.x, d.y);
      t.push_back((1.0 / len) * d);
      at.push_back(at.back() + len);
    }
    miter.assign(points.size(), PathPoint{0.0, 0.0});
    for (size_t j = 1; j + 1 < points.size(); ++j) {
      const PathPoint na = normal_of(t[j - 1]), nc = normal_of(t[j]);
      const double k = 1.0 + dot(na, nc);
      PathPoint m = k > 1e-12 ? (1.0 / k) * (na + nc) : nc;
      const double len = std::hypot(m.x, m.y);
      if (len > MAX_MITER) m = (MAX_MITER / len) * m;
      miter[j] = m;
    }
  }
  double length() const { return at.back(); }

  // The segment holding arc length x; before the start and past the end the
  // first and last segments go on straight.
  size_t segment_at(double x) const {
    const auto it = std::upper_bound(at.begin() + 1, at.end() - 1, x);
    return static_cast<size_t>(it - at.begin()) - 1;
  }
  PathPoint place(double x, double y) const {
    const size_t j = segment_at(x);
    return (*c)[j] + (x - at[j]) * t[j] + y * normal_of(t[j]);
  }
  PathPoint place_at_point(size_t j, double y) const { return (*c)[j] + y * miter[j]; }
};

// The outline laid onto the frame, its x values moved on by `shift`: every
// edge of the outline passes the centre line's inner points it spans, with
// its y taken linearly between the edge's ends.
void lay_outline(const CentreFrame &frame, const LineOutline &o, double shift,
                 std::vector<double> *xs, std::vector<double> *ys) {
  xs->clear();
  ys->clear();
  const size_t inner_end = frame.at.size() - 1;  // points 1 .. inner_end - 1 are inner
  for (int k = 0; k < o.n; ++k) {
    const double x0 = o.x[k] + shift, y0 = o.y[k];
    const int next = (k + 1) % o.n;
    const double x1 = o.x[next] + shift, y1 = o.y[next];
    const PathPoint p = frame.place(x0, y0);
    xs->push_back(p.x);
    ys->push_back(p.y);
    if (x1 == x0) continue;
    const double lo = std::min(x0, x1), hi = std::max(x0, x1);
    size_t first = static_cast<size_t>(
        std::upper_bound(frame.at.begin(), frame.at.end(), lo) - frame.at.begin());
    size_t last = static_cast<size_t>(
        std::lower_bound(frame.at.begin(), frame.at.end(), hi) - frame.at.begin());
    first = std::max<size_t>(first, 1);
    last = std::min(last, inner_end);
    for (size_t i = 0; first + i < last; ++i) {
      const size_t j = x1 > x0 ? first + i : last - 1 - i;
      const double y = y0 + (y1 - y0) * (frame.at[j] - x0) / (x1 - x0);
      const PathPoint q = frame.place_at_point(j, y);
      xs->push_back(q.x);
      ys->push_back(q.y);
    }
  }
}

}  // namespace

PathGeometry path_geometry_in_pixels(const EffectParams *params, const Resolution &res) {
  const int unit = params->area_unit;
  PathGeometry g;
  g.ir = units_to_pixels(params->path_in_range, unit, res.x);
  g.orr = units_to_pixels(params->path_out_range, unit, res.x);
  const int n = params->path_spine_points_count;
  if (n < PATH_SPINE_MIN || n > PATH_SPINE_MAX) return g;
  for (int i = 0; i < n; ++i) {
    const PathPoint p{units_to_pixels(params->path_spine_points[i].x, unit, res.x),
                      units_to_pixels(params->path_spine_points[i].y, unit, res.y)};
    if (!all_within_reach(p.x, p.y)) {
      g.spine.clear();
      return g;
    }
    if (g.spine.empty() || p.x != g.spine.back().x || p.y != g.spine.back().y)
      g.spine.push_back(p);
  }
  return g;
}

std::vector<PathPoint> path_centre_line(const PathGeometry &geometry, double f) {
  std::vector<PathPoint> out;
  centre_line(spine_of(geometry), f, &out);
  return out;
}

void path_draw_line(cairo_t *cr, const EffectParams *params, const Resolution &res) {
  const PathGeometry g = path_geometry_in_pixels(params, res);
  if (!all_within_reach(g.ir, g.orr) || !(g.ir > 0.0) || g.orr < 0.0) return;
  const Spine spine = spine_of(g);
  if (!spine.usable() || !std::isfinite(spine.u.back())) return;
  const double ref = params->line_pitch_type == 0 ? g.ir : g.orr;

  std::unique_ptr<StrokeContext, void (*)(StrokeContext *)> ctx(stroke_context_new(params, res),
                                                                stroke_context_free);
  const double nominal_step = g.ir * (ctx->pitch / ref);
  if (!(nominal_step > 0.0) || !std::isfinite(nominal_step)) return;

  const bool waves = stroke_waves_enabled(ctx.get());
  const double period = waves ? g.ir / static_cast<double>(stroke_wave_npoint(ctx.get()) - 1) : 0.0;
  const bool blocks = stroke_blocks_enabled(ctx.get());
  const FreehandOutline &in_outline = params->path_in_freehand;
  const FreehandOutline &out_outline = params->path_out_freehand;

  std::vector<PathPoint> centre;
  CentreFrame frame;
  std::vector<double> xs, ys;
  double s = 0.0;
  double next_switch = 0.0;
  for (long line = 0; line < MAX_LINES_PER_RENDER && s <= g.ir; ++line) {
    const double step = stroke_next_pitch(ctx.get(), nominal_step);
    const bool drawn = !blocks || stroke_block_advance(ctx.get(), s, &next_switch);
    if (drawn) {
      double wave_shift = 0.0;
      if (waves) {
        double t = std::fmod(s, period) / period;
        if (!std::isfinite(t)) t = 0.0;
        wave_shift = stroke_next_wave_offset(ctx.get(), t);
      }
      centre_line(spine, s / g.ir, &centre);
      const bool placed = centre.size() >= 2;
      double length = 0.0;
      if (placed) {
        frame.build(centre);
        length = frame.length();
      }
      const OutlineCut cut = parallel_outline_cut(in_outline, out_outline, s / g.ir, length);
      const double in_shift = cut.in_shift, adjustment = cut.adjustment;
      const LineShape shape = stroke_next_line_shape(ctx.get());
      if (placed && all_finite(length, wave_shift, in_shift, adjustment)) {
        const LineOutline outline = stroke_line_outline(length + adjustment, shape);
        if (outline.n > 0) {
          lay_outline(frame, outline, wave_shift + in_shift, &xs, &ys);
          stroke_fill_polygon(ctx.get(), cr, xs.data(), ys.data(), static_cast<int>(xs.size()));
        }
      }
    }
    s += step;
  }
}
