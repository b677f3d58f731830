// The Path band's own fields: its defaults, the check of a spine, and the
// changes of unit and of work area that every length goes through.
#pragma once

#include <vector>

#include "effect_params.h"
#include "image_services.h"

// true when the spine has 2 .. 1000 points and each of them is finite.
bool path_spine_usable(const EffectParams *params);

// The spine's points clamped to the limits of a position control in `unit`
// at `resolution` (x as parallel_in_x, y as parallel_in_Y).
void path_spine_clamp(EffectParams *params, int unit, const Resolution &resolution);

// Converts the spine's points and both widths from unit `from` to unit `to`
// through pixels, y with the vertical resolution and the rest with the
// horizontal one.
void path_convert_units(EffectParams *params, int from, int to, const Resolution &resolution);

// Scales the spine's points by sx, sy and both widths by `across` (factors on
// the held values), then clamps them as their controls would in `unit`.
void path_scale(EffectParams *params, double sx, double sy, double across, int unit,
                const Resolution &resolution);

// `points` thinned to at most `max_points` points spaced evenly along the
// polyline's length, its first and last points kept; points that are not
// finite and repeats of the point before are left out first.  Fewer than
// `max_points` distinct points come back as they are.
std::vector<SpinePoint> path_spine_resample(const std::vector<SpinePoint> &points, int max_points);

// A new spine from a polyline in pixels whose origin lies at (origin_x,
// origin_y) in the work area's pixels (a path of the image: the work area's
// corner, negated): thinned to PATH_SPINE_MAX points, moved into the work
// area and converted to area_unit, x with the horizontal resolution and y
// with the vertical one, then clamped as the position controls are.  false,
// and the spine as it was, when the polyline has fewer than 2 distinct points.
bool path_spine_set_from_pixels(EffectParams *params, const std::vector<SpinePoint> &pixels,
                                double origin_x, double origin_y, const Resolution &resolution);
