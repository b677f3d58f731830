// The guides of the radial area: both ellipses with 36 spokes between them,
// handles at the centre and at the right end of each ellipse.
#include <algorithm>
#include <cmath>
#include <limits>

#include "cairo_save_guard.h"
#include "guides.h"
#include "units.h"

namespace {

constexpr int SPOKES = 36;

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
  guide_stroke_outline(cr, editing);
}

void draw(cairo_t *cr, const GuideInput &in) {
  const RadialShape &g = in.shapes.radial;
  cairo_set_line_width(cr, in.view.user(GUIDE_WIDTH));
  guide_set_colour(cr);
  if (!g.finite) return;
  EffectParams *params = in.params;
  const double radius = in.view.user(HANDLE_RADIUS);
  cairo_new_path(cr);
  if (params->radiation_in_freehand.active)
    draw_outline(cr, &params->radiation_in_freehand, g.cx, g.cy, g.a_in, g.r_in,
                 in.editing == FREEHAND_RADIATION_IN);
  if (params->radiation_out_freehand.active)
    draw_outline(cr, &params->radiation_out_freehand, g.cx, g.cy, g.a_out, g.r_out,
                 in.editing == FREEHAND_RADIATION_OUT);

  disc_path(cr, {g.cx + g.a_out, g.cy}, radius);
  cairo_fill(cr);
  disc_path(cr, {g.cx + g.a_in, g.cy}, radius);
  cairo_fill(cr);
  ellipse_path(cr, g.cx, g.cy, g.a_out, g.r_out);
  cairo_stroke(cr);
  ellipse_path(cr, g.cx, g.cy, g.a_in, g.r_in);
  cairo_stroke(cr);
  disc_path(cr, {g.cx, g.cy}, radius);
  cairo_fill(cr);

  {
    CairoSaveGuard saved(cr);
    cairo_translate(cr, g.cx, g.cy);
    for (int i = 0; i < SPOKES; ++i) {
      const double theta = i * 2 * M_PI / SPOKES;
      const double c = std::cos(theta);
      const double s = std::sin(theta);
      cairo_move_to(cr, g.a_out * c, g.r_out * s);
      cairo_line_to(cr, g.a_in * c, g.r_in * s);
    }
  }
  cairo_stroke(cr);
}

GuideCursor cursor_at(const GuideInput &in, Point2 p) {
  return guide_cursor(radial_hit_test(in.shapes.radial, p, in.view));
}

GuideDrag press(const GuideInput &in, Point2 p) {
  const RadialShape &g = in.shapes.radial;
  GuideDrag drag;
  drag.press = p;
  drag.in_radius = in.params->radiation_in_radius;
  drag.out_radius = in.params->radiation_out_radius;
  drag.oblateness = in.params->radiation_oblateness;
  drag.inner_a = g.finite ? g.a_in : 0;
  drag.handle = radial_hit_test(g, p, in.view);
  return drag;
}

// Lengths convert with the horizontal resolution, the centre's y with the
// vertical one, as the renderer reads them.
GuideEdits motion(const GuideInput &in, const GuideDrag &drag, Point2 p) {
  GuideEdits edits;
  const RadialShape &g = in.shapes.radial;
  if (!g.finite) return edits;
  const Resolution res = in.resolution;
  const int unit = in.params->area_unit;
  const bool at_centre = p.x == g.cx && p.y == g.cy;  // the ray has no direction there
  switch (drag.handle) {
    case GuideHandle::RadialCentre:
      edits.add(GuideField::RadiationX, pixels_to_units(p.x, unit, res.x));
      edits.add(GuideField::RadiationY, pixels_to_units(p.y, unit, res.y));
      break;
    case GuideHandle::RadialInner: {
      if (at_centre) break;
      const double r0 = units_to_pixels(drag.in_radius, unit, res.x);
      const double r = r0 + ray_offset(drag.inner_a, r0, g.cx, g.cy, p.x, p.y);
      edits.add(GuideField::RadiationInRadius, pixels_to_units(r, unit, res.x));
      break;
    }
    case GuideHandle::RadialOuter: {
      if (at_centre) break;
      const double r0 = units_to_pixels(drag.out_radius, unit, res.x);
      // The radius cannot go below 0; the oblateness follows what the radius becomes.
      const double r =
          std::max(0.0, r0 + ellipse_radial_offset(r0, drag.oblateness, g.cx, g.cy, p.x, p.y));
      edits.add(GuideField::RadiationOutRadius, pixels_to_units(r, unit, res.x));
      // Keep the inner ellipse where it was and the band as wide on both axes.
      const double r_in0 = units_to_pixels(drag.in_radius, unit, res.x);
      const double a_out = drag.inner_a + r - r_in0;
      if (a_out != 0) edits.add(GuideField::RadiationOblateness, 1 - r / a_out);
      break;
    }
    case GuideHandle::RadialOblateness: {
      // The pointer's distance from the centre, in whatever direction, becomes
      // the horizontal semi-axis; nearer the centre than the control allows,
      // it stops at the least oblateness.
      const double d = std::hypot(p.x - g.cx, p.y - g.cy);
      edits.add(GuideField::RadiationOblateness,
                d > 0 ? 1 - g.r_out / d : -std::numeric_limits<double>::max());
      break;
    }
    default:
      break;
  }
  return edits;
}

GuideEdits release(const GuideInput &, const GuideDrag &, Point2) { return {}; }

// The centre the lines radiate from.
Point2 focus(const GuideInput &in) { return {in.shapes.radial.cx, in.shapes.radial.cy}; }

}  // namespace

const Guide RADIATION_GUIDE = {draw, cursor_at, press, motion, release, focus};
