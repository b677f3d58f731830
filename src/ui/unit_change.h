// Conversion of the live lengths when the unit changes.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"

void on_unit_changed(GtkComboBox *combo, EffectParams *params);

// The unit the live lengths are held in, as far as the conversion knows.
int current_unit_get();
void current_unit_set(int unit);
