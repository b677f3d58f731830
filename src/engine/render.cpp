#include "render.h"

#include "zipstroke_parallel.h"
#include "zipstroke_radiation.h"

void render_effect(cairo_t *cr, const EffectParams *params, const Resolution &res) {
  if (params->area_type == AREA_RADIATION) radiation_draw_line(cr, params, res);
  else if (params->area_type == AREA_PARALLEL) parallel_draw_line(cr, params, res);
}
