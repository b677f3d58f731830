#include "parallel_guides.h"

#include <algorithm>
#include <cmath>

#include "dialog_widgets.h"
#include "image_services.h"
#include "preview.h"
#include "preview_internal.h"
#include "units.h"

namespace {

constexpr int GUIDE_LINES = 36;
constexpr double HANDLE_RADIUS = 8;  // screen pixels
constexpr double GUIDE_WIDTH = 1;    // screen pixels
// An edge reacts this far on either side of its guide, in screen pixels.
constexpr double HIT_REACH = 6;
constexpr double EDGES_LIMIT = 1;    // in area_unit: the edges drag keeps both ranges above it

struct ParallelDrag {
  int parallel_drag_target;
  double press_x, press_y;  // user units (work-area pixels)
  // The six band fields at the press, in area_unit.
  double start_in_x, start_in_Y, start_out_x, start_out_Y, start_in_range, start_out_range;
};
ParallelDrag drag = {};

Point2 operator+(Point2 a, Point2 b) { return {a.x + b.x, a.y + b.y}; }
Point2 operator-(Point2 a, Point2 b) { return {a.x - b.x, a.y - b.y}; }
Point2 operator*(double k, Point2 a) { return {k * a.x, k * a.y}; }
double dot(Point2 a, Point2 b) { return a.x * b.x + a.y * b.y; }
double length(Point2 a) { return std::hypot(a.x, a.y); }

// Unit vector from I to O; (1, 0), the renderer's direction, when they coincide.
Point2 band_direction(Point2 in, Point2 out) {
  const Point2 v = out - in;
  const double d = length(v);
  if (!(d > 0) || !std::isfinite(d)) return {1, 0};
  return (1 / d) * v;
}

Point2 band_normal(Point2 in, Point2 out) {
  const Point2 d = band_direction(in, out);
  return {-d.y, d.x};
}

void disc_path(cairo_t *cr, Point2 p) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, p.x, p.y, preview_length_to_user(HANDLE_RADIUS), 0, 2 * G_PI);
  cairo_close_path(cr);
}

void segment_path(cairo_t *cr, Point2 a, Point2 b) {
  cairo_move_to(cr, a.x, a.y);
  cairo_line_to(cr, b.x, b.y);
}

// The band of the record in pixels, with its corners; false when not finite.
struct Band {
  ParallelGeometry geometry;
  Point2 in, out;
  BandCorners corners;
};
bool band_of(const EffectParams *params, Band *band) {
  const ParallelGeometry g = parallel_geometry_in_pixels(params, image_resolution(params->image_id));
  band->geometry = g;
  band->in = {g.ix, g.iy};
  band->out = {g.ox, g.oy};
  band->corners = parallel_band_corners(g.ix, g.iy, g.ox, g.oy, g.ir, g.orr);
  return finite(band->in) && finite(band->out) && std::isfinite(g.ir) && std::isfinite(g.orr);
}

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
  CairoSaveGuard saved(cr);
  const double dashes[] = {6, 3};
  cairo_set_dash(cr, dashes, 2, 0);
  if (editing) cairo_set_source_rgba(cr, 1, 0, 0, 1);
  cairo_stroke(cr);
}

int hit_test(cairo_t *cr, const Band &band, Point2 q) {
  const BandCorners &c = band.corners;
  cairo_set_line_width(cr, preview_length_to_user(2 * HIT_REACH));
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  struct Test {
    int target;
    bool fill;
  };
  // Discs before lines: a disc at the end of a side stays whole under the
  // side's wider reach.
  const Test tests[] = {
      {PARALLEL_DRAG_BAND, true},      {PARALLEL_DRAG_IN_POINT, true},
      {PARALLEL_DRAG_OUT_POINT, true}, {PARALLEL_DRAG_IN_RANGE, true},
      {PARALLEL_DRAG_OUT_RANGE, true}, {PARALLEL_DRAG_IN_SIDE, false},
      {PARALLEL_DRAG_OUT_SIDE, false}, {PARALLEL_DRAG_EDGES, false},
  };
  for (const Test &test : tests) {
    cairo_new_path(cr);
    switch (test.target) {
      case PARALLEL_DRAG_BAND: disc_path(cr, 0.5 * (band.in + band.out)); break;
      case PARALLEL_DRAG_IN_POINT: disc_path(cr, band.in); break;
      case PARALLEL_DRAG_OUT_POINT: disc_path(cr, band.out); break;
      case PARALLEL_DRAG_IN_SIDE: segment_path(cr, c.in_minus, c.in_plus); break;
      case PARALLEL_DRAG_OUT_SIDE: segment_path(cr, c.out_minus, c.out_plus); break;
      case PARALLEL_DRAG_IN_RANGE:
        disc_path(cr, c.in_minus);
        disc_path(cr, c.in_plus);
        break;
      case PARALLEL_DRAG_OUT_RANGE:
        disc_path(cr, c.out_plus);
        disc_path(cr, c.out_minus);
        break;
      case PARALLEL_DRAG_EDGES:
        segment_path(cr, c.in_minus, c.out_minus);
        segment_path(cr, c.in_plus, c.out_plus);
        break;
    }
    const bool hit = test.fill ? cairo_in_fill(cr, q.x, q.y) : cairo_in_stroke(cr, q.x, q.y);
    cairo_new_path(cr);
    if (hit) return test.target;
  }
  return PARALLEL_DRAG_NONE;
}

// The drags work on the band as drawn, in pixels, from the values at the press;
// results go back into area_unit with the resolution of their axis (x values
// and ranges horizontal, Y values vertical), so a handle stays under the
// pointer even where the two resolutions differ.
void drag_to(const EffectParams *params, Point2 q) {
  const Resolution res = image_resolution(params->image_id);
  const int unit = params->area_unit;
  auto ux = [&](double px) { return pixels_to_units(px, unit, res.x); };
  auto uy = [&](double px) { return pixels_to_units(px, unit, res.y); };
  const Point2 s_in = {units_to_pixels(drag.start_in_x, unit, res.x),
                       units_to_pixels(drag.start_in_Y, unit, res.y)};
  const Point2 s_out = {units_to_pixels(drag.start_out_x, unit, res.x),
                        units_to_pixels(drag.start_out_Y, unit, res.y)};
  const bool vertical = drag.start_in_x == drag.start_out_x;
  const bool horizontal = !vertical && drag.start_in_Y == drag.start_out_Y;
  const Point2 axis = band_direction(s_in, s_out);

  // Foot of the perpendicular from q on the axis, in area_unit.
  auto foot = [&](Point2 p, double *x, double *y) {
    if (vertical) {
      *x = drag.start_in_x;
      *y = uy(p.y);
    } else if (horizontal) {
      *x = ux(p.x);
      *y = drag.start_in_Y;
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

  switch (drag.parallel_drag_target) {
    case PARALLEL_DRAG_BAND: {
      const double dx = ux(q.x - drag.press_x);
      const double dy = uy(q.y - drag.press_y);
      spin_set_finite(dialog_widgets.parallel_in_x_spin, drag.start_in_x + dx);
      spin_set_finite(dialog_widgets.parallel_in_Y_spin, drag.start_in_Y + dy);
      spin_set_finite(dialog_widgets.parallel_out_x_spin, drag.start_out_x + dx);
      spin_set_finite(dialog_widgets.parallel_out_Y_spin, drag.start_out_Y + dy);
      break;
    }
    case PARALLEL_DRAG_IN_POINT:
      spin_set_finite(dialog_widgets.parallel_in_x_spin, ux(q.x));
      spin_set_finite(dialog_widgets.parallel_in_Y_spin, uy(q.y));
      break;
    case PARALLEL_DRAG_OUT_POINT:
      spin_set_finite(dialog_widgets.parallel_out_x_spin, ux(q.x));
      spin_set_finite(dialog_widgets.parallel_out_Y_spin, uy(q.y));
      break;
    case PARALLEL_DRAG_IN_SIDE:
    case PARALLEL_DRAG_OUT_SIDE: {
      double x = 0, y = 0;
      foot(q, &x, &y);
      const bool in = drag.parallel_drag_target == PARALLEL_DRAG_IN_SIDE;
      spin_set_finite(in ? dialog_widgets.parallel_in_x_spin : dialog_widgets.parallel_out_x_spin, x);
      spin_set_finite(in ? dialog_widgets.parallel_in_Y_spin : dialog_widgets.parallel_out_Y_spin, y);
      break;
    }
    case PARALLEL_DRAG_IN_RANGE:
    case PARALLEL_DRAG_OUT_RANGE: {
      // Twice the pointer's distance from the side's current centre.
      const ParallelGeometry g = parallel_geometry_in_pixels(params, image_resolution(params->image_id));
      const bool in = drag.parallel_drag_target == PARALLEL_DRAG_IN_RANGE;
      const Point2 centre = in ? Point2{g.ix, g.iy} : Point2{g.ox, g.oy};
      spin_set_finite(in ? dialog_widgets.parallel_in_range_spin
                         : dialog_widgets.parallel_out_range_spin,
                      ux(2 * length(q - centre)));
      break;
    }
    case PARALLEL_DRAG_EDGES: {
      const double delta =
          ux(2 * (axis_distance(q) - axis_distance({drag.press_x, drag.press_y})));
      if (drag.start_in_range + delta > EDGES_LIMIT && drag.start_out_range + delta > EDGES_LIMIT) {
        spin_set_finite(dialog_widgets.parallel_in_range_spin, drag.start_in_range + delta);
        spin_set_finite(dialog_widgets.parallel_out_range_spin, drag.start_out_range + delta);
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace

BandCorners parallel_band_corners(double ix, double iy, double ox, double oy, double ir,
                                  double orr) {
  const Point2 in = {ix, iy};
  const Point2 out = {ox, oy};
  const Point2 n = band_normal(in, out);
  return {in + (ir / 2) * n, in - (ir / 2) * n, out + (orr / 2) * n, out - (orr / 2) * n};
}

void parallel_band_points(const BandCorners &c, double t, Point2 *pin, Point2 *pout) {
  *pin = c.in_plus + t * (c.in_minus - c.in_plus);
  *pout = c.out_plus + t * (c.out_minus - c.out_plus);
}

double parallel_band_position(const ParallelGeometry &g, Point2 p) {
  const double t = parallel_band_position_unlimited(g, p);
  if (!(t >= 0 && t <= 1)) return -1;
  return t;
}

double parallel_band_position_unlimited(const ParallelGeometry &g, Point2 p) {
  const Point2 in = {g.ix, g.iy};
  const Point2 out = {g.ox, g.oy};
  const double d = length(out - in);
  if (!(d > 0) || !std::isfinite(d) || !finite(p)) return NAN;
  const Point2 axis = (1 / d) * (out - in);
  const Point2 n = {-axis.y, axis.x};
  // Along the axis: 0 at I, 1 at O, going on linearly past both sides; the
  // band's width there changes linearly from ir to orr.
  const double along = dot(p - in, axis) / d;
  const double width = g.ir + along * (g.orr - g.ir);
  if (!(width > 0) || !std::isfinite(width)) return NAN;
  // Across: 0 at the + edge, 1 at the - edge.
  return 0.5 - dot(p - in, n) / width;
}

void parallel_draw_guides(cairo_t *cr, EffectParams *params) {
  cairo_set_line_width(cr, preview_length_to_user(GUIDE_WIDTH));
  cairo_set_source_rgba(cr, 0, 0.5, 1, 1);
  Band band;
  if (!band_of(params, &band)) return;
  const ParallelGeometry &g = band.geometry;
  const BandCorners &c = band.corners;
  const int target = freehand_edit_target_get();
  cairo_new_path(cr);

  if (params->parallel_in_freehand.active)
    draw_outline(cr, &params->parallel_in_freehand, c, true, target == 3);
  if (params->parallel_out_freehand.active)
    draw_outline(cr, &params->parallel_out_freehand, c, false, target == 4);

  disc_path(cr, 0.5 * (band.in + band.out));
  cairo_fill(cr);
  disc_path(cr, band.in);
  cairo_fill(cr);
  disc_path(cr, band.out);
  cairo_fill(cr);

  segment_path(cr, c.in_minus, c.in_plus);
  cairo_stroke(cr);
  segment_path(cr, c.out_plus, c.out_minus);
  cairo_stroke(cr);

  disc_path(cr, c.in_minus);
  disc_path(cr, c.in_plus);
  cairo_fill(cr);
  disc_path(cr, c.out_plus);
  disc_path(cr, c.out_minus);
  cairo_fill(cr);

  segment_path(cr, c.in_minus, c.out_minus);
  segment_path(cr, c.in_plus, c.out_plus);
  cairo_stroke(cr);

  const Point2 n = band_normal(band.in, band.out);
  for (int k = 0; k < GUIDE_LINES; ++k) {
    const Point2 a = band.in + (-g.ir / 2 + g.ir * k / GUIDE_LINES) * n;
    const Point2 b = band.out + (-g.orr / 2 + g.orr * k / GUIDE_LINES) * n;
    segment_path(cr, a, b);
  }
  cairo_stroke(cr);
}

GdkCursorType parallel_cursor_at(cairo_t *cr, const EffectParams *params, double x, double y) {
  Band band;
  if (!band_of(params, &band)) return CURSOR_NOTHING;
  switch (hit_test(cr, band, {x, y})) {
    case PARALLEL_DRAG_BAND: return CURSOR_MOVE;
    case PARALLEL_DRAG_IN_SIDE:
    case PARALLEL_DRAG_OUT_SIDE:
    case PARALLEL_DRAG_EDGES: return CURSOR_EDGE;
    case PARALLEL_DRAG_IN_POINT:
    case PARALLEL_DRAG_OUT_POINT:
    case PARALLEL_DRAG_IN_RANGE:
    case PARALLEL_DRAG_OUT_RANGE: return CURSOR_HANDLE;
    default: return CURSOR_NOTHING;
  }
}

gboolean parallel_handle_event(cairo_t *cr, GdkEvent *event, EffectParams *params) {
  switch (event->type) {
    case GDK_BUTTON_PRESS: {
      double x = event->button.x;
      double y = event->button.y;
      cairo_device_to_user(cr, &x, &y);
      drag.press_x = x;
      drag.press_y = y;
      drag.start_in_x = params->parallel_in_x;
      drag.start_in_Y = params->parallel_in_Y;
      drag.start_out_x = params->parallel_out_x;
      drag.start_out_Y = params->parallel_out_Y;
      drag.start_in_range = params->parallel_in_range;
      drag.start_out_range = params->parallel_out_range;
      if (freehand_drawing_get()) {
        freehand_stroke_begin(params, {x, y});
        return FALSE;
      }
      Band band;
      drag.parallel_drag_target =
          band_of(params, &band) ? hit_test(cr, band, {x, y}) : PARALLEL_DRAG_NONE;
      return FALSE;
    }
    case GDK_MOTION_NOTIFY: {
      double x = event->motion.x;
      double y = event->motion.y;
      cairo_device_to_user(cr, &x, &y);
      if (freehand_drawing_get()) {
        freehand_stroke_to(params, {x, y});
      } else {
        drag_to(params, {x, y});
      }
      preview_queue_draw();
      return FALSE;
    }
    case GDK_BUTTON_RELEASE:
      freehand_stroke_end(params);
      drag = ParallelDrag{};
      return FALSE;
    default:
      return FALSE;
  }
}

int parallel_drag_target_get() { return drag.parallel_drag_target; }
