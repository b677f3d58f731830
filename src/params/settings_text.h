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
// finite) value is 0, apart from the Path band's: its widths are NaN and its
// spine's count 0 when the text does not give them.  Never reads past a
// list's end.
EffectParams settings_parse_key_file(GKeyFile *key_file);

// Applies a parsed record onto the live one as showing it in the dialog's
// controls does: values clamped to their ranges, combo values only when an
// item carries them, area_type only when 0, 1 or 2, the Path widths and spine
// only when the text gives them (the spine's points clamped as positions), wave points down to a
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

// The Path band's part of settings_apply_parsed, for callers that show the
// rest through the dialog's controls: the area type when it moves to or from
// 2, the widths and the outlines' flags and samples, and the spine when the
// text gives a usable one, clamped as positions.
void settings_apply_path(EffectParams *live, const EffectParams *parsed);

// Text form of settings_to_key_file; the caller frees it with g_free.
char *settings_to_text(const EffectParams *params, gsize *length);
