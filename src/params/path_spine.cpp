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

std::vector<SpinePoint> path_spine_resample(const std::vector<SpinePoint> &points, int max_points) {
  std::vector<SpinePoint> kept;
  for (const SpinePoint &p : points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
    if (!kept.empty() && kept.back().x == p.x && kept.back().y == p.y) continue;
    kept.push_back(p);
  }
  if (max_points < 2 || static_cast<int>(kept.size()) <= max_points) return kept;
  std::vector<double> at(1, 0.0);  // length along the polyline at each point
  for (size_t i = 1; i < kept.size(); ++i)
    at.push_back(at.back() + std::hypot(kept[i].x - kept[i - 1].x, kept[i].y - kept[i - 1].y));
  std::vector<SpinePoint> out;
  out.reserve(max_points);
  size_t segment = 1;
  for (int k = 0; k < max_points; ++k) {
    if (k == max_points - 1) {
      out.push_back(kept.back());
      break;
    }
    const double target = at.back() * k / (max_points - 1);
    while (segment + 1 < at.size() && at[segment] < target) ++segment;
    const double span = at[segment] - at[segment - 1];
    const double t = span > 0.0 ? std::clamp((target - at[segment - 1]) / span, 0.0, 1.0) : 0.0;
    const SpinePoint &a = kept[segment - 1], &b = kept[segment];
    out.push_back({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)});
  }
  return out;
}

bool path_spine_set_from_pixels(EffectParams *params, const std::vector<SpinePoint> &pixels,
                                double origin_x, double origin_y, const Resolution &resolution) {
  const std::vector<SpinePoint> spine = path_spine_resample(pixels, PATH_SPINE_MAX);
  if (spine.size() < static_cast<size_t>(PATH_SPINE_MIN)) return false;
  const int unit = params->area_unit;
  for (size_t i = 0; i < spine.size(); ++i)
    params->path_spine_points[i] = {
        pixels_to_units(spine[i].x + origin_x, unit, resolution.x),
        pixels_to_units(spine[i].y + origin_y, unit, resolution.y)};
  params->path_spine_points_count = static_cast<int32_t>(spine.size());
  path_spine_clamp(params, unit, resolution);
  return true;
}
