// The plug-in's side of the services for GIMP 3: everything here calls into a
// running GIMP through libgimp 3 and is linked into the plug-in executable only.
#pragma once

#include <cstdint>

#include <libgimp/gimp.h>

#include "host_services.h"

// Installs ImageServices and HostServices answered by libgimp.
void gimp_services_install();

// Renders the record into a new streak layer (edit_mode 0) or into the layer
// drawable_id (edit_mode 1) inside one undo group, and attaches the settings
// text as the layer's parasite.
LayerResult gimp_render_to_layer(const EffectParams *params);

// The image or layer of a record id, or nullptr when it no longer exists
// (closed or deleted while the dialog was open).  Owned by libgimp.
GimpImage *image_of(int32_t image_id);
GimpLayer *layer_of(int32_t item_id);

// The one selected layer of the image; nullptr when none or several are
// selected.  Owned by libgimp.
GimpLayer *selected_layer(GimpImage *image);
