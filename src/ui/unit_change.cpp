#include "unit_change.h"

#include "control_ranges.h"
#include "controls.h"
#include "image_services.h"
#include "live_unit.h"
#include "path_spine.h"
#include "units.h"

void on_unit_changed(GtkComboBox *combo, EffectParams *params) {
  // The rows are the units 0..4 in order, so the row index is the unit id.
  const int new_unit = gtk_combo_box_get_active(combo);
  if (new_unit < 0 || new_unit >= UNIT_COUNT) return;

  params->area_unit = new_unit;
  const int current_unit = current_unit_get();
  if (new_unit == current_unit) return;

  const Resolution res = image_resolution(params->image_id);
  for (const SpinRange &range : SPIN_RANGES) {
    if (range.axis == LengthAxis::None || range.type != FieldType::Double) continue;
    const double resolution = range.axis == LengthAxis::Vertical ? res.y : res.x;
    double &value = field_ref<double>(params, range.offset);
    const double pixels = units_to_pixels(value, current_unit, resolution);
    value = pixels_to_units(pixels, new_unit, resolution);
  }
  path_convert_units(params, current_unit, new_unit, res);

  sync_widgets_from_params(params);
  current_unit_set(params->area_unit);
}
