// The guides of the Path band: its spine with a handle at every point, its
// two edges (the centre lines of lines at either side of the band, bends
// and all, as the renderer lays them) with a width handle at each end of
// each, and the band's freehand outlines.  Every spine point goes where it
// is dropped; a width handle sets its end's width to twice the pointer's
// distance from the spine, measured square to the spine's end segment.
#include <algorithm>
#include <cmath>
#include <vector>

#include "guides.h"
#include "units.h"
#include "zipstroke_path.h"

namespace {

// Centre lines laid across the band to place an outline's samples: a
// sample between two of them lies between their points at the same share
// of their lengths.
constexpr int OUTLINE_LINES = 64;

Point2 point_of(PathPoint p) { return {p.x, p.y}; }

void polyline_path(cairo_t *cr, const std::vector<PathPoint> &points) {
  if (points.empty()) return;
  cairo_move_to(cr, points[0].x, points[0].y);
  for (size_t i = 1; i < points.size(); ++i) cairo_line_to(cr, points[i].x, points[i].y);
}

// The unit normal on the side the lines are stepped towards, of the
// segment from a to b (the renderer's: s grows along it).
Point2 step_normal(PathPoint a, PathPoint b) {
  const Point2 d = point_of(b) - point_of(a);
  const double len = length(d);
  return len > 0 ? Point2{d.y / len, -d.x / len} : Point2{0, 0};
}

// The four width handles: the start's at either edge, then the end's.
struct WidthHandles {
  Point2 in[2], out[2];
};
WidthHandles width_handles(const PathGeometry &g) {
  const size_t n = g.spine.size();
  const Point2 s0 = point_of(g.spine[0]), s1 = point_of(g.spine[n - 1]);
  const Point2 n0 = step_normal(g.spine[0], g.spine[1]);
  const Point2 n1 = step_normal(g.spine[n - 2], g.spine[n - 1]);
  return {{s0 + (-g.ir / 2) * n0, s0 + (g.ir / 2) * n0},
          {s1 + (-g.orr / 2) * n1, s1 + (g.orr / 2) * n1}};
}

bool usable(const PathGeometry &g) {
  return g.spine.size() >= 2 && std::isfinite(g.ir) && std::isfinite(g.orr);
}

// A centre line with the length along it at each point.
struct MeasuredLine {
  std::vector<PathPoint> points;
  std::vector<double> at;
  void measure() {
    at.assign(1, 0.0);
    for (size_t i = 1; i < points.size(); ++i)
      at.push_back(at.back() + std::hypot(points[i].x - points[i - 1].x,
                                          points[i].y - points[i - 1].y));
  }
  // The point at share r of the length (clamped to the line).
  Point2 along(double r) const {
    if (points.empty()) return {NAN, NAN};
    const double target = std::clamp(r, 0.0, 1.0) * at.back();
    const size_t j = static_cast<size_t>(
        std::lower_bound(at.begin(), at.end(), target) - at.begin());
    if (j == 0) return point_of(points[0]);
    if (j >= points.size()) return point_of(points.back());
    const double span = at[j] - at[j - 1];
    const double k = span > 0 ? (target - at[j - 1]) / span : 0;
    return point_of(points[j - 1]) + k * (point_of(points[j]) - point_of(points[j - 1]));
  }
};

void draw_outline(cairo_t *cr, FreehandOutline *outline, const std::vector<MeasuredLine> &lines,
                  bool in_side, bool editing) {
  if (outline->count <= 0) freehand_reset_parallel(outline);
  const int n = std::min<int>(outline->count, FREEHAND_SAMPLES);
  bool first = true;
  for (int i = 0; i < n; ++i) {
    const FreehandSample &sample = outline->samples[i];
    const double r = in_side ? 1 - sample.factor : sample.factor;
    const double x = std::clamp(sample.pos, 0.0, 1.0) * OUTLINE_LINES;
    const int k = std::min(static_cast<int>(x), OUTLINE_LINES - 1);
    const Point2 a = lines[k].along(r), b = lines[k + 1].along(r);
    const Point2 p = a + (x - k) * (b - a);
    if (!finite(p)) continue;
    if (first) cairo_move_to(cr, p.x, p.y);
    else cairo_line_to(cr, p.x, p.y);
    first = false;
  }
  guide_stroke_outline(cr, editing);
}

void draw(cairo_t *cr, const GuideInput &in) {
  const PathGeometry &g = in.shapes.path;
  if (!usable(g)) return;
  EffectParams *params = in.params;
  cairo_set_line_width(cr, in.view.user(GUIDE_WIDTH));
  guide_set_colour(cr);
  cairo_new_path(cr);
  for (double f : {0.0, 1.0}) polyline_path(cr, path_centre_line(g, f));
  cairo_stroke(cr);
  polyline_path(cr, g.spine);
  guide_stroke_outline(cr, false);

  if (params->path_in_freehand.active || params->path_out_freehand.active) {
    std::vector<MeasuredLine> lines(OUTLINE_LINES + 1);
    for (int k = 0; k <= OUTLINE_LINES; ++k) {
      lines[k].points = path_centre_line(g, static_cast<double>(k) / OUTLINE_LINES);
      lines[k].measure();
    }
    if (params->path_in_freehand.active)
      draw_outline(cr, &params->path_in_freehand, lines, true, in.editing == FREEHAND_PATH_IN);
    if (params->path_out_freehand.active)
      draw_outline(cr, &params->path_out_freehand, lines, false, in.editing == FREEHAND_PATH_OUT);
  }

  // A handle at each end and at each edge's ends, smaller dots between.
  const double radius = in.view.user(HANDLE_RADIUS);
  for (size_t i = 0; i < g.spine.size(); ++i) {
    const bool end = i == 0 || i + 1 == g.spine.size();
    disc_path(cr, point_of(g.spine[i]), end ? radius : radius / 3);
    cairo_fill(cr);
  }
  const WidthHandles w = width_handles(g);
  for (const Point2 &p : {w.in[0], w.in[1], w.out[0], w.out[1]}) disc_path(cr, p, radius);
  cairo_fill(cr);
}

// The handle under p: the spine's point nearest p within a handle's radius,
// else a width handle.  *index is the spine point's (in the record: repeated
// points count).
GuideHandle hit(const GuideInput &in, Point2 p, int *index) {
  const PathGeometry &g = in.shapes.path;
  if (!usable(g) || !finite(p)) return GuideHandle::None;
  const double radius = in.view.user(HANDLE_RADIUS);
  const Resolution res = in.resolution;
  const EffectParams *params = in.params;
  double nearest = radius;
  int found = -1;
  for (int i = 0; i < params->path_spine_points_count; ++i) {
    const SpinePoint &q = params->path_spine_points[i];
    const Point2 at{units_to_pixels(q.x, params->area_unit, res.x),
                    units_to_pixels(q.y, params->area_unit, res.y)};
    const double d = length(p - at);
    if (d <= nearest) {
      nearest = d;
      found = i;
    }
  }
  if (found >= 0) {
    *index = found;
    return GuideHandle::PathPoint;
  }
  const WidthHandles w = width_handles(g);
  for (const Point2 &h : w.in)
    if (length(p - h) <= radius) return GuideHandle::PathInRange;
  for (const Point2 &h : w.out)
    if (length(p - h) <= radius) return GuideHandle::PathOutRange;
  return GuideHandle::None;
}

GuideCursor cursor_at(const GuideInput &in, Point2 p) {
  int index = -1;
  return guide_cursor(hit(in, p, &index));
}

GuideDrag press(const GuideInput &in, Point2 p) {
  GuideDrag drag;
  drag.press = p;
  drag.handle = hit(in, p, &drag.index);
  return drag;
}

GuideEdits motion(const GuideInput &in, const GuideDrag &drag, Point2 q) {
  GuideEdits edits;
  const Resolution res = in.resolution;
  const int unit = in.params->area_unit;
  const PathGeometry &g = in.shapes.path;
  switch (drag.handle) {
    case GuideHandle::PathPoint:
      edits.add(GuideField::PathSpineX, pixels_to_units(q.x, unit, res.x), drag.index);
      edits.add(GuideField::PathSpineY, pixels_to_units(q.y, unit, res.y), drag.index);
      break;
    case GuideHandle::PathInRange:
    case GuideHandle::PathOutRange: {
      if (!usable(g)) break;
      const size_t n = g.spine.size();
      const bool start = drag.handle == GuideHandle::PathInRange;
      const PathPoint end = start ? g.spine[0] : g.spine[n - 1];
      const Point2 normal = start ? step_normal(g.spine[0], g.spine[1])
                                  : step_normal(g.spine[n - 2], g.spine[n - 1]);
      const double width = 2 * std::fabs(dot(q - point_of(end), normal));
      edits.add(start ? GuideField::PathInRange : GuideField::PathOutRange,
                pixels_to_units(width, unit, res.x));
      break;
    }
    default:
      break;
  }
  return edits;
}

GuideEdits release(const GuideInput &, const GuideDrag &, Point2) { return {}; }

// The spine's middle point; the work area's corner for a spine that draws
// nothing.
Point2 focus(const GuideInput &in) {
  const PathGeometry &g = in.shapes.path;
  if (g.spine.empty()) return {0, 0};
  return point_of(g.spine[g.spine.size() / 2]);
}

}  // namespace

const Guide PATH_GUIDE = {draw, cursor_at, press, motion, release, focus};
