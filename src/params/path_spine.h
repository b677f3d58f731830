// The Path band's own fields: its defaults, the check of a spine, and the
// changes of unit and of work area that every length goes through.
#pragma once

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
