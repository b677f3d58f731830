#include "last_values.h"

#include <cmath>
#include <cstring>

#include "control_ranges.h"
#include "path_spine.h"

namespace {

bool color_usable(const ColorRGBA &c) {
  return std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b) && std::isfinite(c.a);
}

// An outline the engine and the editor can use: a count within the table,
// finite samples, and positions in drawing order.  Positions need not lie on
// the editor's own grid: an outline written by hand or by another tool loads
// from a preset and draws, so it must survive the next run as well.
bool outline_usable(const FreehandOutline &outline) {
  if (outline.count < 0 || outline.count > FREEHAND_SAMPLES) return false;
  for (int i = 0; i < FREEHAND_SAMPLES; ++i) {
    const FreehandSample &s = outline.samples[i];
    if (!std::isfinite(s.pos) || !std::isfinite(s.factor)) return false;
    if (i > 0 && i < outline.count && s.pos < outline.samples[i - 1].pos) return false;
  }
  return true;
}

void take_outline(FreehandOutline *out, const FreehandOutline &stored,
                  void (*reset)(FreehandOutline *)) {
  const int32_t active = stored.active != 0;
  if (outline_usable(stored)) {
    *out = stored;
  } else {
    reset(out);
  }
  out->active = active;
}

bool resolution_usable(double dpi) {
  return std::isfinite(dpi) && dpi >= RESOLUTION_MIN_DPI && dpi <= RESOLUTION_MAX_DPI;
}

// Scales one length field, clamped to the limits of its control in `unit`.
void scale_field(EffectParams *params, const char *key, double factor, int unit,
                 const Resolution &resolution) {
  const SpinRange *range = spin_range_find(key);
  const double value = spin_field_get(params, *range) * factor;
  spin_field_set(params, *range, spin_limits(*range, unit, resolution), value);
}

}  // namespace

void last_values_fit(EffectParams *params, const WorkArea &area, const Resolution &resolution) {
  const int old_w = params->geometry_width;
  const int old_h = params->geometry_height;
  const double old_xres = params->geometry_xres;
  const double old_yres = params->geometry_yres;
  params->geometry_width = area.width;
  params->geometry_height = area.height;
  params->geometry_xres = resolution.x;
  params->geometry_yres = resolution.y;
  if (old_w <= 0 || old_h <= 0 || area.width <= 0 || area.height <= 0) return;

  const bool pixels = params->area_unit == 0;
  const bool resolutions_usable = resolution_usable(old_xres) && resolution_usable(old_yres) &&
                                  resolution_usable(resolution.x) &&
                                  resolution_usable(resolution.y);
  // How a held length changes when its pixels stay the same.
  double ux = 1.0, uy = 1.0;
  if (!pixels && resolutions_usable) {
    ux = old_xres / resolution.x;
    uy = old_yres / resolution.y;
  }
  if (old_w == area.width && old_h == area.height && ux == 1.0 && uy == 1.0) return;

  const double sx = static_cast<double>(area.width) / old_w;
  const double sy = static_cast<double>(area.height) / old_h;
  const double sd = std::hypot(static_cast<double>(area.width), static_cast<double>(area.height)) /
                    std::hypot(static_cast<double>(old_w), static_cast<double>(old_h));

  // The band's direction in pixels of the old work area; a band scaled by
  // sx, sy keeps its area, so its width across grows by sx * sy over the
  // growth along it.
  const double px = pixels || !resolutions_usable ? 1.0 : old_xres;
  const double py = pixels || !resolutions_usable ? 1.0 : old_yres;
  const double dx = (params->parallel_out_x - params->parallel_in_x) * px;
  const double dy = (params->parallel_out_Y - params->parallel_in_Y) * py;
  const double along = std::hypot(dx, dy);
  double across = sy;
  if (along > 0.0 && std::isfinite(along)) {
    const double stretch = std::hypot(sx * dx / along, sy * dy / along);
    if (stretch > 0.0) across = sx * sy / stretch;
  }

  const int unit = params->area_unit;
  const auto scale = [&](const char *key, double factor) {
    scale_field(params, key, factor, unit, resolution);
  };
  scale("radiation_x", sx * ux);
  scale("radiation_y", sy * uy);
  scale("radiation_in_radius", sd * ux);
  scale("radiation_out_radius", sd * ux);
  scale("parallel_in_x", sx * ux);
  scale("parallel_in_Y", sy * uy);
  scale("parallel_out_x", sx * ux);
  scale("parallel_out_Y", sy * uy);
  scale("parallel_in_range", across * ux);
  scale("parallel_out_range", across * ux);
  scale("line_in_margin", sd * ux);
  scale("line_in_length", sd * ux);

  // The spine's points as positions; its widths across it as the band's,
  // with the direction from its first point to its last.
  double path_across = sy;
  if (path_spine_usable(params)) {
    const SpinePoint &first = params->path_spine_points[0];
    const SpinePoint &last = params->path_spine_points[params->path_spine_points_count - 1];
    const double pdx = (last.x - first.x) * px, pdy = (last.y - first.y) * py;
    const double path_along = std::hypot(pdx, pdy);
    if (path_along > 0.0 && std::isfinite(path_along)) {
      const double stretch = std::hypot(sx * pdx / path_along, sy * pdy / path_along);
      if (stretch > 0.0) path_across = sx * sy / stretch;
    }
  }
  path_scale(params, sx * ux, sy * uy, path_across * ux, unit, resolution);
}

bool last_values_restore(EffectParams *params, const void *block, std::size_t size) {
  if (!block || size != sizeof(EffectParams)) return false;
  EffectParams stored;
  std::memcpy(&stored, block, sizeof stored);
  const EffectParams defaults = *params;
  *params = stored;

  for_each_spin_range([&](const SpinRange &range) {
    if (range.type != FieldType::Double) return;
    double &v = field_ref<double>(params, range.offset);
    if (!std::isfinite(v)) v = spin_field_get(&defaults, range);
  });
  for (const ComboRange &range : COMBO_RANGES) {
    int32_t &v = field_ref<int32_t>(params, range.offset);
    if (!combo_has_value(range, v)) v = combo_field_get(&defaults, range);
  }
  if (!area_type_known(params->area_type)) params->area_type = defaults.area_type;
  if (!path_spine_usable(params)) {
    params->path_spine_points_count = defaults.path_spine_points_count;
    std::memcpy(params->path_spine_points, defaults.path_spine_points,
                sizeof params->path_spine_points);
  }
  if (!color_usable(params->line_color)) params->line_color = defaults.line_color;

  take_outline(&params->radiation_in_freehand, stored.radiation_in_freehand,
               freehand_reset_radial);
  take_outline(&params->radiation_out_freehand, stored.radiation_out_freehand,
               freehand_reset_radial);
  take_outline(&params->parallel_in_freehand, stored.parallel_in_freehand,
               freehand_reset_parallel);
  take_outline(&params->parallel_out_freehand, stored.parallel_out_freehand,
               freehand_reset_parallel);
  take_outline(&params->path_in_freehand, stored.path_in_freehand, freehand_reset_parallel);
  take_outline(&params->path_out_freehand, stored.path_out_freehand, freehand_reset_parallel);
  params->topmost = params->topmost != 0;
  return true;
}
