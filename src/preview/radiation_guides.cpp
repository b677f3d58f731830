#include "radiation_guides.h"

void radiation_draw_guides(cairo_t *, EffectParams *) {}
gboolean radiation_handle_event(cairo_t *, GdkEvent *, EffectParams *) { return FALSE; }
double ellipse_radial_offset(double, double, double, double, double, double) { return 0; }
