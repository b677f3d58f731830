// Applying settings text through the dialog's controls.
#pragma once

#include <glib.h>

#include "effect_params.h"

// Parses the key file and pushes the result into every control with
// sync_widgets_from_params; the controls' handlers write the live record.
// The text's lengths are taken in the text's own unit (never converted), and
// the samples of every outline the text carries whole (1000 of them) replace
// the live outline's.
void settings_apply_key_file(GKeyFile *key_file);

// The run's record, which the controls write; the Preset page sets it when it
// is built.  Outline samples, which no control carries, are copied into it.
void settings_apply_set_live(EffectParams *live);
