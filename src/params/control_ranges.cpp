#include "control_ranges.h"

#include <cmath>
#include <cstring>

const SpinRange *spin_range_find(const char *key) {
  for (const SpinRange &range : SPIN_RANGES)
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

double spin_clamp(const SpinRange &range, double value) {
  if (std::isnan(value)) return range.min;
  if (value < range.min) return range.min;
  if (value > range.max) return range.max;
  return value;
}

void spin_field_set(EffectParams *params, const SpinRange &range, double value) {
  const double v = spin_clamp(range, value);
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
