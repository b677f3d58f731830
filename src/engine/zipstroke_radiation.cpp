#include "zipstroke_radiation.h"

RadialGeometry radial_geometry_in_pixels(const EffectParams *) { return {}; }
double freehand_radial_factor(const FreehandOutline *, double) { return 1.0; }
void radiation_draw_line(cairo_t *, const EffectParams *) {}
