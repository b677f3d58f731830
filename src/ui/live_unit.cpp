#include "live_unit.h"

#include "units.h"

namespace {

// The dialog keeps it in step with the record whenever lengths arrive from
// elsewhere: the last run's values, Reset, and applied settings text.
int current_unit = UNIT_PIXEL;

}  // namespace

int current_unit_get() { return current_unit; }

void current_unit_set(int unit) {
  if (unit >= 0 && unit < UNIT_COUNT) current_unit = unit;
}
