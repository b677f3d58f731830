// Every control edits exactly one field of the live record; the record
// reaches the controls only through sync_widgets_from_params.
#include "controls.h"

#include <cmath>

#include "dialog_widgets.h"
#include "gimpui_compat.h"
#include "image_services.h"
#include "preview.h"
#include "live_unit.h"
#include "units.h"

namespace {

constexpr const char *SPIN_RANGE_KEY = "zipstroke-spin-range";
constexpr const char *COMBO_RANGE_KEY = "zipstroke-combo-range";

EffectParams *live_record = nullptr;

const SpinRange *spin_range_of(GtkWidget *spin) {
  return static_cast<const SpinRange *>(g_object_get_data(G_OBJECT(spin), SPIN_RANGE_KEY));
}

const ComboRange *combo_range_of(GtkWidget *combo) {
  return static_cast<const ComboRange *>(g_object_get_data(G_OBJECT(combo), COMBO_RANGE_KEY));
}

// What the handler of an integer field makes of the value a spin button shows.
int32_t spin_int_value(GtkSpinButton *spin, IntRule rule) {
  if (rule == IntRule::Nearest) return gtk_spin_button_get_value_as_int(spin);
  return static_cast<int32_t>(gtk_spin_button_get_value(spin));
}

// The field as the handler would write it from what the control shows
// differs from the live record.
bool spin_disagrees(GtkSpinButton *spin, const SpinRange &range, EffectParams *live) {
  if (range.type == FieldType::Double)
    return field_ref<double>(live, range.offset) != gtk_spin_button_get_value(spin);
  return field_ref<int32_t>(live, range.offset) != spin_int_value(spin, range.rule);
}

void set_spin(const EffectParams *params, const char *key) {
  const SpinRange *range = spin_range_find(key);
  GtkWidget *spin = dialog_spin_for_key(key);
  if (!range || !spin) return;
  double value = spin_field_get(params, *range);
  if (!std::isfinite(value)) {
    double min = 0.0, max = 0.0;
    gtk_spin_button_get_range(GTK_SPIN_BUTTON(spin), &min, &max);
    value = spin_clamp(SpinLimits{min, max}, value);
  }
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), value);
}

// Gives every length control the limits of `unit`.  A shown value that the
// new limits clamp writes nothing now: the values set next, and the write-back
// of the controls that disagree, decide what the record holds.
void set_length_limits(int unit) {
  const Resolution resolution = image_resolution(live_record ? live_record->image_id : 0);
  for (const SpinRange &range : SPIN_RANGES) {
    if (range.axis == LengthAxis::None) continue;
    GtkWidget *spin = dialog_spin_for_key(range.key);
    if (!spin) continue;
    const SpinLimits limits = spin_limits(range, unit, resolution);
    g_signal_handlers_block_matched(spin, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                    reinterpret_cast<gpointer>(on_spin_value_changed), nullptr);
    gtk_spin_button_set_range(GTK_SPIN_BUTTON(spin), limits.min, limits.max);
    g_signal_handlers_unblock_matched(spin, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                      reinterpret_cast<gpointer>(on_spin_value_changed), nullptr);
  }
}

void set_spins(const EffectParams *params, std::initializer_list<const char *> keys) {
  for (const char *key : keys) set_spin(params, key);
}

void set_combo(GtkWidget *combo, int32_t value) {
  // A value without an item leaves the combo as it is.
  if (combo) gimp_int_combo_box_set_active(GIMP_INT_COMBO_BOX(combo), value);
}

void set_check(GtkWidget *check, const FreehandOutline &outline) {
  if (check) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), outline.active != 0);
}

// A control that refused a value because it already showed its limit emitted
// nothing, so the live record may still hold the refused value: let every
// such control write what it shows.  Controls that agree write nothing.
void write_back_disagreeing_controls() {
  if (!live_record) return;
  for (const SpinRange &range : SPIN_RANGES) {
    GtkWidget *spin = dialog_spin_for_key(range.key);
    if (spin && spin_disagrees(GTK_SPIN_BUTTON(spin), range, live_record))
      g_signal_emit_by_name(spin, "value-changed");
  }
  for (GtkWidget *combo : {dialog_widgets.antialias_combo, dialog_widgets.pitch_type_combo,
                           dialog_widgets.wave_type_combo}) {
    const ComboRange *range = combo ? combo_range_of(combo) : nullptr;
    gint shown = 0;
    if (range && gimp_int_combo_box_get_active(GIMP_INT_COMBO_BOX(combo), &shown) &&
        field_ref<int32_t>(live_record, range->offset) != shown)
      g_signal_emit_by_name(combo, "changed");
  }
}

}  // namespace

void preview_queue_redraw() {
  if (dialog_widgets.preview_area) gtk_widget_queue_draw(dialog_widgets.preview_area);
}

void controls_set_live_record(EffectParams *params) { live_record = params; }

void controls_bind_spin(GtkWidget *spin, const SpinRange *range) {
  g_object_set_data(G_OBJECT(spin), SPIN_RANGE_KEY, const_cast<SpinRange *>(range));
}

void controls_bind_combo(GtkWidget *combo, const ComboRange *range) {
  g_object_set_data(G_OBJECT(combo), COMBO_RANGE_KEY, const_cast<ComboRange *>(range));
}

void on_spin_value_changed(GtkSpinButton *spin, EffectParams *params) {
  const SpinRange *range = spin_range_of(GTK_WIDGET(spin));
  if (!range) return;
  switch (range->rule) {
    case IntRule::None:
      field_ref<double>(params, range->offset) = gtk_spin_button_get_value(spin);
      break;
    case IntRule::Truncate:
    case IntRule::Nearest:
      field_ref<int32_t>(params, range->offset) = spin_int_value(spin, range->rule);
      break;
    case IntRule::WavePoints: {
      const int32_t v = spin_int_value(spin, IntRule::Truncate);
      if (v % 4 != 0) {
        // Re-enters this handler, which then writes the multiple of 4.
        gtk_spin_button_set_value(spin, v - v % 4);
        return;
      }
      field_ref<int32_t>(params, range->offset) = v;
      break;
    }
  }
  preview_queue_redraw();
}

void on_combo_changed(GtkComboBox *combo, EffectParams *params) {
  const ComboRange *range = combo_range_of(GTK_WIDGET(combo));
  gint value = 0;
  if (range && gimp_int_combo_box_get_active(GIMP_INT_COMBO_BOX(combo), &value))
    field_ref<int32_t>(params, range->offset) = value;
  preview_queue_redraw();
}

void on_color_changed(GimpColorButton *button, EffectParams *params) {
  params->line_color = compat_color_button_get(GTK_WIDGET(button));
  preview_queue_redraw();
}

void on_area_type_clicked(GtkButton *button, EffectParams *params) {
  // Both radios emit "clicked" when the choice changes, the new one last.
  if (GTK_WIDGET(button) == dialog_widgets.radiation_radio) params->area_type = AREA_RADIATION;
  if (GTK_WIDGET(button) == dialog_widgets.parallel_radio) params->area_type = AREA_PARALLEL;
  if (GTK_WIDGET(button) == dialog_widgets.path_radio) params->area_type = AREA_PATH;
  if (dialog_widgets.area_notebook)
    gtk_notebook_set_current_page(GTK_NOTEBOOK(dialog_widgets.area_notebook), params->area_type);
  preview_queue_redraw();
}

void on_zoom_clicked(GtkButton *button, EffectParams *) {
  if (GTK_WIDGET(button) == dialog_widgets.zoom_in_button) preview_zoom_in();
  if (GTK_WIDGET(button) == dialog_widgets.zoom_out_button) preview_zoom_out();
}

namespace {
void (*page_sync)(const EffectParams *params) = nullptr;
}  // namespace

void controls_set_page_sync(void (*sync)(const EffectParams *params)) { page_sync = sync; }

void sync_widgets_from_params(const EffectParams *p) {
  DialogWidgets &w = dialog_widgets;
  // The lengths arrive in the record's unit (the unit combo follows below).
  set_length_limits(p->area_unit >= 0 && p->area_unit < UNIT_COUNT ? p->area_unit
                                                                   : current_unit_get());
  if (w.color_button && std::isfinite(p->line_color.r) && std::isfinite(p->line_color.g) &&
      std::isfinite(p->line_color.b) && std::isfinite(p->line_color.a)) {
    compat_color_button_set(w.color_button, p->line_color);
  }
  set_combo(w.antialias_combo, p->line_antialias);
  set_spins(p, {"line_pitch", "line_pitch_rand", "line_pitch_rand_seed"});
  set_combo(w.pitch_type_combo, p->line_pitch_type);
  set_spins(p, {"line_block_on_pitch", "line_block_on_pitch_rand", "line_blick_on_pitch_rand_seed"});
  set_spins(p, {"line_block_off_pitch", "line_block_off_pitch_rand",
                "line_blick_off_pitch_rand_seed"});
  set_spins(p, {"line_wave_npoint"});
  set_spins(p, {"line_wave_depth", "line_wave_depth_rand", "line_wave_depth_rand_seed"});
  set_combo(w.wave_type_combo, p->line_wave_type);
  set_spins(p, {"line_width", "line_width_rand", "line_width_rand_seed"});
  set_spins(p, {"line_in_margin", "line_in_margin_rand", "line_in_margin_rand_seed"});
  set_spins(p, {"line_in_length", "line_in_length_rand", "line_in_length_rand_seed"});
  set_spins(p, {"line_out_margin", "line_out_margin_rand", "line_out_margin_rand_seed"});
  set_spins(p, {"line_out_length", "line_out_length_rand", "line_out_length_rand_seed"});

  // Any other area type selects no radio and no page.
  if (p->area_type == AREA_RADIATION && w.radiation_radio)
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.radiation_radio), TRUE);
  if (p->area_type == AREA_PARALLEL && w.parallel_radio)
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.parallel_radio), TRUE);
  if (p->area_type == AREA_PATH && w.path_radio)
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.path_radio), TRUE);
  if (area_type_known(p->area_type) && w.area_notebook)
    gtk_notebook_set_current_page(GTK_NOTEBOOK(w.area_notebook), p->area_type);
  set_combo(w.unit_combo, p->area_unit);

  set_spins(p, {"radiation_x", "radiation_y", "radiation_in_radius", "radiation_out_radius",
                "radiation_oblateness"});
  set_check(w.radiation_in_freehand.check, p->radiation_in_freehand);
  set_check(w.radiation_out_freehand.check, p->radiation_out_freehand);
  set_spins(p, {"parallel_in_x", "parallel_in_Y", "parallel_in_range", "parallel_out_x",
                "parallel_out_Y", "parallel_out_range"});
  set_check(w.parallel_in_freehand.check, p->parallel_in_freehand);
  set_check(w.parallel_out_freehand.check, p->parallel_out_freehand);
  if (page_sync != nullptr) page_sync(p);

  write_back_disagreeing_controls();
  preview_queue_redraw();
}
