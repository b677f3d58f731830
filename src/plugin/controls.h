// The controls' change handlers, and the push of a record into every control.
#pragma once

#include "effect_params.h"

// Sets every control from params in the fixed order; each control's own
// handler then writes the live record.  Reads only its argument.
void sync_widgets_from_params(const EffectParams *params);

// Queues a redraw of the preview (when it exists).
void preview_queue_redraw();
