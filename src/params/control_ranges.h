// The one table of control ranges: every spin button of the dialog takes its
// range, step and digits from here, and every clamp of a loaded value uses it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "effect_params.h"
#include "image_services.h"

enum class FieldType { Double, Int };

// How a spin value becomes the field's value.
enum class IntRule {
  None,       // a double field: the value as is
  Truncate,   // toward zero
  Nearest,    // the nearest integer
  WavePoints  // truncated, then down to a multiple of 4
};

// Which resolution converts a length field to pixels; None for unit-free fields.
enum class LengthAxis { None, Horizontal, Vertical };

struct SpinRange {
  const char *key;  // field name and settings key
  std::size_t offset;
  FieldType type;
  double min;
  double max;
  double step;
  int digits;
  IntRule rule;
  LengthAxis axis;
};

#define ZS_SPIN(field, type, mn, mx, st, dg, rule, axis) \
  SpinRange{#field, offsetof(EffectParams, field), type, mn, mx, st, dg, rule, axis}

// GIMP's largest image side in pixels: positions, radii, ranges and the
// margins and lengths the defaults derive from them reach across any work
// area, to its far side and as far again beyond its left or top edge.
constexpr double IMAGE_SIDE_MAX = 524288.0;
constexpr double POS_MIN = -IMAGE_SIDE_MAX;
constexpr double POS_MAX = IMAGE_SIDE_MAX;
constexpr double EXTENT_MAX = IMAGE_SIDE_MAX;
// Every other length and the seeds.
constexpr double LEN_MAX = 32767.0;

// Order: the line table, then the radiation page, then the parallel page.
constexpr std::array<SpinRange, 39> SPIN_RANGES = {{
    ZS_SPIN(line_pitch, FieldType::Double, 0.5, LEN_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(line_pitch_rand, FieldType::Double, 0, 100, 1, 2, IntRule::None, LengthAxis::None),
    ZS_SPIN(line_pitch_rand_seed, FieldType::Int, 0, LEN_MAX, 1, 0, IntRule::Truncate, LengthAxis::None),
    ZS_SPIN(line_block_on_pitch, FieldType::Double, 0, LEN_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(line_block_on_pitch_rand, FieldType::Double, 0, 100, 1, 2, IntRule::None, LengthAxis::None),
    ZS_SPIN(line_blick_on_pitch_rand_seed, FieldType::Int, 0, LEN_MAX, 1, 0, IntRule::Truncate, LengthAxis::None),
    ZS_SPIN(line_block_off_pitch, FieldType::Double, 0, LEN_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(line_block_off_pitch_rand, FieldType::Double, 0, 100, 1, 2, IntRule::None, LengthAxis::None),
    ZS_SPIN(line_blick_off_pitch_rand_seed, FieldType::Int, 0, LEN_MAX, 1, 0, IntRule::Truncate, LengthAxis::None),
    ZS_SPIN(line_wave_npoint, FieldType::Int, 0, 128, 4, 0, IntRule::WavePoints, LengthAxis::None),
    ZS_SPIN(line_wave_depth, FieldType::Double, 0, LEN_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(line_wave_depth_rand, FieldType::Double, 0, 100, 1, 2, IntRule::None, LengthAxis::None),
    ZS_SPIN(line_wave_depth_rand_seed, FieldType::Int, 0, LEN_MAX, 1, 0, IntRule::Truncate, LengthAxis::None),
    ZS_SPIN(line_width, FieldType::Double, 0.5, LEN_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(line_width_rand, FieldType::Double, 0, 100, 1, 2, IntRule::None, LengthAxis::None),
    ZS_SPIN(line_width_rand_seed, FieldType::Int, 0, LEN_MAX, 1, 0, IntRule::Nearest, LengthAxis::None),
    ZS_SPIN(line_in_margin, FieldType::Double, 0, EXTENT_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(line_in_margin_rand, FieldType::Double, 0, 100, 1, 2, IntRule::None, LengthAxis::None),
    ZS_SPIN(line_in_margin_rand_seed, FieldType::Int, 0, LEN_MAX, 1, 0, IntRule::Nearest, LengthAxis::None),
    ZS_SPIN(line_in_length, FieldType::Double, 0, EXTENT_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(line_in_length_rand, FieldType::Double, 0, 100, 1, 2, IntRule::None, LengthAxis::None),
    ZS_SPIN(line_in_length_rand_seed, FieldType::Int, 0, LEN_MAX, 1, 0, IntRule::Nearest, LengthAxis::None),
    ZS_SPIN(line_out_margin, FieldType::Double, 0, EXTENT_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(line_out_margin_rand, FieldType::Double, 0, 100, 1, 2, IntRule::None, LengthAxis::None),
    ZS_SPIN(line_out_margin_rand_seed, FieldType::Int, 0, LEN_MAX, 1, 0, IntRule::Nearest, LengthAxis::None),
    ZS_SPIN(line_out_length, FieldType::Double, 0, EXTENT_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(line_out_length_rand, FieldType::Double, 0, 100, 1, 2, IntRule::None, LengthAxis::None),
    ZS_SPIN(line_out_length_rand_seed, FieldType::Int, 0, LEN_MAX, 1, 0, IntRule::Nearest, LengthAxis::None),

    ZS_SPIN(radiation_x, FieldType::Double, POS_MIN, POS_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(radiation_y, FieldType::Double, POS_MIN, POS_MAX, 1, 3, IntRule::None, LengthAxis::Vertical),
    ZS_SPIN(radiation_in_radius, FieldType::Double, 0, EXTENT_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(radiation_out_radius, FieldType::Double, 0, EXTENT_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(radiation_oblateness, FieldType::Double, -4, 0.95, 0.01, 3, IntRule::None, LengthAxis::None),

    ZS_SPIN(parallel_in_x, FieldType::Double, POS_MIN, POS_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(parallel_in_Y, FieldType::Double, POS_MIN, POS_MAX, 1, 3, IntRule::None, LengthAxis::Vertical),
    ZS_SPIN(parallel_in_range, FieldType::Double, 0.001, EXTENT_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(parallel_out_x, FieldType::Double, POS_MIN, POS_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
    ZS_SPIN(parallel_out_Y, FieldType::Double, POS_MIN, POS_MAX, 1, 3, IntRule::None, LengthAxis::Vertical),
    ZS_SPIN(parallel_out_range, FieldType::Double, 0.001, EXTENT_MAX, 1, 3, IntRule::None, LengthAxis::Horizontal),
}};
#undef ZS_SPIN

struct ComboItem {
  const char *label;  // shown through the translation domain (units: GIMP's plural name)
  int value;
};

struct ComboRange {
  const char *key;
  std::size_t offset;  // an int32 field
  const ComboItem *items;
  int n_items;
};

constexpr ComboItem ANTIALIAS_ITEMS[] = {{"None", 0}, {"Fast", 1}, {"Best", 2}};
constexpr ComboItem PITCH_TYPE_ITEMS[] = {{"IN", 0}, {"OUT", 1}};
constexpr ComboItem WAVE_TYPE_ITEMS[] = {{"Default", 0}, {"Cos", 2},        {"Arc", 4},
                                         {"Arc(Inv)", 5}, {"Block", 8},     {"Block(Inv)", 9},
                                         {"N", 6}};
// Fallback names; the dialog shows the editor's own plural names of units 0..4.
constexpr ComboItem UNIT_ITEMS[] = {
    {"pixels", 0}, {"inches", 1}, {"millimeters", 2}, {"points", 3}, {"picas", 4}};

constexpr std::array<ComboRange, 4> COMBO_RANGES = {{
    {"line_antialias", offsetof(EffectParams, line_antialias), ANTIALIAS_ITEMS, 3},
    {"line_pitch_type", offsetof(EffectParams, line_pitch_type), PITCH_TYPE_ITEMS, 2},
    {"line_wave_type", offsetof(EffectParams, line_wave_type), WAVE_TYPE_ITEMS, 7},
    {"area_unit", offsetof(EffectParams, area_unit), UNIT_ITEMS, 5},
}};

// Lookup by field name / settings key; nullptr when the key has no spin button
// (or no combo).
const SpinRange *spin_range_find(const char *key);
const ComboRange *combo_range_find(const char *key);

// The field at `offset` of a record, as a table entry names it.
template <typename T>
T &field_ref(EffectParams *params, std::size_t offset) {
  return *reinterpret_cast<T *>(reinterpret_cast<char *>(params) + offset);
}
template <typename T>
const T &field_ref(const EffectParams *params, std::size_t offset) {
  return *reinterpret_cast<const T *>(reinterpret_cast<const char *>(params) + offset);
}

// What a control accepts.  The table's limits of a length field are pixels;
// while lengths are shown in another unit the control holds the same
// physical lengths, converted with the resolution of the field's axis, so
// that a value survives any change of unit.  Other fields keep the table's.
struct SpinLimits {
  double min;
  double max;
};
SpinLimits spin_limits(const SpinRange &range);  // the table's
SpinLimits spin_limits(const SpinRange &range, int unit, const Resolution &resolution);

// Field access through a table entry.
double spin_field_get(const EffectParams *params, const SpinRange &range);
// Writes `value` as the control would: clamped to the limits (a non-finite
// value counts as the minimum), then turned into an integer by the entry's
// rule for integer fields.  Without limits, the table's.
void spin_field_set(EffectParams *params, const SpinRange &range, double value);
void spin_field_set(EffectParams *params, const SpinRange &range, const SpinLimits &limits,
                    double value);
double spin_clamp(const SpinRange &range, double value);
double spin_clamp(const SpinLimits &limits, double value);

int32_t combo_field_get(const EffectParams *params, const ComboRange &range);
void combo_field_set(EffectParams *params, const ComboRange &range, int32_t value);
bool combo_has_value(const ComboRange &range, int value);
