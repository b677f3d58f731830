#include "path_spine.h"

#include <algorithm>
#include <cmath>

#include "control_ranges.h"
#include "units.h"

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
