// The main dialog's responses: create, close, reset, topmost and layer editing.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"

void on_dialog_response(GtkDialog *dialog, gint response_id, EffectParams *params);

// Back to creating mode without restoring anything (a new dialog is built).
void responses_reset();
