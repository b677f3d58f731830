#include "control_ranges.h"

#include <cmath>
#include <cstring>

#include "units.h"

const SpinRange *spin_range_find(const char *key) {
  for (const SpinRange &range : SPIN_RANGES)
    if (std::strcmp(range.key, key) == 0) return &range;
  for (const SpinRange &range : PATH_SPIN_RANGES)
    if (std::strcmp(range.key, key) == 0) return &range;
  return nullptr;
}

const ComboRange *combo_range_find(const char *key) {
  for (const ComboRange &range : COMBO_RANGES)
    if (std::strcmp(range.key, key) == 0) return &range;
  return nullptr;
}

double spin_field_get(const EffectParams *params, const SpinRange &range) {
  if (range.type == FieldType::Int) return field_ref<int32_t>(params, range.offset);
  return field_ref<double>(params, range.offset);
}

SpinLimits spin_limits(const SpinRange &range) { return {range.min, range.max}; }

SpinLimits spin_limits(const SpinRange &range, int unit, const Resolution &resolution) {
  if (range.axis == LengthAxis::None || range.type != FieldType::Double) return spin_limits(range);
  const double res = range.axis == LengthAxis::Vertical ? resolution.y : resolution.x;
  return {pixels_to_units(range.min, unit, res), pixels_to_units(range.max, unit, res)};
}

double spin_clamp(const SpinLimits &limits, double value) {
  if (std::isnan(value)) return limits.min;
  if (value < limits.min) return limits.min;
  if (value > limits.max) return limits.max;
  return value;
}

double spin_clamp(const SpinRange &range, double value) {
  return spin_clamp(spin_limits(range), value);
}

void spin_field_set(EffectParams *params, const SpinRange &range, double value) {
  spin_field_set(params, range, spin_limits(range), value);
}

void spin_field_set(EffectParams *params, const SpinRange &range, const SpinLimits &limits,
                    double value) {
  const double v = spin_clamp(limits, value);
  if (range.type == FieldType::Double) {
    field_ref<double>(params, range.offset) = v;
    return;
  }
  int32_t n = 0;
  switch (range.rule) {
    case IntRule::Nearest: n = static_cast<int32_t>(std::lround(v)); break;
    case IntRule::WavePoints: n = static_cast<int32_t>(v); n -= n % 4; break;
    case IntRule::Truncate:
    case IntRule::None: n = static_cast<int32_t>(v); break;
  }
  field_ref<int32_t>(params, range.offset) = n;
}

int32_t combo_field_get(const EffectParams *params, const ComboRange &range) {
  return field_ref<int32_t>(params, range.offset);
}

void combo_field_set(EffectParams *params, const ComboRange &range, int32_t value) {
  field_ref<int32_t>(params, range.offset) = value;
}

bool combo_has_value(const ComboRange &range, int value) {
  for (int i = 0; i < range.n_items; ++i)
    if (range.items[i].value == value) return true;
  return false;
}
