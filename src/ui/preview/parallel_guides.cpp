// The guides of the parallel band: both sides, both edges and 36 guide lines
// between the sides; handles at the band's middle, at both centres and at the
// four ends of the sides.
#include <algorithm>
#include <cmath>

#include "guides.h"
#include "units.h"

namespace {

constexpr int GUIDE_LINES = 36;
constexpr double EDGES_LIMIT = 1;  // in area_unit: the edges drag keeps both ranges above it

// Open dashed polyline of a parallel outline; `in_side` places factor 1 on the in side.
void draw_outline(cairo_t *cr, FreehandOutline *outline, const BandCorners &corners,
                  bool in_side, bool editing) {
  if (outline->count <= 0) freehand_reset_parallel(outline);
  const int n = std::min<int>(outline->count, FREEHAND_SAMPLES);
  bool first = true;
  for (int i = 0; i < n; ++i) {
    const FreehandSample &sample = outline->samples[i];
    Point2 pin, pout;
    parallel_band_points(corners, sample.pos, &pin, &pout);
    const double f = in_side ? sample.factor : 1 - sample.factor;
    const Point2 p = f * pin + (1 - f) * pout;
    if (!finite(p)) continue;
    if (first) cairo_move_to(cr, p.x, p.y);
    else cairo_line_to(cr, p.x, p.y);
    first = false;
  }
  guide_stroke_outline(cr, editing);
}

void draw(cairo_t *cr, const GuideInput &in) {
  cairo_set_line_width(cr, in.view.user(GUIDE_WIDTH));
  guide_set_colour(cr);
  const ParallelGeometry &g = in.shapes.band;
  if (!band_finite(g)) return;
  EffectParams *params = in.params;
  const double radius = in.view.user(HANDLE_RADIUS);
  const Point2 band_in = {g.ix, g.iy}, band_out = {g.ox, g.oy};
  const BandCorners c = parallel_band_corners(g);
  cairo_new_path(cr);

  if (params->parallel_in_freehand.active)
    draw_outline(cr, &params->parallel_in_freehand, c, true, in.editing == FREEHAND_PARALLEL_IN);
  if (params->parallel_out_freehand.active)
    draw_outline(cr, &params->parallel_out_freehand, c, false, in.editing == FREEHAND_PARALLEL_OUT);

  disc_path(cr, 0.5 * (band_in + band_out), radius);
  cairo_fill(cr);
  disc_path(cr, band_in, radius);
  cairo_fill(cr);
  disc_path(cr, band_out, radius);
  cairo_fill(cr);

  segment_path(cr, c.in_minus, c.in_plus);
  cairo_stroke(cr);
  segment_path(cr, c.out_plus, c.out_minus);
  cairo_stroke(cr);

  disc_path(cr, c.in_minus, radius);
  disc_path(cr, c.in_plus, radius);
  cairo_fill(cr);
  disc_path(cr, c.out_plus, radius);
  disc_path(cr, c.out_minus, radius);
  cairo_fill(cr);

  segment_path(cr, c.in_minus, c.out_minus);
  segment_path(cr, c.in_plus, c.out_plus);
  cairo_stroke(cr);

  const Point2 n = band_normal(band_in, band_out);
  for (int k = 0; k < GUIDE_LINES; ++k) {
    const Point2 a = band_in + (-g.ir / 2 + g.ir * k / GUIDE_LINES) * n;
    const Point2 b = band_out + (-g.orr / 2 + g.orr * k / GUIDE_LINES) * n;
    segment_path(cr, a, b);
  }
  cairo_stroke(cr);
}

GuideCursor cursor_at(const GuideInput &in, Point2 p) {
  return guide_cursor(band_hit_test(in.shapes.band, p, in.view));
}

GuideDrag press(const GuideInput &in, Point2 p) {
  const EffectParams *params = in.params;
  GuideDrag drag;
  drag.press = p;
  drag.in_x = params->parallel_in_x;
  drag.in_y = params->parallel_in_Y;
  drag.out_x = params->parallel_out_x;
  drag.out_y = params->parallel_out_Y;
  drag.in_range = params->parallel_in_range;
  drag.out_range = params->parallel_out_range;
  drag.handle = band_hit_test(in.shapes.band, p, in.view);
  return drag;
}

// The drags work on the band as drawn, in pixels, from the values at the press;
// results go back into area_unit with the resolution of their axis (x values
// and ranges horizontal, Y values vertical), so a handle stays under the
// pointer even where the two resolutions differ.
GuideEdits motion(const GuideInput &in, const GuideDrag &drag, Point2 q) {
  GuideEdits edits;
  const Resolution res = in.resolution;
  const int unit = in.params->area_unit;
  auto ux = [&](double px) { return pixels_to_units(px, unit, res.x); };
  auto uy = [&](double px) { return pixels_to_units(px, unit, res.y); };
  const Point2 s_in = {units_to_pixels(drag.in_x, unit, res.x),
                       units_to_pixels(drag.in_y, unit, res.y)};
  const Point2 s_out = {units_to_pixels(drag.out_x, unit, res.x),
                        units_to_pixels(drag.out_y, unit, res.y)};
  const bool vertical = drag.in_x == drag.out_x;
  const bool horizontal = !vertical && drag.in_y == drag.out_y;
  const Point2 axis = band_direction(s_in, s_out);

  // Foot of the perpendicular from p on the axis, in area_unit.
  auto foot = [&](Point2 p, double *x, double *y) {
    if (vertical) {
      *x = drag.in_x;
      *y = uy(p.y);
    } else if (horizontal) {
      *x = ux(p.x);
      *y = drag.in_y;
    } else {
      const Point2 f = s_in + dot(p - s_in, axis) * axis;
      *x = ux(f.x);
      *y = uy(f.y);
    }
  };
  // Distance from the axis, pixels.
  auto axis_distance = [&](Point2 p) {
    if (vertical) return std::fabs(p.x - s_in.x);
    if (horizontal) return std::fabs(p.y - s_in.y);
    const Point2 v = p - s_in;
    return std::fabs(v.x * axis.y - v.y * axis.x);
  };

  switch (drag.handle) {
    case GuideHandle::BandMove: {
      const double dx = ux(q.x - drag.press.x);
      const double dy = uy(q.y - drag.press.y);
      edits.add(GuideField::ParallelInX, drag.in_x + dx);
      edits.add(GuideField::ParallelInY, drag.in_y + dy);
      edits.add(GuideField::ParallelOutX, drag.out_x + dx);
      edits.add(GuideField::ParallelOutY, drag.out_y + dy);
      break;
    }
    case GuideHandle::BandInPoint:
      edits.add(GuideField::ParallelInX, ux(q.x));
      edits.add(GuideField::ParallelInY, uy(q.y));
      break;
    case GuideHandle::BandOutPoint:
      edits.add(GuideField::ParallelOutX, ux(q.x));
      edits.add(GuideField::ParallelOutY, uy(q.y));
      break;
    case GuideHandle::BandInSide:
    case GuideHandle::BandOutSide: {
      double x = 0, y = 0;
      foot(q, &x, &y);
      const bool in_side = drag.handle == GuideHandle::BandInSide;
      edits.add(in_side ? GuideField::ParallelInX : GuideField::ParallelOutX, x);
      edits.add(in_side ? GuideField::ParallelInY : GuideField::ParallelOutY, y);
      break;
    }
    case GuideHandle::BandInRange:
    case GuideHandle::BandOutRange: {
      // Twice the pointer's distance from the side's current centre.
      const ParallelGeometry &g = in.shapes.band;
      const bool in_side = drag.handle == GuideHandle::BandInRange;
      const Point2 centre = in_side ? Point2{g.ix, g.iy} : Point2{g.ox, g.oy};
      edits.add(in_side ? GuideField::ParallelInRange : GuideField::ParallelOutRange,
                ux(2 * length(q - centre)));
      break;
    }
    case GuideHandle::BandEdges: {
      const double delta = ux(2 * (axis_distance(q) - axis_distance(drag.press)));
      if (drag.in_range + delta > EDGES_LIMIT && drag.out_range + delta > EDGES_LIMIT) {
        edits.add(GuideField::ParallelInRange, drag.in_range + delta);
        edits.add(GuideField::ParallelOutRange, drag.out_range + delta);
      }
      break;
    }
    default:
      break;
  }
  return edits;
}

GuideEdits release(const GuideInput &, const GuideDrag &, Point2) { return {}; }

// The middle of the band.
Point2 focus(const GuideInput &in) {
  const ParallelGeometry &g = in.shapes.band;
  return {0.5 * (g.ix + g.ox), 0.5 * (g.iy + g.oy)};
}

}  // namespace

const Guide PARALLEL_GUIDE = {draw, cursor_at, press, motion, release, focus};
