// The main dialog.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"

// Builds and shows the dialog for the run's record; every handler gets params.
GtkWidget *dialog_build(EffectParams *params);
