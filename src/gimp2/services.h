// The plug-in's side of the services: everything here calls into a running
// GIMP through libgimp and is linked into the plug-in executable only.
#pragma once

#include "host_services.h"

// Installs ImageServices and HostServices answered by libgimp.
void gimp_services_install();

// Renders the record into a new streak layer (edit_mode 0), or into a copy of
// the layer drawable_id that takes its place (edit_mode 1), inside one undo
// group, with the settings text as the layer's parasite.
LayerResult gimp_render_to_layer(const EffectParams *params);
