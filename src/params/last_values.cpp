#include "last_values.h"

#include <cmath>
#include <cstring>

#include "control_ranges.h"

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

}  // namespace

bool last_values_restore(EffectParams *params, const void *block, std::size_t size) {
  if (!block || size != sizeof(EffectParams)) return false;
  EffectParams stored;
  std::memcpy(&stored, block, sizeof stored);
  const EffectParams defaults = *params;
  *params = stored;

  for (const SpinRange &range : SPIN_RANGES) {
    if (range.type != FieldType::Double) continue;
    double &v = field_ref<double>(params, range.offset);
    if (!std::isfinite(v)) v = spin_field_get(&defaults, range);
  }
  for (const ComboRange &range : COMBO_RANGES) {
    int32_t &v = field_ref<int32_t>(params, range.offset);
    if (!combo_has_value(range, v)) v = combo_field_get(&defaults, range);
  }
  if (params->area_type != AREA_RADIATION && params->area_type != AREA_PARALLEL)
    params->area_type = defaults.area_type;
  if (!color_usable(params->line_color)) params->line_color = defaults.line_color;

  take_outline(&params->radiation_in_freehand, stored.radiation_in_freehand,
               freehand_reset_radial);
  take_outline(&params->radiation_out_freehand, stored.radiation_out_freehand,
               freehand_reset_radial);
  take_outline(&params->parallel_in_freehand, stored.parallel_in_freehand,
               freehand_reset_parallel);
  take_outline(&params->parallel_out_freehand, stored.parallel_out_freehand,
               freehand_reset_parallel);
  params->topmost = params->topmost != 0;
  return true;
}
