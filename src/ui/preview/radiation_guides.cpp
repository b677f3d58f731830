#include "radiation_guides.h"

#include <algorithm>
#include <cmath>

#include "dialog_widgets.h"
#include "freehand.h"
#include "image_services.h"
#include "preview.h"
#include "preview_internal.h"
#include "units.h"
#include "zipstroke_radiation.h"

namespace {

constexpr int SPOKES = 36;
constexpr double HANDLE_RADIUS = 8;   // screen pixels
constexpr double GUIDE_WIDTH = 1;     // screen pixels
// An edge reacts this far on either side of its guide, in screen pixels.
constexpr double HIT_REACH = 6;

enum RadiationDrag { DRAG_NONE = 0, DRAG_CENTRE = 1, DRAG_INNER = 2, DRAG_OUTER = 3, DRAG_OBLATENESS = 4 };

// Drag state, from a press to its release.
int radiation_drag_target = DRAG_NONE;
double start_in_radius = 0;   // record values at the press, in area_unit
double start_out_radius = 0;
double start_oblateness = 0;
double start_inner_a = 0;     // the inner ellipse's horizontal semi-axis at the press, pixels

// Distance from the ray's origin to the ellipse (a, r) along the unit direction (c, s).
double ellipse_distance_dir(double a, double r, double c, double s) {
  a = std::fabs(a);
  r = std::fabs(r);
  const double den = std::hypot(r * c, a * s);
  if (den == 0) return std::max(a, r);  // a segment, met at its end (or a point)
  return a * r / den;
}

// Signed distance of (mx, my) beyond the ellipse (a, r) about (cx, cy), along the ray.
double ray_offset(double a, double r, double cx, double cy, double mx, double my) {
  const double dx = mx - cx;
  const double dy = my - cy;
  const double dist = std::hypot(dx, dy);
  if (!(dist > 0) || !std::isfinite(dist)) return 0;
  const double offset = dist - ellipse_distance_dir(a, r, dx / dist, dy / dist);
  return std::isfinite(offset) ? offset : 0;
}

// A closed path of the ellipse (a, r) about (cx, cy), built under a scale that
// is undone before the caller strokes it.  A zero semi-axis gives the segment
// along the other axis, since no scale can make it.
void ellipse_path(cairo_t *cr, double cx, double cy, double a, double r) {
  a = std::fabs(a);
  r = std::fabs(r);
  if (a > 0 && r > 0) {
    CairoSaveGuard saved(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, a / r, 1);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, r, 0, 2 * G_PI);
    cairo_close_path(cr);
  } else if (r > 0) {
    cairo_move_to(cr, cx, cy - r);
    cairo_line_to(cr, cx, cy + r);
  } else {
    cairo_move_to(cr, cx - a, cy);
    cairo_line_to(cr, cx + a, cy);
  }
}

void disc_path(cairo_t *cr, double x, double y) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x, y, preview_length_to_user(HANDLE_RADIUS), 0, 2 * G_PI);
  cairo_close_path(cr);
}

void draw_outline(cairo_t *cr, FreehandOutline *outline, double cx, double cy, double a,
                  double r, bool editing) {
  if (outline->count < 1) freehand_reset_radial(outline);
  const int n = std::min<int>(outline->count, FREEHAND_SAMPLES);
  {
    CairoSaveGuard saved(cr);
    cairo_translate(cr, cx, cy);
    bool first = true;
    for (int i = 0; i < n; ++i) {
      const FreehandSample &sample = outline->samples[i];
      const double rho = ellipse_distance(a, r, sample.pos) * sample.factor;
      const double x = rho * std::cos(sample.pos);
      const double y = rho * std::sin(sample.pos);
      if (!std::isfinite(x) || !std::isfinite(y)) continue;
      if (first) cairo_move_to(cr, x, y);
      else cairo_line_to(cr, x, y);
      first = false;
    }
    if (!first) cairo_close_path(cr);
  }
  CairoSaveGuard saved(cr);
  const double dashes[] = {6, 3};
  cairo_set_dash(cr, dashes, 2, 0);
  if (editing) cairo_set_source_rgba(cr, 1, 0, 0, 1);
  cairo_stroke(cr);
}

double device_x(const GdkEvent *event) {
  return event->type == GDK_MOTION_NOTIFY ? event->motion.x : event->button.x;
}
double device_y(const GdkEvent *event) {
  return event->type == GDK_MOTION_NOTIFY ? event->motion.y : event->button.y;
}

int hit_test(cairo_t *cr, const RadialShape &g, double mx, double my) {
  int target = DRAG_NONE;
  cairo_set_line_width(cr, preview_length_to_user(2 * HIT_REACH));
  cairo_new_path(cr);
  disc_path(cr, g.cx + g.a_out, g.cy);
  if (cairo_in_fill(cr, mx, my)) target = DRAG_OBLATENESS;
  cairo_new_path(cr);
  if (target == DRAG_NONE) {
    ellipse_path(cr, g.cx, g.cy, g.a_out, g.r_out);
    if (cairo_in_stroke(cr, mx, my)) target = DRAG_OUTER;
    cairo_new_path(cr);
  }
  if (target == DRAG_NONE) {
    ellipse_path(cr, g.cx, g.cy, g.a_in, g.r_in);
    if (cairo_in_stroke(cr, mx, my)) target = DRAG_INNER;
    cairo_new_path(cr);
  }
  if (target == DRAG_NONE) {
    disc_path(cr, g.cx, g.cy);
    if (cairo_in_fill(cr, mx, my)) target = DRAG_CENTRE;
    cairo_new_path(cr);
  }
  // The inner ellipse's own handle, where it does not cover the centre's.
  if (target == DRAG_NONE) {
    disc_path(cr, g.cx + g.a_in, g.cy);
    if (cairo_in_fill(cr, mx, my)) target = DRAG_INNER;
    cairo_new_path(cr);
  }
  return target;
}

void drag_to(const EffectParams *params, const RadialShape &g, double mx, double my) {
  const Resolution res = image_resolution(params->image_id);
  const int unit = params->area_unit;
  const bool at_centre = mx == g.cx && my == g.cy;  // the ray has no direction there
  switch (radiation_drag_target) {
    case DRAG_CENTRE:
      spin_set_finite(dialog_widgets.radiation_x_spin, pixels_to_units(mx, unit, res.x));
      spin_set_finite(dialog_widgets.radiation_y_spin, pixels_to_units(my, unit, res.y));
      break;
    case DRAG_INNER: {
      if (at_centre) break;
      const double r0 = units_to_pixels(start_in_radius, unit, res.x);
      const double r = r0 + ray_offset(start_inner_a, r0, g.cx, g.cy, mx, my);
      spin_set_finite(dialog_widgets.radiation_in_radius_spin, pixels_to_units(r, unit, res.x));
      break;
    }
    case DRAG_OUTER: {
      if (at_centre) break;
      const double r0 = units_to_pixels(start_out_radius, unit, res.x);
      // The radius cannot go below 0; the oblateness follows what the radius becomes.
      const double r =
          std::max(0.0, r0 + ellipse_radial_offset(r0, start_oblateness, g.cx, g.cy, mx, my));
      spin_set_finite(dialog_widgets.radiation_out_radius_spin, pixels_to_units(r, unit, res.x));
      // Keep the inner ellipse where it was and the band as wide on both axes.
      const double r_in0 = units_to_pixels(start_in_radius, unit, res.x);
      const double a_out = start_inner_a + r - r_in0;
      if (a_out != 0) spin_set_finite(dialog_widgets.radiation_oblateness_spin, 1 - r / a_out);
      break;
    }
    case DRAG_OBLATENESS: {
      // The pointer's distance from the centre, in whatever direction, becomes
      // the horizontal semi-axis; nearer the centre than the spin button
      // allows, it stops at the least oblateness.
      const double d = std::hypot(mx - g.cx, my - g.cy);
      const double ob = d > 0 ? 1 - g.r_out / d : -G_MAXDOUBLE;
      spin_set_finite(dialog_widgets.radiation_oblateness_spin, ob);
      break;
    }
    default:
      break;
  }
}

}  // namespace

RadialShape radial_shape(const EffectParams *params) {
  const RadialGeometry geometry = radial_geometry_in_pixels(params, image_resolution(params->image_id));
  RadialShape g{};
  g.cx = geometry.cx;
  g.cy = geometry.cy;
  g.r_in = geometry.r_in;
  g.r_out = geometry.r_out;
  g.ob = geometry.ob;
  g.a_out = g.r_out / (1 - g.ob);
  g.a_in = g.a_out - (g.r_out - g.r_in);
  g.finite = std::isfinite(g.cx) && std::isfinite(g.cy) && std::isfinite(g.r_in) &&
             std::isfinite(g.r_out) && std::isfinite(g.a_out) && std::isfinite(g.a_in);
  return g;
}

double ellipse_distance(double a, double r, double phi) {
  return ellipse_distance_dir(a, r, std::cos(phi), std::sin(phi));
}

double ellipse_radial_offset(double r, double ob, double cx, double cy, double mx, double my) {
  const double a = r / (1 - ob);
  if (!std::isfinite(a)) return 0;
  return ray_offset(a, r, cx, cy, mx, my);
}

void radiation_draw_guides(cairo_t *cr, EffectParams *params) {
  const RadialShape g = radial_shape(params);
  cairo_set_line_width(cr, preview_length_to_user(GUIDE_WIDTH));
  cairo_set_source_rgba(cr, 0, 0.5, 1, 1);
  if (!g.finite) return;
  const int target = freehand_edit_target_get();
  cairo_new_path(cr);
  if (params->radiation_in_freehand.active)
    draw_outline(cr, &params->radiation_in_freehand, g.cx, g.cy, g.a_in, g.r_in, target == 1);
  if (params->radiation_out_freehand.active)
    draw_outline(cr, &params->radiation_out_freehand, g.cx, g.cy, g.a_out, g.r_out, target == 2);

  disc_path(cr, g.cx + g.a_out, g.cy);
  cairo_fill(cr);
  disc_path(cr, g.cx + g.a_in, g.cy);
  cairo_fill(cr);
  ellipse_path(cr, g.cx, g.cy, g.a_out, g.r_out);
  cairo_stroke(cr);
  ellipse_path(cr, g.cx, g.cy, g.a_in, g.r_in);
  cairo_stroke(cr);
  disc_path(cr, g.cx, g.cy);
  cairo_fill(cr);

  {
    CairoSaveGuard saved(cr);
    cairo_translate(cr, g.cx, g.cy);
    for (int i = 0; i < SPOKES; ++i) {
      const double theta = i * 2 * G_PI / SPOKES;
      const double c = std::cos(theta);
      const double s = std::sin(theta);
      cairo_move_to(cr, g.a_out * c, g.r_out * s);
      cairo_line_to(cr, g.a_in * c, g.r_in * s);
    }
  }
  cairo_stroke(cr);
}

GdkCursorType radiation_cursor_at(cairo_t *cr, const EffectParams *params, double x, double y) {
  const RadialShape g = radial_shape(params);
  if (!g.finite) return CURSOR_NOTHING;
  switch (hit_test(cr, g, x, y)) {
    case DRAG_CENTRE: return CURSOR_MOVE;
    case DRAG_INNER:
    case DRAG_OUTER: return CURSOR_EDGE;
    case DRAG_OBLATENESS: return CURSOR_HANDLE;
    default: return CURSOR_NOTHING;
  }
}

gboolean radiation_handle_event(cairo_t *cr, GdkEvent *event, EffectParams *params) {
  if (event->type != GDK_BUTTON_PRESS && event->type != GDK_MOTION_NOTIFY &&
      event->type != GDK_BUTTON_RELEASE)
    return FALSE;
  if (event->type == GDK_BUTTON_RELEASE) {
    freehand_stroke_end(params);
    radiation_drag_target = DRAG_NONE;
    start_in_radius = start_out_radius = start_oblateness = start_inner_a = 0;
    return FALSE;
  }

  double mx = device_x(event);
  double my = device_y(event);
  cairo_device_to_user(cr, &mx, &my);
  const RadialShape g = radial_shape(params);

  if (event->type == GDK_BUTTON_PRESS) {
    start_in_radius = params->radiation_in_radius;
    start_out_radius = params->radiation_out_radius;
    start_oblateness = params->radiation_oblateness;
    start_inner_a = g.finite ? g.a_in : 0;
    if (freehand_drawing_get()) {
      freehand_stroke_begin(params, {mx, my});
      return FALSE;
    }
    radiation_drag_target = g.finite ? hit_test(cr, g, mx, my) : DRAG_NONE;
    return FALSE;
  }

  // Motion: only delivered while a button is held.
  if (freehand_drawing_get()) {
    freehand_stroke_to(params, {mx, my});
  } else if (g.finite) {
    drag_to(params, g, mx, my);
  }
  preview_queue_draw();
  return FALSE;
}
