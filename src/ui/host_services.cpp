#include "host_services.h"

namespace {

GdkPixbuf *no_thumbnail(int32_t, int, int, int, int, int, int) { return nullptr; }

LayerResult no_layer(const EffectParams *) { return {LayerStatus::Failed, -1}; }

char *no_parasite(int32_t, gsize *length, int32_t *layer_id) {
  *length = 0;
  *layer_id = -1;
  return nullptr;
}

HostServices installed = {no_thumbnail, no_layer, no_parasite, nullptr, nullptr, nullptr, nullptr};

}  // namespace

const HostServices &host_services() { return installed; }

void host_services_install(const HostServices &services) { installed = services; }

TargetState host_target_state(const EffectParams *params) {
  return installed.target_state ? installed.target_state(params) : TargetState::Ready;
}

WorkArea shown_work_area(const EffectParams *params) {
  int x = 0, y = 0, w = 0, h = 0;
  if (params->edit_mode == EditMode::Replace && installed.layer_extent &&
      installed.layer_extent(params->drawable_id, &x, &y, &w, &h))
    return {x, y, w, h, false};
  return work_area_of(params->image_id);
}
