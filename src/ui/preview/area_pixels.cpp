#include "area_pixels.h"

#include "render.h"
#include "zipstroke_parallel.h"
#include "zipstroke_path.h"
#include "zipstroke_radiation.h"

Resolution area_resolution(const EffectParams *params) {
  return image_resolution(params->image_id);
}

AreaShapes area_shapes(const EffectParams *params) {
  const Resolution res = area_resolution(params);
  return {radial_shape_of(radial_geometry_in_pixels(params, res)),
          parallel_geometry_in_pixels(params, res), path_geometry_in_pixels(params, res), res};
}

void area_draw_lines(cairo_t *cr, const EffectParams *params) {
  render_effect(cr, params, area_resolution(params));
}
