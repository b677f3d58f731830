#include "preset_page.h"

GtkWidget *preset_page_new(EffectParams *) { return gtk_table_new(1, 1, FALSE); }
void preset_list_refresh() {}
void preset_load_selected() {}
void preset_save_query(GtkWidget *, EffectParams *) {}
void preset_save_named(const char *, EffectParams *) {}
void preset_delete_selected() {}
void preset_row_activated(GtkTreeView *) {}
