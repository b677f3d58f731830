#include "units.h"

#include <cmath>

namespace {

// A resolution that cannot divide safely is taken as 72 dpi.
double usable_resolution(double resolution) {
  return (resolution > 0.0 && std::isfinite(resolution)) ? resolution : 72.0;
}

}  // namespace

double unit_factor(int unit) {
  switch (unit) {
    case UNIT_INCH: return 1.0;
    case UNIT_MM: return 25.4;
    case UNIT_POINT: return 72.0;
    case UNIT_PICA: return 6.0;
    default: return 0.0;  // pixels, or a unit we do not know: no conversion
  }
}

double units_to_pixels(double value, int unit, double resolution) {
  const double factor = unit_factor(unit);
  if (factor == 0.0) return value;
  return value * usable_resolution(resolution) / factor;
}

double pixels_to_units(double pixels, int unit, double resolution) {
  const double factor = unit_factor(unit);
  if (factor == 0.0) return pixels;
  return pixels * factor / usable_resolution(resolution);
}
