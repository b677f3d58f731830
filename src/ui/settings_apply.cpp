#include "settings_apply.h"

#include <memory>

#include "controls.h"
#include "path_controls.h"
#include "settings_text.h"
#include "unit_change.h"
#include "units.h"

namespace {

EffectParams *live_params = nullptr;

void take_samples(FreehandOutline *live, const FreehandOutline &parsed) {
  if (parsed.count != FREEHAND_SAMPLES) return;
  for (int i = 0; i < FREEHAND_SAMPLES; ++i) live->samples[i] = parsed.samples[i];
  live->count = parsed.count;
}

}  // namespace

void settings_apply_set_live(EffectParams *live) { live_params = live; }

void settings_apply_key_file(GKeyFile *key_file) {
  if (key_file == nullptr) return;
  // The record holds four outlines of 1000 samples: keep it off the stack.
  auto parsed = std::make_unique<EffectParams>(settings_parse_key_file(key_file));

  // The text's lengths are in the text's unit.  Declaring that unit current
  // before the controls are set means the unit combo, when it changes during
  // the sync, finds nothing to convert.
  if (parsed->area_unit >= 0 && parsed->area_unit < UNIT_COUNT)
    current_unit_set(parsed->area_unit);

  sync_widgets_from_params(parsed.get());

  if (live_params != nullptr) {
    take_samples(&live_params->radiation_in_freehand, parsed->radiation_in_freehand);
    take_samples(&live_params->radiation_out_freehand, parsed->radiation_out_freehand);
    take_samples(&live_params->parallel_in_freehand, parsed->parallel_in_freehand);
    take_samples(&live_params->parallel_out_freehand, parsed->parallel_out_freehand);
    // The Path band's fields are taken as they are: no control shows them.
    settings_apply_path(live_params, parsed.get());
    path_controls_sync(live_params);
    preview_queue_redraw();
  }
}
