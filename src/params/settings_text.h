// The settings text: the key-file form of a record (group "zipstroke"), used by
// presets and by the layer parasite.
#pragma once

#include <glib.h>

#include "effect_params.h"

constexpr const char *SETTINGS_GROUP = "zipstroke";
constexpr const char *SETTINGS_VERSION = "0.5.2";

// A new key file holding the keyed fields of params; the caller frees it.
GKeyFile *settings_to_key_file(const EffectParams *params);

// A fresh record filled from the key file; every field without a (readable,
// finite) value is 0.  Never reads past a list's end.
EffectParams settings_parse_key_file(GKeyFile *key_file);

// Applies a parsed record onto the live one by the controls' rules: values
// clamped to their ranges, combo values only when an item carries them,
// area_type only when 0 or 1, wave points down to a multiple of 4, seeds
// truncated or rounded, the outlines' active flags, and the samples of every
// parsed outline whose count is 1000.  Lengths are taken in the parsed record's
// own unit: area_unit comes along with them, nothing is converted.
void settings_apply_parsed(EffectParams *live, const EffectParams *parsed);

// Text form of settings_to_key_file; the caller frees it with g_free.
char *settings_to_text(const EffectParams *params, gsize *length);
