// The record kept by GIMP between runs.
#pragma once

#include <cstddef>

#include "effect_params.h"

constexpr const char *LAST_VALUES_NAME = "plugin-zipstroke";

// Takes a block kept from an earlier run over params, which holds this run's
// defaults.  A block of another size (another build's record) is ignored and
// false returned.  Values no control could show (non-finite numbers, combo
// values without an item, an area type other than 0 and 1) keep the defaults,
// and an outline no reader can use (a count outside 0..1000, a non-finite
// sample, positions out of order) is reset to the default shape; any other
// outline is kept as stored, wherever its positions lie.  The run fields are
// taken as stored; the caller sets the ids and edit_mode of the current run
// afterwards.
bool last_values_restore(EffectParams *params, const void *block, std::size_t size);
