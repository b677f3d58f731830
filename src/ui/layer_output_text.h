// The one message either host shows when the banded layer output did not
// finish, so both GIMPs say the same thing in the same words.
#pragma once

#include "layer_bands.h"

// The translated message for a status other than Done (nullptr for Done).
// Owned by gettext; not to be freed.
const char *layer_output_failure_text(BandStatus status);
