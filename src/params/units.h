// Conversion between GIMP's five built-in units and pixels, with the same
// arithmetic GIMP uses: value * res / factor to pixels, pixels * factor / res back.
#pragma once

enum Unit { UNIT_PIXEL = 0, UNIT_INCH = 1, UNIT_MM = 2, UNIT_POINT = 3, UNIT_PICA = 4 };
constexpr int UNIT_COUNT = 5;

// Units per inch; pixels (and any unit we do not know) are taken as is.
double unit_factor(int unit);
double units_to_pixels(double value, int unit, double resolution);
double pixels_to_units(double pixels, int unit, double resolution);
