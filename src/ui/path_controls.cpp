#include "path_controls.h"

#include <glib/gi18n-lib.h>

#include <cmath>
#include <cstring>

#include "control_ranges.h"
#include "controls.h"
#include "dialog.h"
#include "gtk_compat.h"
#include "image_services.h"

namespace {

struct PathWidgets {
  GtkWidget *in_range_spin = nullptr;
  GtkWidget *out_range_spin = nullptr;
  GtkWidget *spine_label = nullptr;
};
PathWidgets path_widgets;

GtkWidget *new_range_spin(EffectParams *params, const char *key, GtkWidget **slot) {
  const SpinRange *range = spin_range_find(key);
  const SpinLimits limits =
      spin_limits(*range, params->area_unit, image_resolution(params->image_id));
  GtkWidget *spin = make_spin_button(range->digits, limits.min, limits.max, range->step,
                                     spin_field_get(params, *range));
  controls_bind_spin(spin, range);
  g_signal_connect(spin, "value_changed", G_CALLBACK(on_spin_value_changed), params);
  // Forget the button when the dialog goes, so that no later sync reaches it.
  g_signal_connect(spin, "destroy", G_CALLBACK(gtk_widget_destroyed), slot);
  *slot = spin;
  return spin;
}

void show_spine(const EffectParams *params) {
  if (!path_widgets.spine_label) return;
  char text[128];
  g_snprintf(text, sizeof text, _("%d points"), params->path_spine_points_count);
  gtk_label_set_text(GTK_LABEL(path_widgets.spine_label), text);
}

GtkWidget *left_label(const char *text) {
  GtkWidget *label = gtk_label_new(text);
  compat_label_set_xalign(label, 0.0f);
  return label;
}

}  // namespace

GtkWidget *path_page_new(EffectParams *params) {
  PathWidgets &w = path_widgets;
  GtkWidget *table = compat_grid_new(3, 4);
  new_range_spin(params, "path_in_range", &w.in_range_spin);
  new_range_spin(params, "path_out_range", &w.out_range_spin);
  gtk_widget_set_tooltip_text(w.in_range_spin,
                              _("Width of the band at the start of the spine, in the chosen unit"));
  gtk_widget_set_tooltip_text(w.out_range_spin,
                              _("Width of the band at the end of the spine, in the chosen unit"));
  w.spine_label = left_label("");
  g_signal_connect(w.spine_label, "destroy", G_CALLBACK(gtk_widget_destroyed), &w.spine_label);
  show_spine(params);

  compat_grid_attach(table, left_label(_("In:")), 0, 1, 0, 1, CELL_NONE, CELL_NONE, 4, 4);
  compat_grid_attach(table, left_label(_("Range:")), 1, 2, 0, 1, CELL_NONE, CELL_NONE, 4, 4);
  compat_grid_attach(table, w.in_range_spin, 2, 3, 0, 1, CELL_NONE, CELL_NONE, 4, 4);
  compat_grid_attach(table, left_label(_("Out:")), 0, 1, 1, 2, CELL_NONE, CELL_NONE, 4, 4);
  compat_grid_attach(table, left_label(_("Range:")), 1, 2, 1, 2, CELL_NONE, CELL_NONE, 4, 4);
  compat_grid_attach(table, w.out_range_spin, 2, 3, 1, 2, CELL_NONE, CELL_NONE, 4, 4);
  compat_grid_attach(table, left_label(_("Spine:")), 0, 1, 2, 3, CELL_NONE, CELL_NONE, 4, 4);
  compat_grid_attach(table, w.spine_label, 1, 4, 2, 3, CELL_FILL, CELL_NONE, 4, 4);
  return table;
}

void path_controls_sync(const EffectParams *params) {
  const Resolution resolution = image_resolution(params->image_id);
  for (const SpinRange &range : PATH_SPIN_RANGES) {
    GtkWidget *spin = path_spin_for_key(range.key);
    if (!spin) continue;
    const SpinLimits limits = spin_limits(range, params->area_unit, resolution);
    gtk_spin_button_set_range(GTK_SPIN_BUTTON(spin), limits.min, limits.max);
    const double value = spin_field_get(params, range);
    if (!std::isnan(value)) gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), value);
  }
  show_spine(params);
}

GtkWidget *path_spin_for_key(const char *key) {
  if (std::strcmp(key, "path_in_range") == 0) return path_widgets.in_range_spin;
  if (std::strcmp(key, "path_out_range") == 0) return path_widgets.out_range_spin;
  return nullptr;
}
