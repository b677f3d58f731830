// Helpers shared by the parameter tests.
#pragma once

#include <glib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>

#include "control_ranges.h"
#include "effect_params.h"
#include "image_services.h"
#include "settings_text.h"

using KeyFilePtr = std::unique_ptr<GKeyFile, decltype(&g_key_file_free)>;

// A key file loaded from text; null when GLib refuses the text.
inline KeyFilePtr key_file_from_text(const std::string &text) {
  KeyFilePtr kf(g_key_file_new(), g_key_file_free);
  if (!g_key_file_load_from_data(kf.get(), text.data(), text.size(), G_KEY_FILE_KEEP_COMMENTS,
                                 nullptr))
    kf.reset();
  return kf;
}

// Parses a settings text that GLib must accept.
inline EffectParams parse_text(const std::string &text) {
  KeyFilePtr kf = key_file_from_text(text);
  if (!kf) return EffectParams{};
  return settings_parse_key_file(kf.get());
}

inline std::string text_of(const EffectParams &p) {
  gsize length = 0;
  std::unique_ptr<char, decltype(&g_free)> text(settings_to_text(&p, &length), g_free);
  return std::string(text.get(), length);
}

// The record of a first run on a 640 x 480 image without selection.
inline EffectParams defaults_640x480() {
  image_services_install_fixed(FixedImage{});
  EffectParams p{};
  effect_params_init_run_fields(&p, 1, 2);
  effect_params_set_defaults(&p);
  return p;
}

// Compares every field that settings text carries, the outlines' samples and
// counts included, and the fields it never carries.
inline ::testing::AssertionResult same_record(const EffectParams &a, const EffectParams &b) {
  auto differs = [](double x, double y) { return !(x == y || (std::isnan(x) && std::isnan(y))); };
  std::ostringstream out;
  const double ca[] = {a.line_color.r, a.line_color.g, a.line_color.b, a.line_color.a};
  const double cb[] = {b.line_color.r, b.line_color.g, b.line_color.b, b.line_color.a};
  for (int i = 0; i < 4; ++i)
    if (differs(ca[i], cb[i])) out << " line_color[" << i << "] " << ca[i] << " != " << cb[i];
  for (const SpinRange &r : SPIN_RANGES)
    if (differs(spin_field_get(&a, r), spin_field_get(&b, r)))
      out << " " << r.key << " " << spin_field_get(&a, r) << " != " << spin_field_get(&b, r);
  for (const ComboRange &c : COMBO_RANGES)
    if (combo_field_get(&a, c) != combo_field_get(&b, c))
      out << " " << c.key << " " << combo_field_get(&a, c) << " != " << combo_field_get(&b, c);
  const int32_t ia[] = {a.area_type, a.image_id, a.drawable_id, a.window_x, a.window_y,
                        a.window_width, a.window_height, a.topmost, static_cast<int32_t>(a.edit_mode)};
  const int32_t ib[] = {b.area_type, b.image_id, b.drawable_id, b.window_x, b.window_y,
                        b.window_width, b.window_height, b.topmost, static_cast<int32_t>(b.edit_mode)};
  const char *names[] = {"area_type", "image_id", "drawable_id", "window_x", "window_y",
                         "window_width", "window_height", "topmost", "edit_mode"};
  for (int i = 0; i < 9; ++i)
    if (ia[i] != ib[i]) out << " " << names[i] << " " << ia[i] << " != " << ib[i];
  const FreehandOutline *oa[] = {&a.radiation_in_freehand, &a.radiation_out_freehand,
                                 &a.parallel_in_freehand, &a.parallel_out_freehand};
  const FreehandOutline *ob[] = {&b.radiation_in_freehand, &b.radiation_out_freehand,
                                 &b.parallel_in_freehand, &b.parallel_out_freehand};
  for (int k = 0; k < 4; ++k) {
    if (oa[k]->active != ob[k]->active) out << " outline " << k << " active";
    if (oa[k]->count != ob[k]->count) out << " outline " << k << " count";
    for (int i = 0; i < FREEHAND_SAMPLES; ++i)
      if (differs(oa[k]->samples[i].pos, ob[k]->samples[i].pos) ||
          differs(oa[k]->samples[i].factor, ob[k]->samples[i].factor)) {
        out << " outline " << k << " sample " << i;
        break;
      }
  }
  if (out.str().empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "records differ:" << out.str();
}
