// The "Preset" page: the list of presets and its four buttons.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"

// Builds the page (filling the preset members of dialog_widgets), makes params
// the record that loaded presets are applied to, and fills the list.
GtkWidget *preset_page_new(EffectParams *params);

// The preset folder beside the personal gimprc, determined (and created) on
// first use and then kept; nullptr while it cannot be had.  Under GIMP 3,
// when it does not exist yet, the presets of the newest older GIMP that has
// some (3.0 for 3.2, else 2.10) are copied into it first
// (preset_migrate_from_older_gimp).
const char *preset_folder_ensure();
// Copies the presets of the newest older GIMP's personal folder into the
// preset folder of gimp_dir when that does not exist yet, and words the notice.
void preset_migrate_from_older_gimp(const char *gimp_dir);
// What the Preset page shows about presets copied from an older GIMP on this run
// ("" when none were).
const char *preset_migration_notice();
// Forgets the determined folder, so that the next operation looks again
// (for tests that move the folder away).
void preset_folder_forget();

void preset_list_refresh();
void preset_load_selected();
void preset_save_query(GtkWidget *button, EffectParams *params);
void preset_save_named(const char *name_utf8, EffectParams *params);
void preset_delete_selected();
void preset_row_activated(GtkTreeView *view);
