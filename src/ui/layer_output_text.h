// The one message either host shows when the banded layer output did not
// finish, so both GIMPs say the same thing in the same words.
#pragma once

#include <glib.h>

#include "layer_bands.h"

// The translated message for a status other than Done (nullptr for Done).
// Owned by gettext; not to be freed.
const char *layer_output_failure_text(BandStatus status);

// The message for a layer that cannot be drawn because GIMP keeps the
// contents of `locked` (the layer group the new layer would go into, the
// layer being re-edited, or a group holding either) from change.  A new
// string for the caller to free.
gchar *layer_locked_text(bool editing, const char *locked);
