#include "effect_params.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image_services.h"

void freehand_reset_radial(FreehandOutline *outline) {
  outline->count = FREEHAND_SAMPLES;
  for (int i = 0; i < FREEHAND_SAMPLES; ++i)
    outline->samples[i] = {static_cast<double>(i) * RADIAL_SAMPLE_STEP, 1.0};
}

void freehand_reset_parallel(FreehandOutline *outline) {
  outline->count = FREEHAND_SAMPLES;
  for (int i = 0; i < FREEHAND_SAMPLES; ++i)
    outline->samples[i] = {static_cast<double>(i) * PARALLEL_SAMPLE_STEP, 1.0};
}

void effect_params_init_run_fields(EffectParams *params, int32_t image_id,
                                   int32_t drawable_id) {
  params->image_id = image_id;
  params->drawable_id = drawable_id;
  params->window_x = 0;
  params->window_y = 0;
  params->window_width = -1;
  params->window_height = -1;
  params->topmost = 0;
  params->edit_mode = EditMode::Create;
}

namespace {

// A gentle arc across the middle of a w x h work area (pixels), from its left
// to its right edge, bulging up by an eighth of the height; both widths a
// third of the height; both outlines inactive with their initial samples.
void path_set_defaults(EffectParams *p, int w, int h) {
  const double width = w, height = h;
  const double sag = height / 8.0;
  p->path_in_range = height / 3.0;
  p->path_out_range = height / 3.0;
  p->path_spine_points_count = PATH_DEFAULT_SPINE_POINTS;
  // A circular arc through the ends of the middle row and a point `sag` above
  // its centre; a work area without width gets a straight spine.
  const double mid_y = static_cast<double>(h / 2);
  const double radius = sag > 0.0 ? (width * width / 4.0 + sag * sag) / (2.0 * sag) : 0.0;
  const double half_angle = radius > 0.0 ? std::asin(std::min(1.0, width / (2.0 * radius))) : 0.0;
  for (int i = 0; i < PATH_DEFAULT_SPINE_POINTS; ++i) {
    const double t = static_cast<double>(i) / (PATH_DEFAULT_SPINE_POINTS - 1);
    SpinePoint &pt = p->path_spine_points[i];
    if (half_angle > 0.0) {
      const double a = -half_angle + 2.0 * half_angle * t;
      pt.x = width / 2.0 + radius * std::sin(a);
      pt.y = mid_y - sag + radius * (1.0 - std::cos(a));
    } else {
      pt.x = width * t;
      pt.y = mid_y;
    }
  }
  // Positions to a thousandth of a pixel, as the controls show them; the
  // ends exactly on the edges.
  for (int i = 0; i < PATH_DEFAULT_SPINE_POINTS; ++i) {
    SpinePoint &pt = p->path_spine_points[i];
    pt.x = std::round(pt.x * 1000.0) / 1000.0;
    pt.y = std::round(pt.y * 1000.0) / 1000.0;
  }
  p->path_spine_points[0].x = 0.0;
  p->path_spine_points[PATH_DEFAULT_SPINE_POINTS - 1].x = width;
  for (int i = PATH_DEFAULT_SPINE_POINTS; i < PATH_SPINE_MAX; ++i) p->path_spine_points[i] = {0, 0};
  p->path_in_freehand.active = 0;
  freehand_reset_parallel(&p->path_in_freehand);
  p->path_out_freehand.active = 0;
  freehand_reset_parallel(&p->path_out_freehand);
}

}  // namespace

void effect_params_set_defaults(EffectParams *p) {
  const WorkArea area = work_area_of(p->image_id);
  const int w = area.width;
  const int h = area.height;
  const Resolution resolution = image_resolution(p->image_id);
  p->geometry_width = w;
  p->geometry_height = h;
  p->geometry_xres = resolution.x;
  p->geometry_yres = resolution.y;

  p->area_type = AREA_RADIATION;
  p->area_unit = 0;

  // Integer division truncates before the value becomes a double.
  p->radiation_x = static_cast<double>(w / 2);
  p->radiation_y = static_cast<double>(h / 2);
  const double d = std::sqrt(static_cast<double>(w) * w + static_cast<double>(h) * h);
  p->radiation_out_radius = d * 0.5;
  p->radiation_in_radius = d * 0.5 * 0.5;
  p->radiation_oblateness = 0.0;
  p->radiation_in_freehand.active = 0;
  freehand_reset_radial(&p->radiation_in_freehand);
  p->radiation_out_freehand.active = 0;
  freehand_reset_radial(&p->radiation_out_freehand);

  p->parallel_in_x = 0.0;
  p->parallel_in_Y = static_cast<double>(h / 2);
  p->parallel_in_range = h;
  p->parallel_out_x = w;
  p->parallel_out_Y = static_cast<double>(h / 2);
  p->parallel_out_range = h;
  p->parallel_in_freehand.active = 0;
  freehand_reset_parallel(&p->parallel_in_freehand);
  p->parallel_out_freehand.active = 0;
  freehand_reset_parallel(&p->parallel_out_freehand);

  path_set_defaults(p, w, h);

  p->line_color = {0.0, 0.0, 0.0, 1.0};
  p->line_antialias = 2;
  p->line_pitch = 10.0;
  p->line_pitch_rand = 100.0;
  p->line_pitch_type = 1;
  p->line_block_on_pitch = 0.0;
  p->line_block_on_pitch_rand = 0.0;
  p->line_block_off_pitch = 0.0;
  p->line_block_off_pitch_rand = 0.0;
  p->line_wave_npoint = 0;
  p->line_wave_depth = 50.0;
  p->line_wave_depth_rand = 0.0;
  p->line_wave_type = 0;
  p->line_width = 2.0;
  p->line_width_rand = 0.0;
  p->line_in_margin_rand = 50.0;
  p->line_in_length_rand = 0.0;
  p->line_out_margin = 0.0;
  p->line_out_margin_rand = 0.0;
  p->line_out_length = 0.0;
  p->line_out_length_rand = 0.0;

  p->line_pitch_rand_seed = 100;
  p->line_blick_on_pitch_rand_seed = 100;
  p->line_blick_off_pitch_rand_seed = 100;
  p->line_wave_depth_rand_seed = 100;
  p->line_width_rand_seed = 100;
  p->line_in_margin_rand_seed = 100;
  p->line_in_length_rand_seed = 100;
  p->line_out_margin_rand_seed = 100;
  p->line_out_length_rand_seed = 100;

  p->line_in_margin = (p->radiation_out_radius - p->radiation_in_radius) * 0.5;
  p->line_in_length = p->line_in_margin;
}
