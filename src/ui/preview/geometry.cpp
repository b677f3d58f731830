#include "geometry.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "cairo_ptr.h"
#include "cairo_save_guard.h"

namespace {

// Distance from the ray's origin to the ellipse (a, r) along the unit direction (c, s).
double ellipse_distance_dir(double a, double r, double c, double s) {
  a = std::fabs(a);
  r = std::fabs(r);
  const double den = std::hypot(r * c, a * s);
  if (den == 0) return std::max(a, r);  // a segment, met at its end (or a point)
  return a * r / den;
}

// A context under the view's matrix, for cairo's own point-in-path tests.
CairoPtr hit_context(const HitView &view) {
  SurfacePtr scratch(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
  CairoPtr cr(cairo_create(scratch.get()));
  cairo_set_matrix(cr.get(), &view.to_device);
  cairo_set_line_width(cr.get(), view.user(2 * HIT_REACH));
  cairo_set_line_cap(cr.get(), CAIRO_LINE_CAP_BUTT);
  return cr;
}

}  // namespace

RadialShape radial_shape_of(const RadialGeometry &geometry) {
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

double ray_offset(double a, double r, double cx, double cy, double mx, double my) {
  const double dx = mx - cx;
  const double dy = my - cy;
  const double dist = std::hypot(dx, dy);
  if (!(dist > 0) || !std::isfinite(dist)) return 0;
  const double offset = dist - ellipse_distance_dir(a, r, dx / dist, dy / dist);
  return std::isfinite(offset) ? offset : 0;
}

double ellipse_radial_offset(double r, double ob, double cx, double cy, double mx, double my) {
  const double a = r / (1 - ob);
  if (!std::isfinite(a)) return 0;
  return ray_offset(a, r, cx, cy, mx, my);
}

void ellipse_path(cairo_t *cr, double cx, double cy, double a, double r) {
  a = std::fabs(a);
  r = std::fabs(r);
  if (a > 0 && r > 0) {
    // Built under a scale that is undone before the caller strokes it.
    CairoSaveGuard saved(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, a / r, 1);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, r, 0, 2 * M_PI);
    cairo_close_path(cr);
  } else if (r > 0) {
    cairo_move_to(cr, cx, cy - r);
    cairo_line_to(cr, cx, cy + r);
  } else {
    cairo_move_to(cr, cx - a, cy);
    cairo_line_to(cr, cx + a, cy);
  }
}

void disc_path(cairo_t *cr, Point2 p, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, p.x, p.y, radius, 0, 2 * M_PI);
  cairo_close_path(cr);
}

void segment_path(cairo_t *cr, Point2 a, Point2 b) {
  cairo_move_to(cr, a.x, a.y);
  cairo_line_to(cr, b.x, b.y);
}

GuideHandle radial_hit_test(const RadialShape &g, Point2 p, const HitView &view) {
  if (!g.finite || !finite(p)) return GuideHandle::None;
  CairoPtr owner = hit_context(view);
  cairo_t *cr = owner.get();
  const double radius = view.user(HANDLE_RADIUS);
  auto in_disc = [&](Point2 c) {
    cairo_new_path(cr);
    disc_path(cr, c, radius);
    return cairo_in_fill(cr, p.x, p.y);
  };
  auto on_ellipse = [&](double a, double r) {
    cairo_new_path(cr);
    ellipse_path(cr, g.cx, g.cy, a, r);
    return cairo_in_stroke(cr, p.x, p.y);
  };
  if (in_disc({g.cx + g.a_out, g.cy})) return GuideHandle::RadialOblateness;
  if (on_ellipse(g.a_out, g.r_out)) return GuideHandle::RadialOuter;
  if (on_ellipse(g.a_in, g.r_in)) return GuideHandle::RadialInner;
  if (in_disc({g.cx, g.cy})) return GuideHandle::RadialCentre;
  // The inner ellipse's own handle, where it does not cover the centre's.
  if (in_disc({g.cx + g.a_in, g.cy})) return GuideHandle::RadialInner;
  return GuideHandle::None;
}

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

BandCorners parallel_band_corners(double ix, double iy, double ox, double oy, double ir,
                                  double orr) {
  const Point2 in = {ix, iy};
  const Point2 out = {ox, oy};
  const Point2 n = band_normal(in, out);
  return {in + (ir / 2) * n, in - (ir / 2) * n, out + (orr / 2) * n, out - (orr / 2) * n};
}

BandCorners parallel_band_corners(const ParallelGeometry &g) {
  return parallel_band_corners(g.ix, g.iy, g.ox, g.oy, g.ir, g.orr);
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

bool band_finite(const ParallelGeometry &g) {
  return std::isfinite(g.ix) && std::isfinite(g.iy) && std::isfinite(g.ox) &&
         std::isfinite(g.oy) && std::isfinite(g.ir) && std::isfinite(g.orr);
}

GuideHandle band_hit_test(const ParallelGeometry &g, Point2 p, const HitView &view) {
  if (!band_finite(g) || !finite(p)) return GuideHandle::None;
  CairoPtr owner = hit_context(view);
  cairo_t *cr = owner.get();
  const double radius = view.user(HANDLE_RADIUS);
  const Point2 in = {g.ix, g.iy}, out = {g.ox, g.oy};
  const BandCorners c = parallel_band_corners(g);
  auto in_discs = [&](std::initializer_list<Point2> centres) {
    cairo_new_path(cr);
    for (Point2 centre : centres) disc_path(cr, centre, radius);
    return cairo_in_fill(cr, p.x, p.y);
  };
  auto on_segments = [&](std::initializer_list<std::pair<Point2, Point2>> segments) {
    cairo_new_path(cr);
    for (const auto &s : segments) segment_path(cr, s.first, s.second);
    return cairo_in_stroke(cr, p.x, p.y);
  };
  if (in_discs({0.5 * (in + out)})) return GuideHandle::BandMove;
  if (in_discs({in})) return GuideHandle::BandInPoint;
  if (in_discs({out})) return GuideHandle::BandOutPoint;
  if (in_discs({c.in_minus, c.in_plus})) return GuideHandle::BandInRange;
  if (in_discs({c.out_plus, c.out_minus})) return GuideHandle::BandOutRange;
  if (on_segments({{c.in_minus, c.in_plus}})) return GuideHandle::BandInSide;
  if (on_segments({{c.out_minus, c.out_plus}})) return GuideHandle::BandOutSide;
  if (on_segments({{c.in_minus, c.out_minus}, {c.in_plus, c.out_plus}})) return GuideHandle::BandEdges;
  return GuideHandle::None;
}
