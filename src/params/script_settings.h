// The settings text handed to the scripting procedure plugin-zipstroke-settings:
// read as a preset is loaded, with clear reasons for what cannot be drawn.
#pragma once

#include <glib.h>

#include "effect_params.h"

enum ScriptSettingsError {
  SCRIPT_SETTINGS_EMPTY,     // no text at all, or only white space
  SCRIPT_SETTINGS_NO_GROUP,  // a key file without the settings group
};
#define SCRIPT_SETTINGS_ERROR (script_settings_error_quark())
GQuark script_settings_error_quark();

// Applies the text onto params, which holds the defaults of the image it is
// drawn on, exactly as loading it as a preset does: same keys, ranges and
// clamps, lengths in the text's own unit, the samples of every whole outline.
// On failure params is untouched and error says why (GLib's reason when the
// text is not a key file).
bool script_settings_apply(EffectParams *params, const char *text, gsize length, GError **error);
