// Conversion of the live lengths when the unit changes.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"
#include "live_unit.h"

void on_unit_changed(GtkComboBox *combo, EffectParams *params);
