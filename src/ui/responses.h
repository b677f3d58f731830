// The main dialog's responses: create, close, reset, topmost and layer editing.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"

void on_dialog_response(GtkDialog *dialog, gint response_id, EffectParams *params);

// Greys "Edit Layer" out while the active layer carries no streak settings
// (the dialog checks again whenever it gets the focus, and on every press).
void responses_update_edit_layer(const EffectParams *params);

// Back to creating mode without restoring anything (a new dialog is built).
void responses_reset();

// Whether Create or Close has ended the dialog.  The response handler only
// records the window geometry and ends the loop that runs the dialog; the
// dialog is destroyed after that loop, never inside its own handler.
bool responses_dialog_ended();

// After the dialog is gone: when it was closed by the window manager while a
// layer was being edited, the values the dialog held before editing are put
// back into the record, so the next run opens with the user's own values.
void responses_finish(EffectParams *params);
