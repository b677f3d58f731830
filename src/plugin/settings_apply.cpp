#include "settings_apply.h"

void settings_apply_key_file(GKeyFile *) {}
