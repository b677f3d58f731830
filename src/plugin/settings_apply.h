// Applying settings text through the dialog's controls.
#pragma once

#include <glib.h>

// Parses the key file and pushes the result into every control with
// sync_widgets_from_params; the controls' handlers write the live record.
void settings_apply_key_file(GKeyFile *key_file);
