// The "Preset" page: the list of presets and its four buttons.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"

// Builds the page (filling the preset members of dialog_widgets) and fills the list.
GtkWidget *preset_page_new(EffectParams *params);

void preset_list_refresh();
void preset_load_selected();
void preset_save_query(GtkWidget *button, EffectParams *params);
void preset_save_named(const char *name_utf8, EffectParams *params);
void preset_delete_selected();
void preset_row_activated(GtkTreeView *view);
