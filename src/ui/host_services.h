// What the dialog needs from GIMP beyond the image services: the picture of the
// work area, the layer output and the active layer's parasite.  The plug-in
// fills this from libgimp; the in-process GUI tests install stand-ins.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>

#include <vector>

#include "effect_params.h"
#include "image_services.h"

// The numbers are those the host check's log reports.
enum class LayerStatus {
  Written = 0,      // the lines are in the layer
  Failed = 2,       // refused or not drawn; the image is as it was
  Unsupported = 3,  // an image that is neither RGB nor grey; nothing changed
};

struct LayerResult {
  LayerStatus status;
  int32_t layer_id;  // the layer written, or -1
};

// Whether what a response would call GIMP for is still there.
enum class TargetState {
  Ready,
  ImageGone,  // the image the dialog was opened for has been closed
  LayerGone,  // editing: the layer being edited is no longer in the image
};

// The largest picture side GIMP 2.10 and 3 give (their thumbnail's limit).
constexpr int HOST_PICTURE_MAX_SIDE = 1024;

struct HostServices {
  // Picture of the visible layers over the rectangle (x, y, w, h) of the
  // image in image pixels, scaled to thumb_w x thumb_h (each side at most
  // HOST_PICTURE_MAX_SIDE); nullptr when there is none.  The preview asks
  // for the whole work area once, and for the part in view when zoomed in.
  GdkPixbuf *(*work_area_thumbnail)(int32_t image_id, int x, int y, int w, int h,
                                    int thumb_w, int thumb_h);
  // Renders the record into a layer (create or edit mode).
  LayerResult (*render_to_layer)(const EffectParams *params);
  // The settings text kept in the active layer's parasite: a new buffer (g_free)
  // and its length, and the layer's id; nullptr when there is no such parasite.
  char *(*active_layer_settings)(int32_t image_id, gsize *length, int32_t *layer_id);
  // Whether the record's image (and, editing, its layer drawable_id) still
  // exists; asked before every response that calls into GIMP.  nullptr:
  // always Ready.
  TargetState (*target_state)(const EffectParams *params);
  // The extent of a layer in image pixels; false when there is no such
  // layer.  nullptr: the extent is unknown.
  bool (*layer_extent)(int32_t layer_id, int *x, int *y, int *width, int *height);
  // As work_area_thumbnail, with the layer layer_id left out (the layer being
  // re-edited), without an undo step or any change to the image that stays or
  // shows.  nullptr: the picture keeps every layer.
  GdkPixbuf *(*work_area_thumbnail_without)(int32_t image_id, int32_t layer_id, int x, int y,
                                            int w, int h, int thumb_w, int thumb_h);
  // The image's selected path (or its top one) flattened into a polyline in
  // image pixels: its first stroke only, no points for a path without one.
  // false when the image has no path.  nullptr: images have no paths.
  bool (*path_polyline)(int32_t image_id, std::vector<SpinePoint> *pixels);
};

const HostServices &host_services();
void host_services_install(const HostServices &services);
// The installed target_state's answer (Ready without one).
TargetState host_target_state(const EffectParams *params);
// The area the lines are drawn for: the edited layer's extent while a layer
// is edited (when the host knows it), the work area otherwise.
WorkArea shown_work_area(const EffectParams *params);
