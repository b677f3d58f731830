// The guides of the Path band: its spine with a handle at every point, and
// its two edges (the centre lines of lines at either side of the band, bends
// and all, as the renderer lays them).  They show the band; the spine is
// edited through its settings (the dialog, presets, settings text).
#include <cmath>
#include <vector>

#include "guides.h"
#include "zipstroke_path.h"

namespace {

void polyline_path(cairo_t *cr, const std::vector<PathPoint> &points) {
  if (points.empty()) return;
  cairo_move_to(cr, points[0].x, points[0].y);
  for (size_t i = 1; i < points.size(); ++i) cairo_line_to(cr, points[i].x, points[i].y);
}

void draw(cairo_t *cr, const GuideInput &in) {
  const PathGeometry g = path_geometry_in_pixels(in.params, in.resolution);
  if (g.spine.size() < 2 || !std::isfinite(g.ir) || !std::isfinite(g.orr)) return;
  cairo_set_line_width(cr, in.view.user(GUIDE_WIDTH));
  guide_set_colour(cr);
  cairo_new_path(cr);
  for (double f : {0.0, 1.0}) polyline_path(cr, path_centre_line(g, f));
  cairo_stroke(cr);
  polyline_path(cr, g.spine);
  guide_stroke_outline(cr, false);
  // A handle at each end, smaller dots between.
  const double radius = in.view.user(HANDLE_RADIUS);
  for (size_t i = 0; i < g.spine.size(); ++i) {
    const bool end = i == 0 || i + 1 == g.spine.size();
    disc_path(cr, {g.spine[i].x, g.spine[i].y}, end ? radius : radius / 3);
    cairo_fill(cr);
  }
}

GuideCursor cursor_at(const GuideInput &, Point2) { return GuideCursor::Nothing; }
GuideDrag press(const GuideInput &, Point2 p) {
  GuideDrag drag;
  drag.press = p;
  return drag;
}
GuideEdits no_edits(const GuideInput &, const GuideDrag &, Point2) { return {}; }

// The spine's middle point; the work area's corner for a spine that draws
// nothing.
Point2 focus(const GuideInput &in) {
  const PathGeometry g = path_geometry_in_pixels(in.params, in.resolution);
  if (g.spine.empty()) return {0, 0};
  const PathPoint &m = g.spine[g.spine.size() / 2];
  return {m.x, m.y};
}

}  // namespace

const Guide PATH_GUIDE = {draw, cursor_at, press, no_edits, no_edits, focus};
