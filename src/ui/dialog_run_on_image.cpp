// One interactive run of the dialog on an image.  Kept apart from the
// dialog's construction so that a host check can link a stand-in dialog.
#include "dialog.h"
#include "image_services.h"
#include "last_values.h"
#include "responses.h"
#include "unit_change.h"

void dialog_run_on_image(EffectParams *params, int32_t image_id, int32_t drawable_id) {
  params->image_id = image_id;
  params->drawable_id = drawable_id;
  params->edit_mode = EditMode::Create;
  // Values made for a work area of another size are fitted to this one.
  last_values_fit(params, work_area_of(image_id), image_resolution(image_id));
  // The restored lengths are in the stored unit.
  current_unit_set(params->area_unit);
  dialog_run(dialog_build(params));
  responses_finish(params);
}
