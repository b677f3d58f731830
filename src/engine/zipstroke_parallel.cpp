#include "zipstroke_parallel.h"

ParallelGeometry parallel_geometry_in_pixels(const EffectParams *) { return {}; }
double freehand_parallel_factor(const FreehandOutline *, double) { return 1.0; }
void parallel_draw_line(cairo_t *, const EffectParams *) {}
