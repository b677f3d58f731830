// The tooltips of the main dialog: what each control does and in which unit.
#pragma once

#include <gtk/gtk.h>

// The untranslated tooltip of the spin button or combo of a settings key
// (a SPIN_RANGES or COMBO_RANGES key), or nullptr for a key without one.
const char *tooltip_for_key(const char *key);

// Gives every control of the built dialog (dialog_widgets, the dialog's
// buttons) its tooltip, translated through the plug-in's domain.
void tooltips_apply(GtkWidget *dialog);

// The tooltips of the Create/Apply and Close/Cancel buttons, which change
// meaning while a streak layer is edited.
void tooltips_set_edit_mode(GtkWidget *create, GtkWidget *close, bool editing);
