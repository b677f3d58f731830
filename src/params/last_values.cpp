#include "last_values.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control_ranges.h"
#include "glib_ptr.h"
#include "path_spine.h"
#include "settings_text.h"
#include "units.h"

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

namespace {

// Takes `stored` over params, whose values are the defaults: values no
// control could show keep the defaults, outlines no reader can use are reset.
void take_record(EffectParams *params, const EffectParams &stored) {
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
}


// The run fields kept beside the settings text.
struct RunField {
  const char *key;
  int32_t EffectParams::*int_field;
  double EffectParams::*double_field;
};

constexpr RunField RUN_FIELDS[] = {
    {"window_x", &EffectParams::window_x, nullptr},
    {"window_y", &EffectParams::window_y, nullptr},
    {"window_width", &EffectParams::window_width, nullptr},
    {"window_height", &EffectParams::window_height, nullptr},
    {"topmost", &EffectParams::topmost, nullptr},
    {"geometry_width", &EffectParams::geometry_width, nullptr},
    {"geometry_height", &EffectParams::geometry_height, nullptr},
    {"geometry_xres", nullptr, &EffectParams::geometry_xres},
    {"geometry_yres", nullptr, &EffectParams::geometry_yres},
};

// The colour with its alpha, exactly: the settings text has 8-bit channels.
constexpr const char *RUN_COLOR_KEY = "line_color";

// The spine packed on a grid of this many pixels: each point comes back
// within a quarter of a pixel along x and along y.
constexpr const char *SPINE_PACKED_KEY = "path_spine_packed";
constexpr double SPINE_GRID_PIXELS = 0.5;

// Larger than four drawn outlines; anything bigger is no text of ours.
constexpr std::size_t LAST_VALUES_TEXT_MAX = 1024 * 1024;

bool in_reset_shape(const FreehandOutline &outline, void (*reset)(FreehandOutline *)) {
  auto shape = std::make_unique<FreehandOutline>();
  reset(shape.get());
  return outline.count == shape->count &&
         std::memcmp(outline.samples, shape->samples, sizeof shape->samples) == 0;
}

// How the preview draws a straight stroke of the pointer on an outline: the
// factor goes straight across a band; around the centre the pointer's
// distance does, over the ellipse of the inner or the outer radius.
enum class Stroke { Band, RadialIn, RadialOut };

struct OutlineSlot {
  const char *name;
  FreehandOutline EffectParams::*field;
  void (*reset)(FreehandOutline *);
  Stroke stroke;
};

const OutlineSlot OUTLINE_SLOTS[] = {
    {"radiation_in_freehand", &EffectParams::radiation_in_freehand, freehand_reset_radial,
     Stroke::RadialIn},
    {"radiation_out_freehand", &EffectParams::radiation_out_freehand, freehand_reset_radial,
     Stroke::RadialOut},
    {"parallel_in_freehand", &EffectParams::parallel_in_freehand, freehand_reset_parallel,
     Stroke::Band},
    {"parallel_out_freehand", &EffectParams::parallel_out_freehand, freehand_reset_parallel,
     Stroke::Band},
    {"path_in_freehand", &EffectParams::path_in_freehand, freehand_reset_parallel, Stroke::Band},
    {"path_out_freehand", &EffectParams::path_out_freehand, freehand_reset_parallel,
     Stroke::Band},
};

// --- packed numbers -----------------------------------------------------------
//
// Drawn outlines and the spine are kept as whole numbers written in the
// digits of PACK_DIGITS, five bits a digit, lowest first, 32 added to every
// digit but a number's last, the sign in the lowest bit.

constexpr char PACK_DIGITS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
// The most digits a number takes (55 bits: a knot's factor of a million to
// nine decimals, with its sign, takes 52), and the most cells a spine's
// point lies from the origin, whose predictions and differences stay far
// inside 64 bits.
constexpr int PACK_NUMBER_DIGITS = 11;
constexpr int64_t PACK_CELLS_MAX = int64_t{1} << 40;

void put_number(std::string *out, int64_t v) {
  uint64_t z = v < 0 ? (static_cast<uint64_t>(-(v + 1)) << 1) | 1 : static_cast<uint64_t>(v) << 1;
  do {
    const unsigned low = static_cast<unsigned>(z & 31);
    z >>= 5;
    out->push_back(PACK_DIGITS[low | (z ? 32 : 0)]);
  } while (z);
}

// The digit's value, or -1 for anything else (the text's end included).
int digit_value(char c) {
  const char *at = c != '\0' ? std::strchr(PACK_DIGITS, c) : nullptr;
  return at ? static_cast<int>(at - PACK_DIGITS) : -1;
}

// The number at *text, which moves past it; none for digits no writer makes.
std::optional<int64_t> get_number(const char **text) {
  uint64_t z = 0;
  for (int k = 0; k < PACK_NUMBER_DIGITS; ++k) {
    const int d = digit_value(**text);
    if (d < 0) return std::nullopt;
    ++*text;
    z |= static_cast<uint64_t>(d & 31) << (5 * k);
    if (!(d & 32)) return (z & 1) ? -static_cast<int64_t>(z >> 1) - 1 : static_cast<int64_t>(z >> 1);
  }
  return std::nullopt;
}

// `text` split at ';' into exactly `n` fields (the last holding the digits).
std::vector<std::string> fields_of(const char *text, int n) {
  StrvPtr parts(g_strsplit(text, ";", n + 1));
  if (g_strv_length(parts.get()) != static_cast<guint>(n)) return {};
  return std::vector<std::string>(parts.get(), parts.get() + n);
}

// The decimal number `text` holds if it lies in lo .. hi; a text without
// digits reads as 0, which no caller's range holds.
std::optional<int64_t> whole_number(const std::string &text, int64_t lo, int64_t hi) {
  char *end = nullptr;
  const int64_t v = g_ascii_strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || v < lo || v > hi) return std::nullopt;
  return v;
}

// --- outlines as knots ------------------------------------------------------
//
// A drawn outline is kept as the samples between which it runs straight, to
// within what a redraw shows: `NAME_knots` is "DECIMALS;DIGITS", the digits
// giving for each knot the number of samples from the knot before (0 for the
// first knot, at sample 0; the steps add up to the last sample), then its
// factor in units of 10^-DECIMALS, less the knot before's.  Between two knots
// the factor goes straight, or, where the later knot's step is written
// negative, the distance from the centre does, as the preview draws a stroke
// of the pointer around a radial area (factor times the boundary's distance,
// the ellipse of that outline's radius).  The positions are those of the
// editor's grid (the reset shape's); an outline whose positions are off it
// (or whose factors are beyond a million) is kept sample by sample in
// `NAME_points`, as presets keep it.

constexpr int KNOT_DECIMALS_MAX = 9;

// True for an outline the knots can hold: on the grid, every factor within
// a million.
bool knots_can_hold(const FreehandOutline &outline, void (*reset)(FreehandOutline *)) {
  if (outline.count != FREEHAND_SAMPLES) return false;
  auto grid = std::make_unique<FreehandOutline>();
  reset(grid.get());
  for (int i = 0; i < FREEHAND_SAMPLES; ++i)
    if (outline.samples[i].pos != grid->samples[i].pos ||
        !(std::fabs(outline.samples[i].factor) <= 1e6))
      return false;
  return true;
}

// The boundary's distance from the centre at each sample, which a radial
// factor is a share of: the ellipse the preview draws for that radius, its
// width along x grown by the oblateness (1 everywhere across a band, or when
// the values make no ellipse).  Only the ratios matter, so the unit does not.
std::vector<double> stroke_boundary(const EffectParams &p, Stroke stroke) {
  std::vector<double> rho(FREEHAND_SAMPLES, 1.0);
  if (stroke == Stroke::Band) return rho;
  const double r_out = p.radiation_out_radius, r_in = p.radiation_in_radius;
  const double a_out = r_out / (1 - p.radiation_oblateness);
  const double a = stroke == Stroke::RadialOut ? a_out : a_out - (r_out - r_in);
  const double r = stroke == Stroke::RadialOut ? r_out : r_in;
  if (!(a > 0 && r > 0 && std::isfinite(a) && std::isfinite(r))) return rho;
  for (int i = 0; i < FREEHAND_SAMPLES; ++i) {
    const double t = i * RADIAL_SAMPLE_STEP;
    const double d = a * r / std::hypot(r * std::cos(t), a * std::sin(t));
    if (!(d > 0 && std::isfinite(d))) return std::vector<double>(FREEHAND_SAMPLES, 1.0);
    rho[i] = d;
  }
  return rho;
}

// The factor at sample i between knot a and knot b: straight, or, over
// `rho`, straight in the distance from the centre.
double knot_factor(const std::vector<double> *rho, int a, double fa, int b, double fb, int i) {
  if (!rho) return fa + (fb - fa) * (i - a) / (b - a);
  const std::vector<double> &d = *rho;
  const double da = fa * d[a], db = fb * d[b];
  return (da + (db - da) * (i - a) / (b - a)) / d[i];
}

// How far a factor may move: half a pixel of the largest distance it is a
// share of, the work area's diagonal or the outline's radius.  A record that
// does not know its work area takes the largest GIMP image.
double knot_tolerance(const EffectParams &p, Stroke stroke) {
  constexpr double LARGEST_IMAGE = 524288.0;
  double span = p.geometry_width > 0 && p.geometry_height > 0
                    ? std::hypot(static_cast<double>(p.geometry_width), p.geometry_height)
                    : LARGEST_IMAGE * std::sqrt(2.0);
  if (stroke != Stroke::Band) {
    // (A resolution no image has converts as 72 dpi.)
    const double a_out = p.radiation_out_radius / (1 - p.radiation_oblateness);
    for (double r : {p.radiation_in_radius, p.radiation_out_radius, a_out}) {
      const double px = std::fabs(units_to_pixels(r, p.area_unit, p.geometry_xres));
      if (std::isfinite(px)) span = std::max(span, px);
    }
  }
  return 0.5 / std::min(span, LARGEST_IMAGE * 4.0);
}

// The knots' text, each factor to the decimals the tolerance needs, the run
// between two knots within it of every sample.
std::string outline_knots(const FreehandOutline &outline, const std::vector<double> &rho,
                          bool radial, double tolerance) {
  const int decimals =
      std::clamp(static_cast<int>(std::ceil(-std::log10(2 * tolerance))), 1, KNOT_DECIMALS_MAX);
  const double scale = std::pow(10.0, decimals);
  std::vector<double> q(FREEHAND_SAMPLES);
  for (int i = 0; i < FREEHAND_SAMPLES; ++i)
    q[i] = std::round(outline.samples[i].factor * scale) / scale;
  const auto fits = [&](int a, int b, const std::vector<double> *over) {
    for (int i = a + 1; i < b; ++i)
      if (!(std::fabs(knot_factor(over, a, q[a], b, q[b], i) - outline.samples[i].factor) <=
            tolerance))
        return false;
    return true;
  };
  std::string text = std::to_string(decimals) + ';';
  int last = 0;
  int64_t last_units = 0;
  const auto add = [&](int i, bool around) {
    const int64_t units = static_cast<int64_t>(std::round(q[i] * scale));
    put_number(&text, around ? -(i - last) : i - last);
    put_number(&text, units - last_units);
    last = i;
    last_units = units;
  };
  add(0, false);
  for (int a = 0; a < FREEHAND_SAMPLES - 1;) {
    // As far as either run reaches (the next sample at least, with nothing
    // between), straight where both do.
    int b = a;
    bool straight = true, around = radial;
    while (b + 1 < FREEHAND_SAMPLES) {
      const bool s = straight && fits(a, b + 1, nullptr);
      const bool r = around && fits(a, b + 1, &rho);
      if (!s && !r) break;
      straight = s;
      around = r;
      ++b;
    }
    add(b, !straight);
    a = b;
  }
  return text;
}

// The outline the knots in `text` stand for, on the reset shape's grid; a
// text no writer makes (other decimals, a step that is not from 1 up, steps
// that do not end at the last sample, a factor beyond a million, a run around
// the centre on a band, digits left over or missing) leaves it as it was.
void outline_from_knots(FreehandOutline *out, const char *text, const std::vector<double> &rho,
                        bool radial, void (*reset)(FreehandOutline *)) {
  const std::vector<std::string> fields = fields_of(text, 2);
  const std::optional<int64_t> decimals =
      fields.empty() ? std::nullopt : whole_number(fields[0], 1, KNOT_DECIMALS_MAX);
  if (!decimals) return;
  const double scale = std::pow(10.0, static_cast<double>(*decimals));
  std::vector<int> at;
  std::vector<double> factor;
  std::vector<bool> around;
  int64_t units = 0;
  for (const char *digits = fields[1].c_str(); *digits != '\0';) {
    const std::optional<int64_t> step = get_number(&digits);
    const std::optional<int64_t> change = step ? get_number(&digits) : std::nullopt;
    if (!change) return;
    units += *change;
    if (!(std::fabs(units / scale) <= 1e6)) return;
    const int64_t from = at.empty() ? 0 : at.back();
    if (at.empty() ? *step != 0 : *step == 0 || from + std::llabs(*step) >= FREEHAND_SAMPLES)
      return;
    if (*step < 0 && !radial) return;
    at.push_back(static_cast<int>(from + std::llabs(*step)));
    factor.push_back(units / scale);
    around.push_back(*step < 0);
  }
  if (at.size() < 2 || at.back() != FREEHAND_SAMPLES - 1) return;
  const int32_t active = out->active;
  reset(out);
  out->active = active;
  for (size_t k = 1; k < at.size(); ++k) {
    const int a = at[k - 1], b = at[k];
    for (int i = a; i <= b; ++i)
      out->samples[i].factor =
          knot_factor(around[k] ? &rho : nullptr, a, factor[k - 1], b, factor[k], i);
  }
}

// --- the spine, packed -------------------------------------------------------
//
// `path_spine_packed` is "GRID_X;GRID_Y;COUNT;ORDER;DIGITS": each point moved
// to the nearest corner of a grid of GRID_X by GRID_Y (in the spine's unit),
// so within half a cell of where it was along x and along y, and told in
// whole cells as its difference from where the points before it lead: the
// one before for order 1, the straight line through the two before for 2,
// the parabola through the three before for 3 (the first points with what is
// known of them).  The writer takes the order that needs the fewest digits.
// A point whose differences along x and y are both within SPINE_NEAR cells
// is one digit; any other is the digit SPINE_FAR and both differences as
// numbers.

constexpr int64_t SPINE_NEAR = 3;
constexpr int64_t SPINE_SPAN = 2 * SPINE_NEAR + 1;
constexpr int SPINE_FAR = SPINE_SPAN * SPINE_SPAN;
constexpr int SPINE_ORDER_MAX = 3;

int64_t spine_predict(const std::vector<int64_t> &k, size_t i, int order) {
  switch (std::min<size_t>(i, static_cast<size_t>(order))) {
    case 0: return 0;
    case 1: return k[i - 1];
    case 2: return 2 * k[i - 1] - k[i - 2];
    default: return 3 * k[i - 1] - 3 * k[i - 2] + k[i - 3];
  }
}

std::string spine_digits(const std::vector<int64_t> &kx, const std::vector<int64_t> &ky,
                         int order) {
  std::string out;
  for (size_t i = 0; i < kx.size(); ++i) {
    const int64_t dx = kx[i] - spine_predict(kx, i, order);
    const int64_t dy = ky[i] - spine_predict(ky, i, order);
    if (std::llabs(dx) <= SPINE_NEAR && std::llabs(dy) <= SPINE_NEAR) {
      out.push_back(PACK_DIGITS[(dx + SPINE_NEAR) * SPINE_SPAN + dy + SPINE_NEAR]);
    } else {
      out.push_back(PACK_DIGITS[SPINE_FAR]);
      put_number(&out, dx);
      put_number(&out, dy);
    }
  }
  return out;
}

bool cell_usable(double cell) { return cell > 0.0 && std::isfinite(cell); }

// The packed spine on a grid of cells above 0; empty when the spine is not
// usable or a point lies beyond PACK_CELLS_MAX cells.
std::string spine_pack(const EffectParams &p, double grid_x, double grid_y) {
  if (!path_spine_usable(&p)) return {};
  const int n = p.path_spine_points_count;
  std::vector<int64_t> kx(n), ky(n);
  for (int i = 0; i < n; ++i) {
    const double cx = std::round(p.path_spine_points[i].x / grid_x);
    const double cy = std::round(p.path_spine_points[i].y / grid_y);
    constexpr double most = static_cast<double>(PACK_CELLS_MAX);
    if (!(std::fabs(cx) <= most && std::fabs(cy) <= most)) return {};
    kx[i] = static_cast<int64_t>(cx);
    ky[i] = static_cast<int64_t>(cy);
  }
  std::string digits;
  int order = 0;
  for (int o = 1; o <= SPINE_ORDER_MAX; ++o) {
    std::string d = spine_digits(kx, ky, o);
    if (order == 0 || d.size() < digits.size()) digits = std::move(d), order = o;
  }
  char gx[G_ASCII_DTOSTR_BUF_SIZE], gy[G_ASCII_DTOSTR_BUF_SIZE];
  g_ascii_dtostr(gx, sizeof gx, grid_x);
  g_ascii_dtostr(gy, sizeof gy, grid_y);
  return std::string(gx) + ';' + gy + ';' + std::to_string(n) + ';' + std::to_string(order) + ';' +
         digits;
}

// The spine `text` stands for, over p; p unchanged for any text spine_pack
// does not make.
void spine_unpack(EffectParams *p, const char *text) {
  const std::vector<std::string> fields = fields_of(text, 5);
  if (fields.empty()) return;
  double grid[2];
  for (int k = 0; k < 2; ++k) {
    char *end = nullptr;
    grid[k] = g_ascii_strtod(fields[k].c_str(), &end);  // 0 without digits
    if (*end != '\0' || !cell_usable(grid[k])) return;
  }
  const std::optional<int64_t> count = whole_number(fields[2], PATH_SPINE_MIN, PATH_SPINE_MAX);
  const std::optional<int64_t> order = whole_number(fields[3], 1, SPINE_ORDER_MAX);
  if (!count || !order) return;
  const int64_t n = *count;
  std::vector<int64_t> kx, ky;
  const char *at = fields[4].c_str();
  for (int64_t i = 0; i < n; ++i) {
    const int d = digit_value(*at);
    if (d < 0 || d > SPINE_FAR) return;
    ++at;
    int64_t dx = d / SPINE_SPAN - SPINE_NEAR, dy = d % SPINE_SPAN - SPINE_NEAR;
    if (d == SPINE_FAR) {
      const std::optional<int64_t> far_x = get_number(&at);
      const std::optional<int64_t> far_y = far_x ? get_number(&at) : std::nullopt;
      if (!far_y) return;
      dx = *far_x;
      dy = *far_y;
    }
    kx.push_back(spine_predict(kx, i, static_cast<int>(*order)) + dx);
    ky.push_back(spine_predict(ky, i, static_cast<int>(*order)) + dy);
    if (std::llabs(kx.back()) > PACK_CELLS_MAX || std::llabs(ky.back()) > PACK_CELLS_MAX)
      return;
  }
  if (*at != '\0') return;
  // A point beyond any double is left to take_record, as in any record.
  for (int64_t i = 0; i < n; ++i) p->path_spine_points[i] = {kx[i] * grid[0], ky[i] * grid[1]};
  p->path_spine_points_count = static_cast<int32_t>(n);
}

bool has_key(GKeyFile *kf, const char *group, const std::string &key) {
  return g_key_file_has_key(kf, group, key.c_str(), nullptr);
}

// The text's values over params (the defaults); false when it is not a
// last-values text of this format.
bool read_text(EffectParams *params, const char *text, std::size_t size) {
  if (size > LAST_VALUES_TEXT_MAX || std::memchr(text, '\0', size) != nullptr) return false;
  KeyFilePtr kf(g_key_file_new());
  if (!g_key_file_load_from_data(kf.get(), text, size, G_KEY_FILE_NONE, nullptr)) return false;
  if (!g_key_file_has_group(kf.get(), SETTINGS_GROUP) ||
      !g_key_file_has_group(kf.get(), LAST_VALUES_GROUP))
    return false;
  GError *raw_error = nullptr;
  const int format = g_key_file_get_integer(kf.get(), LAST_VALUES_GROUP, "format", &raw_error);
  GErrorPtr error(raw_error);
  if (error || format != LAST_VALUES_FORMAT) return false;

  // Four outlines of 1000 samples each: off the stack.
  auto parsed = std::make_unique<EffectParams>(settings_parse_key_file(kf.get()));
  auto stored = std::make_unique<EffectParams>(*params);
  GKeyFile *k = kf.get();
  const auto has = [k](const std::string &key) { return has_key(k, SETTINGS_GROUP, key); };
  // A value that does not read keeps the default.
  const auto take_int = [k](const char *group, const char *key, int32_t *field) {
    GError *e = nullptr;
    const int v = g_key_file_get_integer(k, group, key, &e);
    if (e) {
      g_error_free(e);
      return;
    }
    *field = v;
  };
  const auto take_double = [k](const char *group, const char *key, double *field) {
    GError *e = nullptr;
    const double v = g_key_file_get_double(k, group, key, &e);
    if (e) {
      g_error_free(e);
      return;
    }
    if (std::isfinite(v)) *field = v;
  };
  if (has("line_color")) stored->line_color = parsed->line_color;
  for (const SpinRange &range : SPIN_RANGES) {
    if (range.type == FieldType::Double)
      take_double(SETTINGS_GROUP, range.key, &field_ref<double>(stored.get(), range.offset));
    else
      take_int(SETTINGS_GROUP, range.key, &field_ref<int32_t>(stored.get(), range.offset));
  }
  for (const ComboRange &range : COMBO_RANGES)
    take_int(SETTINGS_GROUP, range.key, &field_ref<int32_t>(stored.get(), range.offset));
  take_int(SETTINGS_GROUP, "area_type", &stored->area_type);
  take_double(SETTINGS_GROUP, "path_in_range", &stored->path_in_range);
  take_double(SETTINGS_GROUP, "path_out_range", &stored->path_out_range);
  if (path_spine_usable(parsed.get())) {
    stored->path_spine_points_count = parsed->path_spine_points_count;
    std::memcpy(stored->path_spine_points, parsed->path_spine_points,
                sizeof(SpinePoint) * parsed->path_spine_points_count);
  }
  GCharPtr packed(g_key_file_get_value(k, SETTINGS_GROUP, SPINE_PACKED_KEY, nullptr));
  if (packed) spine_unpack(stored.get(), packed.get());
  for (const OutlineSlot &slot : OUTLINE_SLOTS) {
    FreehandOutline &to = stored.get()->*slot.field;
    const FreehandOutline &from = parsed.get()->*slot.field;
    const std::string name = slot.name;
    if (has(name + "_active")) to.active = from.active;
    // Without a count the outline is in its reset shape, as the defaults hold it.
    if (has(name + "_points_count")) to.count = from.count;
    if (has(name + "_points") && from.count == FREEHAND_SAMPLES)
      std::memcpy(to.samples, from.samples, sizeof to.samples);
    GCharPtr knots(g_key_file_get_value(k, SETTINGS_GROUP, (name + "_knots").c_str(), nullptr));
    if (knots)
      outline_from_knots(&to, knots.get(), stroke_boundary(*stored, slot.stroke),
                         slot.stroke != Stroke::Band, slot.reset);
  }

  for (const RunField &f : RUN_FIELDS) {
    if (f.int_field)
      take_int(LAST_VALUES_GROUP, f.key, &(stored.get()->*f.int_field));
    else
      take_double(LAST_VALUES_GROUP, f.key, &(stored.get()->*f.double_field));
  }
  gsize n = 0;
  GPtr<gdouble> color(g_key_file_get_double_list(k, LAST_VALUES_GROUP, RUN_COLOR_KEY, &n, nullptr));
  if (color && n == 4) stored->line_color = {color.get()[0], color.get()[1], color.get()[2], color.get()[3]};

  take_record(params, *stored);
  return true;
}

}  // namespace

bool last_values_restore(EffectParams *params, const void *block, std::size_t size) {
  if (!block || size != sizeof(EffectParams)) return false;
  auto stored = std::make_unique<EffectParams>();
  std::memcpy(stored.get(), block, sizeof(EffectParams));
  take_record(params, *stored);
  return true;
}

char *last_values_to_text(const EffectParams *params, gsize *length) {
  KeyFilePtr kf(settings_to_key_file(params));
  GKeyFile *k = kf.get();
  for (const OutlineSlot &slot : OUTLINE_SLOTS) {
    const FreehandOutline &outline = params->*slot.field;
    const std::string count_key = std::string(slot.name) + "_points_count";
    const std::string points_key = std::string(slot.name) + "_points";
    g_key_file_remove_key(k, SETTINGS_GROUP, count_key.c_str(), nullptr);
    g_key_file_remove_key(k, SETTINGS_GROUP, points_key.c_str(), nullptr);
    if (in_reset_shape(outline, slot.reset)) continue;
    if (knots_can_hold(outline, slot.reset)) {
      const std::string knots =
          outline_knots(outline, stroke_boundary(*params, slot.stroke),
                        slot.stroke != Stroke::Band, knot_tolerance(*params, slot.stroke));
      g_key_file_set_value(k, SETTINGS_GROUP, (std::string(slot.name) + "_knots").c_str(),
                           knots.c_str());
      continue;
    }
    g_key_file_set_integer(k, SETTINGS_GROUP, count_key.c_str(), outline.count);
    // Only a whole outline has samples a reader takes.
    if (outline.count != FREEHAND_SAMPLES) continue;
    std::vector<double> values(2 * FREEHAND_SAMPLES);
    for (int i = 0; i < FREEHAND_SAMPLES; ++i) {
      values[2 * i] = outline.samples[i].pos;
      values[2 * i + 1] = outline.samples[i].factor;
    }
    g_key_file_set_double_list(k, SETTINGS_GROUP, points_key.c_str(), values.data(), values.size());
  }

  // The spine on a grid of half a pixel: a digit or so a point where the
  // full form takes twenty characters or more.
  const int unit = params->area_unit;
  const bool physical = unit_factor(unit) != 0.0;
  if (!physical || (resolution_usable(params->geometry_xres) &&
                    resolution_usable(params->geometry_yres))) {
    const std::string spine =
        spine_pack(*params, pixels_to_units(SPINE_GRID_PIXELS, unit, params->geometry_xres),
                   pixels_to_units(SPINE_GRID_PIXELS, unit, params->geometry_yres));
    if (!spine.empty()) {
      g_key_file_remove_key(k, SETTINGS_GROUP, "path_spine_points_count", nullptr);
      g_key_file_remove_key(k, SETTINGS_GROUP, "path_spine_points", nullptr);
      g_key_file_set_value(k, SETTINGS_GROUP, SPINE_PACKED_KEY, spine.c_str());
    }
  }

  g_key_file_set_integer(k, LAST_VALUES_GROUP, "format", LAST_VALUES_FORMAT);
  for (const RunField &f : RUN_FIELDS) {
    if (f.int_field)
      g_key_file_set_integer(k, LAST_VALUES_GROUP, f.key, params->*f.int_field);
    else
      g_key_file_set_double(k, LAST_VALUES_GROUP, f.key, params->*f.double_field);
  }
  double color[] = {params->line_color.r, params->line_color.g, params->line_color.b,
                          params->line_color.a};
  g_key_file_set_double_list(k, LAST_VALUES_GROUP, RUN_COLOR_KEY, color, 4);
  return g_key_file_to_data(k, length, nullptr);
}

LastValuesFound last_values_read(EffectParams *params, const void *data, std::size_t size) {
  if (data == nullptr || size == 0) return LastValuesFound::None;
  if (read_text(params, static_cast<const char *>(data), size)) return LastValuesFound::Text;
  const int32_t image_id = params->image_id;
  const int32_t drawable_id = params->drawable_id;
  const auto edit_mode = params->edit_mode;
  if (!last_values_restore(params, data, size)) return LastValuesFound::None;
  params->image_id = image_id;
  params->drawable_id = drawable_id;
  params->edit_mode = edit_mode;
  return LastValuesFound::Record;
}
