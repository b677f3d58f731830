#include "unit_change.h"

namespace {
int current_unit = 0;
}

void on_unit_changed(GtkComboBox *, EffectParams *) {}
int current_unit_get() { return current_unit; }
void current_unit_set(int unit) { current_unit = unit; }
