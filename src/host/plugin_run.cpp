#include "plugin_run.h"

#include <cstring>
#include <memory>

#include <glib/gi18n-lib.h>

#include "dialog.h"
#include "glib_ptr.h"
#include "host_calls.h"
#include "layer_output.h"
#include "plugin_services.h"
#include "script_settings.h"
#include "streak_layer.h"

void run_dialog(EffectParams *params, int32_t image, int32_t drawable) {
  effect_params_init_run_fields(params, image, drawable);
  plugin_services_install();
  effect_params_set_defaults(params);
  host_last_values_restore(params);
  host_ui_init();
  dialog_run_on_image(params, image, drawable);
  host_last_values_store(params);
}

namespace {

SettingsCallResult refused(const char *message) {
  return {CallStatus::CallingError, NO_ID, message};
}

bool has_settings_parasite(int32_t item) {
  gsize length = 0;
  GCharPtr text(host_item_parasite(item, STREAK_PARASITE_NAME, &length));
  return text != nullptr;
}

}  // namespace

SettingsCallResult run_settings_call(int32_t image, int32_t drawable, const char *text,
                                     bool replace) {
  if (!host_image_exists(image)) return refused("the image does not exist");
  if (!host_item_exists(drawable) || !host_item_is_drawable(drawable))
    return refused("the drawable does not exist");
  if (host_item_image(drawable) != image) return refused("the drawable does not belong to the image");
  if (host_image_kind(image) == ImageKind::Other)
    return refused("streak lines are drawn on RGB and grey images only, not on indexed ones");
  if (replace && (!is_editable_layer(image, drawable) || !has_settings_parasite(drawable)))
    return refused("replace needs a streak layer: the drawable does not carry plugin-zipstroke "
                   "settings");

  plugin_services_install();
  auto params = std::make_unique<EffectParams>();
  effect_params_init_run_fields(params.get(), image, drawable);
  effect_params_set_defaults(params.get());
  GError *raw_error = nullptr;
  if (!script_settings_apply(params.get(), text, text ? std::strlen(text) : 0, &raw_error)) {
    GErrorPtr error(raw_error);
    return refused((std::string("unreadable settings text: ") + error->message).c_str());
  }
  params->image_id = image;
  params->drawable_id = drawable;
  params->edit_mode = replace ? EditMode::Replace : EditMode::Create;

  const LayerResult result = draw_streak_layer(params.get());
  if (result.status != LayerStatus::Written)
    return {CallStatus::ExecutionError, NO_ID, "the streak layer could not be made"};
  return {CallStatus::Success, result.layer_id, ""};
}

const char *noninteractive_refusal_text() {
  return _("error: This plug-in does not support non-interactive mode.");
}
