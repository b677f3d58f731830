// The settings text: the key-file form of a record (group "zipstroke"), used by
// presets and by the layer parasite.
#pragma once

#include <glib.h>

#include "effect_params.h"

constexpr const char *SETTINGS_GROUP = "zipstroke";
// The version of the program that writes the text.
constexpr const char *SETTINGS_VERSION = ZIPSTROKE_VERSION;

// A new key file holding the keyed fields of params; the caller frees it.
GKeyFile *settings_to_key_file(const EffectParams *params);

// A fresh record filled from the key file; every field without a (readable,
// finite) value is 0.  Never reads past a list's end.
EffectParams settings_parse_key_file(GKeyFile *key_file);

// Applies a parsed record onto the live one as showing it in the dialog's
// controls does: values clamped to their ranges, combo values only when an
// item carries them, area_type only when 0 or 1, wave points down to a
// multiple of 4, seeds truncated or rounded, the colour as parsed, the
// outlines' active flags, and the samples (and count) of every parsed outline
// whose count is 1000.  A control asked to show what it already shows does not
// move, so its field holds what it shows: the live value, or the nearest limit
// when the live value lies outside the limits.
// Lengths are taken in the parsed record's own unit: area_unit comes along
// with them, nothing is converted, and they are clamped to the limits of that
// unit at the resolution of live->image_id (spin_limits).  Fields without a control (image_id,
// drawable_id, the window fields, topmost, edit_mode) are never touched.
void settings_apply_parsed(EffectParams *live, const EffectParams *parsed);

// Text form of settings_to_key_file; the caller frees it with g_free.
char *settings_to_text(const EffectParams *params, gsize *length);
