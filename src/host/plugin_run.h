// What the plug-in's procedures do, the same in every GIMP: the interactive
// run of plugin-zipstroke and the checks and drawing of
// plugin-zipstroke-settings.  Each GIMP's main registers the procedures and
// turns these results into its own return values.
#pragma once

#include <cstdint>
#include <string>

#include "effect_params.h"

// One interactive run on the image: the record filled with the image's
// defaults and the previous run's values, the dialog, and the record kept
// for the next run.  The record must outlive the run (the dialog holds it).
void run_dialog(EffectParams *params, int32_t image, int32_t drawable);

enum class CallStatus { Success, CallingError, ExecutionError };

struct SettingsCallResult {
  CallStatus status;
  int32_t layer;        // the layer made or drawn anew; -1 unless Success
  std::string message;  // why not, unless Success
};

// plugin-zipstroke-settings: everything is checked before anything in the
// image changes, so that a refused call leaves it and its undo history
// alone.  `text` may be nullptr.
SettingsCallResult run_settings_call(int32_t image, int32_t drawable, const char *text,
                                     bool replace);

// The refusal of a non-interactive run of plugin-zipstroke (translated).
const char *noninteractive_refusal_text();
