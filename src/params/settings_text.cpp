#include "settings_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "color.h"
#include "control_ranges.h"
#include "glib_ptr.h"
#include "path_spine.h"

namespace {

// One keyed field that travels as a single integer or double.
struct KeyedField {
  const char *key;
  int32_t EffectParams::*int_field;
  double EffectParams::*double_field;
};

#define ZS_INT(field) KeyedField{#field, &EffectParams::field, nullptr}
#define ZS_DOUBLE(field) KeyedField{#field, nullptr, &EffectParams::field}

// The line options, area type and unit, and the radial centre, in the order
// they are written.
constexpr KeyedField LINE_AND_AREA_KEYS[] = {
    ZS_INT(line_antialias),
    ZS_DOUBLE(line_pitch),
    ZS_DOUBLE(line_pitch_rand),
    ZS_INT(line_pitch_rand_seed),
    ZS_INT(line_pitch_type),
    ZS_DOUBLE(line_block_on_pitch),
    ZS_DOUBLE(line_block_on_pitch_rand),
    ZS_INT(line_blick_on_pitch_rand_seed),
    ZS_DOUBLE(line_block_off_pitch),
    ZS_DOUBLE(line_block_off_pitch_rand),
    ZS_INT(line_blick_off_pitch_rand_seed),
    ZS_INT(line_wave_npoint),
    ZS_DOUBLE(line_wave_depth),
    ZS_DOUBLE(line_wave_depth_rand),
    ZS_INT(line_wave_depth_rand_seed),
    ZS_INT(line_wave_type),
    ZS_DOUBLE(line_width),
    ZS_DOUBLE(line_width_rand),
    ZS_INT(line_width_rand_seed),
    ZS_DOUBLE(line_in_margin),
    ZS_DOUBLE(line_in_margin_rand),
    ZS_INT(line_in_margin_rand_seed),
    ZS_DOUBLE(line_in_length),
    ZS_DOUBLE(line_in_length_rand),
    ZS_INT(line_in_length_rand_seed),
    ZS_DOUBLE(line_out_margin),
    ZS_DOUBLE(line_out_margin_rand),
    ZS_INT(line_out_margin_rand_seed),
    ZS_DOUBLE(line_out_length),
    ZS_DOUBLE(line_out_length_rand),
    ZS_INT(line_out_length_rand_seed),
    ZS_INT(area_type),
    ZS_INT(area_unit),
    ZS_DOUBLE(radiation_x),
    ZS_DOUBLE(radiation_y),
};

constexpr KeyedField RADIUS_KEYS[] = {
    ZS_DOUBLE(radiation_in_radius),
    ZS_DOUBLE(radiation_out_radius),
    ZS_DOUBLE(radiation_oblateness),
};

constexpr KeyedField PARALLEL_KEYS[] = {
    ZS_DOUBLE(parallel_in_x),  ZS_DOUBLE(parallel_in_Y),  ZS_DOUBLE(parallel_in_range),
    ZS_DOUBLE(parallel_out_x), ZS_DOUBLE(parallel_out_Y), ZS_DOUBLE(parallel_out_range),
};

constexpr KeyedField PATH_KEYS[] = {
    ZS_DOUBLE(path_in_range),
    ZS_DOUBLE(path_out_range),
};

#undef ZS_INT
#undef ZS_DOUBLE

constexpr const char *SPINE_COUNT_KEY = "path_spine_points_count";
constexpr const char *SPINE_POINTS_KEY = "path_spine_points";

struct OutlineKeys {
  const char *active;
  const char *count;
  const char *points;
  FreehandOutline EffectParams::*outline;
};

#define ZS_OUTLINE(field) \
  OutlineKeys{#field "_active", #field "_points_count", #field "_points", &EffectParams::field}

constexpr OutlineKeys RADIATION_OUTLINES[] = {
    ZS_OUTLINE(radiation_in_freehand),
    ZS_OUTLINE(radiation_out_freehand),
};
constexpr OutlineKeys PARALLEL_OUTLINES[] = {
    ZS_OUTLINE(parallel_in_freehand),
    ZS_OUTLINE(parallel_out_freehand),
};
constexpr OutlineKeys PATH_OUTLINES[] = {
    ZS_OUTLINE(path_in_freehand),
    ZS_OUTLINE(path_out_freehand),
};
constexpr OutlineKeys ALL_OUTLINES[] = {
    RADIATION_OUTLINES[0], RADIATION_OUTLINES[1], PARALLEL_OUTLINES[0], PARALLEL_OUTLINES[1],
};

#undef ZS_OUTLINE

// --- writing -------------------------------------------------------------

void write_field(GKeyFile *kf, const EffectParams *p, const KeyedField &f) {
  if (f.int_field)
    g_key_file_set_integer(kf, SETTINGS_GROUP, f.key, p->*f.int_field);
  else
    g_key_file_set_double(kf, SETTINGS_GROUP, f.key, p->*f.double_field);
}

void write_outline(GKeyFile *kf, const EffectParams *p, const OutlineKeys &k) {
  const FreehandOutline &o = p->*k.outline;
  g_key_file_set_boolean(kf, SETTINGS_GROUP, k.active, o.active != 0);
  if (!o.active) return;
  g_key_file_set_integer(kf, SETTINGS_GROUP, k.count, o.count);
  if (o.count <= 0) return;
  // A count beyond the capacity never reads past the last sample.
  const int n = o.count < FREEHAND_SAMPLES ? o.count : FREEHAND_SAMPLES;
  double values[2 * FREEHAND_SAMPLES];
  for (int i = 0; i < n; ++i) {
    values[2 * i] = o.samples[i].pos;
    values[2 * i + 1] = o.samples[i].factor;
  }
  g_key_file_set_double_list(kf, SETTINGS_GROUP, k.points, values, 2 * n);
}

// The shortest form of v that reads back as v: positions typed as 12.5 stay
// 12.5 in the text.
void append_number(std::string *text, double v) {
  char buffer[G_ASCII_DTOSTR_BUF_SIZE];
  g_ascii_formatd(buffer, sizeof buffer, "%.15g", v);
  if (g_ascii_strtod(buffer, nullptr) != v) g_ascii_formatd(buffer, sizeof buffer, "%.17g", v);
  *text += buffer;
  *text += ';';
}

void write_spine(GKeyFile *kf, const EffectParams *p) {
  if (!path_spine_usable(p)) return;
  const int n = p->path_spine_points_count;
  g_key_file_set_integer(kf, SETTINGS_GROUP, SPINE_COUNT_KEY, n);
  std::string list;
  for (int i = 0; i < n; ++i) {
    append_number(&list, p->path_spine_points[i].x);
    append_number(&list, p->path_spine_points[i].y);
  }
  g_key_file_set_value(kf, SETTINGS_GROUP, SPINE_POINTS_KEY, list.c_str());
}

// --- reading -------------------------------------------------------------

bool has_key(GKeyFile *kf, const char *key) {
  return g_key_file_has_key(kf, SETTINGS_GROUP, key, nullptr);
}

// A value that does not parse, or that is not finite, reads as 0.
double read_double(GKeyFile *kf, const char *key) {
  const double v = g_key_file_get_double(kf, SETTINGS_GROUP, key, nullptr);
  return std::isfinite(v) ? v : 0.0;
}

void read_field(GKeyFile *kf, EffectParams *p, const KeyedField &f, const char *key) {
  if (!has_key(kf, key)) return;
  if (f.int_field)
    p->*f.int_field = g_key_file_get_integer(kf, SETTINGS_GROUP, key, nullptr);
  else
    p->*f.double_field = read_double(kf, key);
}

void read_color(GKeyFile *kf, EffectParams *p) {
  if (!has_key(kf, "line_color")) return;
  gsize n = 0;
  GPtr<gint> list(g_key_file_get_integer_list(kf, SETTINGS_GROUP, "line_color", &n, nullptr));
  // A list that does not parse or has fewer than three channels counts as
  // missing: the colour stays all 0.
  if (!list || n < 3) return;
  const gint *c = list.get();
  p->line_color = {(c[0] & 0xff) / 255.0, (c[1] & 0xff) / 255.0, (c[2] & 0xff) / 255.0, 1.0};
}

// Texts before 0.3 kept the two radii the other way round and had no
// oblateness.  A text without a readable version is such a text.
bool is_legacy(GKeyFile *kf) {
  if (!has_key(kf, "version")) return true;
  GCharPtr version(g_key_file_get_string(kf, SETTINGS_GROUP, "version", nullptr));
  if (!version) return true;
  StrvPtr parts(g_strsplit(version.get(), ".", 3));
  gint64 major = 0, minor = 0;
  if (parts.get()[0]) {
    major = g_ascii_strtoll(parts.get()[0], nullptr, 10);
    if (parts.get()[1]) minor = g_ascii_strtoll(parts.get()[1], nullptr, 10);
  }
  return major <= 0 && minor <= 2;
}

void read_outline(GKeyFile *kf, EffectParams *p, const OutlineKeys &k) {
  FreehandOutline &o = p->*k.outline;
  if (has_key(kf, k.active))
    o.active = g_key_file_get_boolean(kf, SETTINGS_GROUP, k.active, nullptr) ? 1 : 0;
  if (has_key(kf, k.count))
    o.count = g_key_file_get_integer(kf, SETTINGS_GROUP, k.count, nullptr);
  if (has_key(kf, k.points)) {
    if (o.count != FREEHAND_SAMPLES) {
      o.count = 0;
      return;
    }
    gsize n = 0;
    GPtr<gdouble> list(g_key_file_get_double_list(kf, SETTINGS_GROUP, k.points, &n, nullptr));
    bool usable = list && n == 2 * FREEHAND_SAMPLES;
    for (gsize i = 0; usable && i < n; ++i) usable = std::isfinite(list.get()[i]);
    if (!usable) {
      o.count = 0;
      return;
    }
    for (int i = 0; i < FREEHAND_SAMPLES; ++i)
      o.samples[i] = {list.get()[2 * i], list.get()[2 * i + 1]};
    return;
  }
  // Without samples a count can only say how many there would be.  A full
  // count would pass zeros off as a drawn outline, and one beyond the capacity
  // (or below 0) would send every reader past the table's end.
  if (o.count < 0 || o.count >= FREEHAND_SAMPLES) o.count = 0;
}

// The spine: a count of 2 .. 1000 (a larger one is cut to 1000) and at least
// that many finite x;y pairs; without a count, every pair the list holds.
// A spine that cannot be read leaves the count at 0.
void read_spine(GKeyFile *kf, EffectParams *p) {
  p->path_spine_points_count = 0;
  if (!has_key(kf, SPINE_POINTS_KEY)) return;
  gsize n = 0;
  GPtr<gdouble> list(g_key_file_get_double_list(kf, SETTINGS_GROUP, SPINE_POINTS_KEY, &n, nullptr));
  if (!list) return;
  gsize points = n / 2;
  if (has_key(kf, SPINE_COUNT_KEY)) {
    GError *error = nullptr;
    const gint count = g_key_file_get_integer(kf, SETTINGS_GROUP, SPINE_COUNT_KEY, &error);
    if (error) {
      g_error_free(error);
      return;
    }
    if (count < PATH_SPINE_MIN) return;
    points = std::min<gsize>(points, static_cast<gsize>(count));
  }
  points = std::min<gsize>(points, PATH_SPINE_MAX);
  if (points < PATH_SPINE_MIN) return;
  for (gsize i = 0; i < 2 * points; ++i)
    if (!std::isfinite(list.get()[i])) return;
  for (gsize i = 0; i < points; ++i)
    p->path_spine_points[i] = {list.get()[2 * i], list.get()[2 * i + 1]};
  p->path_spine_points_count = static_cast<int32_t>(points);
}

// --- applying ------------------------------------------------------------

// A spin button moves only when asked for a value more than this far from the
// one it shows.
constexpr double SPIN_EPSILON = 1e-10;

// The controls take their limits for the unit the lengths arrive in before
// any value is shown: the parsed unit when a unit item carries it.
void apply_spin(EffectParams *live, const EffectParams *parsed, const SpinRange &range,
                const SpinLimits &limits) {
  const double shown = spin_clamp(limits, spin_field_get(live, range));
  const double wanted = spin_field_get(parsed, range);
  if (std::fabs(wanted - shown) <= SPIN_EPSILON || spin_clamp(limits, wanted) == shown) {
    // The control does not move; its field is made what it shows (a value
    // outside the new limits becomes the limit).
    if (spin_field_get(live, range) != shown) spin_field_set(live, range, limits, shown);
    return;
  }
  spin_field_set(live, range, limits, wanted);
}

void apply_combo(EffectParams *live, const EffectParams *parsed, const ComboRange &range) {
  const int32_t wanted = combo_field_get(parsed, range);
  if (!combo_has_value(range, wanted)) return;
  combo_field_set(live, range, wanted);
}

void apply_outline(EffectParams *live, const EffectParams *parsed, const OutlineKeys &k) {
  FreehandOutline &to = live->*k.outline;
  const FreehandOutline &from = parsed->*k.outline;
  if ((to.active != 0) != (from.active != 0)) to.active = from.active != 0 ? 1 : 0;
  if (from.count == FREEHAND_SAMPLES) {
    std::memcpy(to.samples, from.samples, sizeof to.samples);
    to.count = FREEHAND_SAMPLES;
  }
}

}  // namespace

GKeyFile *settings_to_key_file(const EffectParams *params) {
  GKeyFile *kf = g_key_file_new();
  g_key_file_set_string(kf, SETTINGS_GROUP, "version", SETTINGS_VERSION);

  unsigned char bytes[3];
  color_to_bytes(params->line_color, bytes);
  gint rgb[3] = {bytes[0], bytes[1], bytes[2]};
  g_key_file_set_integer_list(kf, SETTINGS_GROUP, "line_color", rgb, 3);

  for (const KeyedField &f : LINE_AND_AREA_KEYS) write_field(kf, params, f);
  for (const KeyedField &f : RADIUS_KEYS) write_field(kf, params, f);
  for (const OutlineKeys &k : RADIATION_OUTLINES) write_outline(kf, params, k);
  for (const KeyedField &f : PARALLEL_KEYS) write_field(kf, params, f);
  for (const OutlineKeys &k : PARALLEL_OUTLINES) write_outline(kf, params, k);
  for (const KeyedField &f : PATH_KEYS) write_field(kf, params, f);
  write_spine(kf, params);
  for (const OutlineKeys &k : PATH_OUTLINES) write_outline(kf, params, k);
  return kf;
}

EffectParams settings_parse_key_file(GKeyFile *key_file) {
  EffectParams p{};
  // The Path band is newer than most texts: widths a text does not give are
  // NaN, so that applying the text leaves the live ones alone.
  for (const KeyedField &f : PATH_KEYS) p.*f.double_field = NAN;
  if (!key_file) return p;

  read_color(key_file, &p);
  const bool legacy = is_legacy(key_file);
  for (const KeyedField &f : LINE_AND_AREA_KEYS) read_field(key_file, &p, f, f.key);

  if (legacy) {
    // The old texts' outer radius is our inner one and the other way round.
    read_field(key_file, &p, RADIUS_KEYS[0], "radiation_out_radius");
    read_field(key_file, &p, RADIUS_KEYS[1], "radiation_in_radius");
  } else {
    for (const KeyedField &f : RADIUS_KEYS) read_field(key_file, &p, f, f.key);
  }

  for (const OutlineKeys &k : RADIATION_OUTLINES) read_outline(key_file, &p, k);
  for (const KeyedField &f : PARALLEL_KEYS) read_field(key_file, &p, f, f.key);
  for (const OutlineKeys &k : PARALLEL_OUTLINES) read_outline(key_file, &p, k);

  for (const KeyedField &f : PATH_KEYS)
    if (has_key(key_file, f.key)) read_field(key_file, &p, f, f.key);
  read_spine(key_file, &p);
  for (const OutlineKeys &k : PATH_OUTLINES) read_outline(key_file, &p, k);
  return p;
}

// Does what showing the parsed record in the dialog's controls does to the
// live record.  Every control writes only its own field, so the order of the
// controls does not matter here.  A control asked to show what it already
// shows does not move, and its field then holds what it shows.
namespace {

// The unit the parsed lengths arrive in: the parsed one when a unit item
// carries it.
int arriving_unit(const EffectParams *live, const EffectParams *parsed) {
  const ComboRange &units = *combo_range_find("area_unit");
  return combo_has_value(units, parsed->area_unit) ? parsed->area_unit : live->area_unit;
}

}  // namespace

void settings_apply_parsed(EffectParams *live, const EffectParams *parsed) {
  // The colour button takes the colour whole, alpha included.
  live->line_color = parsed->line_color;

  const int unit = arriving_unit(live, parsed);
  const Resolution resolution = image_resolution(live->image_id);
  for (const SpinRange &range : SPIN_RANGES)
    apply_spin(live, parsed, range, spin_limits(range, unit, resolution));
  for (const ComboRange &range : COMBO_RANGES) apply_combo(live, parsed, range);

  // The radio group shows "Parallel" only for 1; for anything else it shows
  // "Radiation", so 0 moves it only away from 1 (and from "Path", below).
  if (parsed->area_type == AREA_PARALLEL)
    live->area_type = AREA_PARALLEL;
  else if (parsed->area_type == AREA_RADIATION && live->area_type == AREA_PARALLEL)
    live->area_type = AREA_RADIATION;

  for (const OutlineKeys &k : ALL_OUTLINES) apply_outline(live, parsed, k);
  settings_apply_path(live, parsed);
}

void settings_apply_path(EffectParams *live, const EffectParams *parsed) {
  if (parsed->area_type == AREA_PATH ||
      (live->area_type == AREA_PATH && area_type_known(parsed->area_type)))
    live->area_type = parsed->area_type;

  const int unit = arriving_unit(live, parsed);
  const Resolution resolution = image_resolution(live->image_id);
  for (const SpinRange &range : PATH_SPIN_RANGES)
    if (!std::isnan(spin_field_get(parsed, range)))
      apply_spin(live, parsed, range, spin_limits(range, unit, resolution));
  for (const OutlineKeys &k : PATH_OUTLINES) apply_outline(live, parsed, k);
  if (path_spine_usable(parsed)) {
    live->path_spine_points_count = parsed->path_spine_points_count;
    std::memcpy(live->path_spine_points, parsed->path_spine_points,
                sizeof(SpinePoint) * parsed->path_spine_points_count);
    path_spine_clamp(live, unit, resolution);
  }
}

char *settings_to_text(const EffectParams *params, gsize *length) {
  GKeyFile *kf = settings_to_key_file(params);
  char *text = g_key_file_to_data(kf, length, nullptr);
  g_key_file_free(kf);
  return text;
}
