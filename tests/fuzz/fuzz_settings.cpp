// libFuzzer target: a settings text from anywhere goes through parsing,
// applying onto the defaults and rendering both area types into a small work
// area.  Any record that is not sound, any cairo error and any sanitizer
// report is a finding.
#include <cairo.h>
#include <glib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "control_ranges.h"
#include "effect_params.h"
#include "image_services.h"
#include "last_values.h"
#include "render.h"
#include "settings_text.h"
#include "units.h"
#include "path_spine.h"
#include "zipstroke_parallel.h"
#include "zipstroke_path.h"
#include "zipstroke_radiation.h"

namespace {

constexpr int WORK_WIDTH = 64;
constexpr int WORK_HEIGHT = 48;

[[noreturn]] void finding(const char *what, const char *detail) {
  std::fprintf(stderr, "fuzz finding: %s %s\n", what, detail ? detail : "");
  std::abort();
}

const FreehandOutline *outlines_of(const EffectParams &p, int k) {
  const FreehandOutline *all[] = {&p.radiation_in_freehand, &p.radiation_out_freehand,
                                  &p.parallel_in_freehand,  &p.parallel_out_freehand,
                                  &p.path_in_freehand,      &p.path_out_freehand};
  return all[k];
}

void check_parsed(const EffectParams &p) {
  for (const SpinRange &r : SPIN_RANGES)
    if (!std::isfinite(spin_field_get(&p, r))) finding("non-finite parsed value", r.key);
  for (double c : {p.line_color.r, p.line_color.g, p.line_color.b, p.line_color.a})
    if (!(c >= 0 && c <= 1)) finding("parsed colour out of 0..1", nullptr);
  for (const SpinRange &r : PATH_SPIN_RANGES)  // NaN: not given
    if (std::isinf(spin_field_get(&p, r))) finding("non-finite parsed value", r.key);
  if (p.path_spine_points_count != 0 && !path_spine_usable(&p)) finding("parsed spine", nullptr);
  for (int k = 0; k < 6; ++k) {
    const FreehandOutline *o = outlines_of(p, k);
    if (o->count < 0 || o->count > FREEHAND_SAMPLES) finding("parsed count", nullptr);
    for (const FreehandSample &s : o->samples)
      if (!std::isfinite(s.pos) || !std::isfinite(s.factor)) finding("non-finite sample", nullptr);
  }
}

void check_applied(const EffectParams &p) {
  const Resolution res = image_resolution(p.image_id);
  for_each_spin_range([&](const SpinRange &r) {
    const double v = spin_field_get(&p, r);
    const SpinLimits limits = spin_limits(r, p.area_unit, res);
    if (!(v >= limits.min && v <= limits.max)) finding("applied value out of range", r.key);
  });
  if (!path_spine_usable(&p)) finding("applied spine", nullptr);
  for (const ComboRange &c : COMBO_RANGES)
    if (!combo_has_value(c, combo_field_get(&p, c))) finding("applied combo value", c.key);
  if (p.line_wave_npoint % 4 != 0) finding("wave points not a multiple of 4", nullptr);
  if (!area_type_known(p.area_type)) finding("applied area type", nullptr);
}

// What the writer puts out reads back to the same keyed values.
void check_round_trip(const EffectParams &p) {
  GKeyFile *kf = settings_to_key_file(&p);
  const EffectParams back = settings_parse_key_file(kf);
  g_key_file_free(kf);
  for_each_spin_range([&](const SpinRange &r) {
    if (spin_field_get(&back, r) != spin_field_get(&p, r)) finding("round trip", r.key);
  });
  if (back.path_spine_points_count != p.path_spine_points_count)
    finding("round trip", "path_spine_points_count");
  for (int i = 0; i < std::min(p.path_spine_points_count, PATH_SPINE_MAX); ++i)
    if (back.path_spine_points[i].x != p.path_spine_points[i].x ||
        back.path_spine_points[i].y != p.path_spine_points[i].y)
      finding("round trip", "path_spine_points");
  for (const ComboRange &c : COMBO_RANGES)
    if (combo_field_get(&back, c) != combo_field_get(&p, c)) finding("round trip", c.key);
  if (back.area_type != p.area_type) finding("round trip", "area_type");
  if (back.line_color.r != p.line_color.r || back.line_color.g != p.line_color.g ||
      back.line_color.b != p.line_color.b)
    finding("round trip", "line_color");
  for (int k = 0; k < 6; ++k) {
    const FreehandOutline *a = outlines_of(p, k);
    const FreehandOutline *b = outlines_of(back, k);
    if (a->active != b->active) finding("round trip", "active");
    if (!a->active || a->count != FREEHAND_SAMPLES) continue;
    if (b->count != FREEHAND_SAMPLES) finding("round trip", "count");
    for (int i = 0; i < FREEHAND_SAMPLES; ++i)
      if (a->samples[i].pos != b->samples[i].pos || a->samples[i].factor != b->samples[i].factor)
        finding("round trip", "samples");
  }
}

// The renderers draw every line of the area, and a record within the
// controls' ranges can ask for millions of them (a pitch of 0.5 px around an
// ellipse 650000 px wide), which takes minutes whatever the surface's size.
// Such records are parsed and applied but not rendered, so that a bounded run
// stays bounded.  The estimate is the reference ellipse's (or the band's)
// extent over the mean pitch.
constexpr double LINE_BUDGET = 100000;

double expected_lines(const EffectParams &p, int type) {
  const Resolution res = image_resolution(p.image_id);
  double pitch = units_to_pixels(p.line_pitch, p.area_unit, res.x);
  pitch = std::max(pitch * (1.0 - p.line_pitch_rand / 200.0), 0.01);
  if (type == AREA_RADIATION) {
    const RadialGeometry g = radial_geometry_in_pixels(&p, image_resolution(p.image_id));
    if (!(g.ob < 1.0)) return 0;
    const double a_out = g.r_out / (1.0 - g.ob);
    const double a_in = a_out - (g.r_out - g.r_in);
    const double extent = p.line_pitch_type == 0 ? std::max(std::fabs(a_in), std::fabs(g.r_in))
                                                 : std::max(std::fabs(a_out), std::fabs(g.r_out));
    return 2 * G_PI * extent / pitch;
  }
  if (type == AREA_PATH) {
    // Each line of a Path costs about as much as its spine has points.
    const PathGeometry g = path_geometry_in_pixels(&p, image_resolution(p.image_id));
    const double points = std::max<double>(1.0, static_cast<double>(g.spine.size()) / 33.0);
    return std::max(std::fabs(g.ir), std::fabs(g.orr)) / pitch * points;
  }
  const ParallelGeometry g = parallel_geometry_in_pixels(&p, image_resolution(p.image_id));
  return std::max(std::fabs(g.ir), std::fabs(g.orr)) / pitch;
}

// Every area type, into an A8 or an ARGB32 surface as the layer output and the
// preview use them.
void render_every_type(const EffectParams &applied, cairo_format_t format) {
  static EffectParams p;
  p = applied;
  for (int type : {AREA_RADIATION, AREA_PARALLEL, AREA_PATH}) {
    p.area_type = type;
    if (!(expected_lines(p, type) <= LINE_BUDGET)) continue;
    cairo_surface_t *surface = cairo_image_surface_create(format, WORK_WIDTH, WORK_HEIGHT);
    cairo_t *cr = cairo_create(surface);
    render_effect(cr, &p, image_resolution(p.image_id));
    const cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) finding("cairo", cairo_status_to_string(status));
  }
}

bool initialise() {
  FixedImage image;
  image.width = WORK_WIDTH;
  image.height = WORK_HEIGHT;
  image_services_install_fixed(image);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool initialised = initialise();
  (void)initialised;

  // The same bytes as last values kept by GIMP: the record they leave is sound.
  static EffectParams last;
  last = EffectParams{};
  effect_params_init_run_fields(&last, 1, 1);
  effect_params_set_defaults(&last);
  last_values_read(&last, data, size);
  if (!path_spine_usable(&last)) finding("last values' spine", nullptr);
  for (int k = 0; k < 6; ++k)
    for (const FreehandSample &s : outlines_of(last, k)->samples)
      if (!std::isfinite(s.factor)) finding("last values' outline", nullptr);

  GKeyFile *kf = g_key_file_new();
  if (!g_key_file_load_from_data(kf, reinterpret_cast<const char *>(data), size,
                                 G_KEY_FILE_KEEP_COMMENTS, nullptr)) {
    g_key_file_free(kf);
    return 0;
  }
  // Records are large; keep them off the stack.
  static EffectParams parsed, live;
  parsed = settings_parse_key_file(kf);
  g_key_file_free(kf);
  check_parsed(parsed);

  live = EffectParams{};
  effect_params_init_run_fields(&live, 1, 1);
  effect_params_set_defaults(&live);
  settings_apply_parsed(&live, &parsed);
  check_applied(live);
  check_round_trip(live);

  // ZIPSTROKE_FUZZ_NO_RENDER limits a run to parsing and applying.
  static const bool render = std::getenv("ZIPSTROKE_FUZZ_NO_RENDER") == nullptr;
  if (render) render_every_type(live, size % 2 ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_A8);
  return 0;
}
