#include "path_spine.h"

#include <algorithm>
#include <cmath>

#include "control_ranges.h"
#include "units.h"

void path_set_defaults(EffectParams *p, int w, int h) {
  const double width = w, height = h;
  const double sag = height / 8.0;
  p->path_in_range = height / 3.0;
  p->path_out_range = height / 3.0;
  p->path_spine_points_count = PATH_DEFAULT_SPINE_POINTS;
  // A circular arc through the ends of the middle row and a point `sag` above
  // its centre; a work area without width gets a straight spine.
  const double mid_y = static_cast<double>(h / 2);
  const double radius = sag > 0.0 ? (width * width / 4.0 + sag * sag) / (2.0 * sag) : 0.0;
  const double half_angle = radius > 0.0 ? std::asin(std::min(1.0, width / (2.0 * radius))) : 0.0;
  for (int i = 0; i < PATH_DEFAULT_SPINE_POINTS; ++i) {
    const double t = static_cast<double>(i) / (PATH_DEFAULT_SPINE_POINTS - 1);
    SpinePoint &pt = p->path_spine_points[i];
    if (half_angle > 0.0) {
      const double a = -half_angle + 2.0 * half_angle * t;
      pt.x = width / 2.0 + radius * std::sin(a);
      pt.y = mid_y - sag + radius * (1.0 - std::cos(a));
    } else {
      pt.x = width * t;
      pt.y = mid_y;
    }
  }
  // Positions to a thousandth of a pixel, as the controls show them; the
  // ends exactly on the edges.
  for (int i = 0; i < PATH_DEFAULT_SPINE_POINTS; ++i) {
    SpinePoint &pt = p->path_spine_points[i];
    pt.x = std::round(pt.x * 1000.0) / 1000.0;
    pt.y = std::round(pt.y * 1000.0) / 1000.0;
  }
  p->path_spine_points[0].x = 0.0;
  p->path_spine_points[PATH_DEFAULT_SPINE_POINTS - 1].x = width;
  for (int i = PATH_DEFAULT_SPINE_POINTS; i < PATH_SPINE_MAX; ++i) p->path_spine_points[i] = {0, 0};
  p->path_in_freehand.active = 0;
  freehand_reset_parallel(&p->path_in_freehand);
  p->path_out_freehand.active = 0;
  freehand_reset_parallel(&p->path_out_freehand);
}

bool path_spine_usable(const EffectParams *p) {
  const int n = p->path_spine_points_count;
  if (n < PATH_SPINE_MIN || n > PATH_SPINE_MAX) return false;
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(p->path_spine_points[i].x) || !std::isfinite(p->path_spine_points[i].y))
      return false;
  return true;
}

void path_spine_clamp(EffectParams *p, int unit, const Resolution &resolution) {
  const SpinLimits lx = spin_limits(*spin_range_find("parallel_in_x"), unit, resolution);
  const SpinLimits ly = spin_limits(*spin_range_find("parallel_in_Y"), unit, resolution);
  const int n = std::clamp<int>(p->path_spine_points_count, 0, PATH_SPINE_MAX);
  for (int i = 0; i < n; ++i) {
    p->path_spine_points[i].x = spin_clamp(lx, p->path_spine_points[i].x);
    p->path_spine_points[i].y = spin_clamp(ly, p->path_spine_points[i].y);
  }
}

void path_convert_units(EffectParams *p, int from, int to, const Resolution &resolution) {
  const auto convert = [&](double &v, double res) {
    v = pixels_to_units(units_to_pixels(v, from, res), to, res);
  };
  convert(p->path_in_range, resolution.x);
  convert(p->path_out_range, resolution.x);
  const int n = std::clamp<int>(p->path_spine_points_count, 0, PATH_SPINE_MAX);
  for (int i = 0; i < n; ++i) {
    convert(p->path_spine_points[i].x, resolution.x);
    convert(p->path_spine_points[i].y, resolution.y);
  }
}

void path_scale(EffectParams *p, double sx, double sy, double across, int unit,
                const Resolution &resolution) {
  const int n = std::clamp<int>(p->path_spine_points_count, 0, PATH_SPINE_MAX);
  for (int i = 0; i < n; ++i) {
    p->path_spine_points[i].x *= sx;
    p->path_spine_points[i].y *= sy;
  }
  path_spine_clamp(p, unit, resolution);
  for (const char *key : {"path_in_range", "path_out_range"}) {
    const SpinRange &range = *spin_range_find(key);
    spin_field_set(p, range, spin_limits(range, unit, resolution),
                   spin_field_get(p, range) * across);
  }
}
