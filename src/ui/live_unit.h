// The unit the dialog's live lengths are held in.
#pragma once

// The unit the live lengths are held in, as far as the conversion knows.
int current_unit_get();
// Sets it; a value outside the units is ignored.
void current_unit_set(int unit);
