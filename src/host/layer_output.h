// The layer output: the record drawn at full size into a new streak layer, or
// into a copy of the streak layer being re-edited that takes its place, in one
// undo step, with the settings text as the layer's parasite.
#pragma once

#include "effect_params.h"
#include "host_services.h"

// Create (EditMode::Create): a new layer over the work area, directly above
// the current layer.  Replace: the layer drawable_id, drawn anew over its own
// extent.  Whatever can refuse (the image or the layer gone, an indexed
// image, locked contents) is checked before anything changes; a draw that
// fails on the way leaves the image as it was, in one undo step.
LayerResult draw_streak_layer(const EffectParams *params);

// Whether `layer` is a layer (not a group) of the image, one that Replace
// can draw anew.
bool is_editable_layer(int32_t image, int32_t layer);
