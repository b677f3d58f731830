#include "path_controls.h"

#include <glib/gi18n-lib.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "control_ranges.h"
#include "controls.h"
#include "dialog.h"
#include "dialog_widgets.h"
#include "freehand.h"
#include "gtk_compat.h"
#include "host_services.h"
#include "image_services.h"
#include "message_dialog.h"
#include "path_spine.h"

namespace {

struct PathWidgets {
  GtkWidget *in_range_spin = nullptr;
  GtkWidget *out_range_spin = nullptr;
  GtkWidget *spine_label = nullptr;
  GtkWidget *from_path_button = nullptr;
  EffectParams *live = nullptr;  // the record the page was built for
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

// The spine from the image's selected path, in the area the lines are drawn
// for; a path that gives no spine says why and leaves the spine as it was.
void on_from_path_clicked(GtkButton *button, EffectParams *params) {
  const HostServices &host = host_services();
  std::vector<SpinePoint> pixels;
  const bool found = host.path_polyline && host.path_polyline(params->image_id, &pixels);
  const WorkArea area = shown_work_area(params);
  if (found && path_spine_set_from_pixels(params, pixels, -area.x1, -area.y1,
                                          image_resolution(params->image_id))) {
    show_spine(params);
    preview_queue_redraw();
    return;
  }
  path_controls_update_from_path(params);
  GtkWidget *top = gtk_widget_get_toplevel(GTK_WIDGET(button));
  message_dialog_run(GTK_MESSAGE_WARNING, GTK_BUTTONS_OK,
                     GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr,
                     found ? _("The path has no stroke of two points or more. The spine is unchanged.")
                           : _("The image has no path. The spine is unchanged."));
}

void forget_record(GtkWidget *, gpointer) { path_widgets.live = nullptr; }

}  // namespace

GtkWidget *path_page_new(EffectParams *params) {
  PathWidgets &w = path_widgets;
  DialogWidgets &d = dialog_widgets;
  w.live = params;
  controls_set_page_sync(path_controls_sync);
  GtkWidget *table = compat_grid_new(5, 5);
  g_signal_connect(table, "destroy", G_CALLBACK(forget_record), nullptr);
  new_range_spin(params, "path_in_range", &w.in_range_spin);
  new_range_spin(params, "path_out_range", &w.out_range_spin);
  gtk_widget_set_tooltip_text(w.in_range_spin,
                              _("Width of the band at the start of the spine, in the chosen unit"));
  gtk_widget_set_tooltip_text(w.out_range_spin,
                              _("Width of the band at the end of the spine, in the chosen unit"));
  GtkWidget *rows[2] = {make_freehand_row(params, &d.path_in_freehand),
                        make_freehand_row(params, &d.path_out_freehand)};
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(d.path_in_freehand.check),
                               params->path_in_freehand.active != 0);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(d.path_out_freehand.check),
                               params->path_out_freehand.active != 0);
  w.spine_label = left_label("");
  g_signal_connect(w.spine_label, "destroy", G_CALLBACK(gtk_widget_destroyed), &w.spine_label);
  show_spine(params);
  w.from_path_button = gtk_button_new_with_label(_("From Path"));
  gtk_widget_set_tooltip_text(w.from_path_button,
                              _("Make the spine from the image's selected path (its first stroke)"));
  g_signal_connect(w.from_path_button, "clicked", G_CALLBACK(on_from_path_clicked), params);
  g_signal_connect(w.from_path_button, "destroy", G_CALLBACK(gtk_widget_destroyed),
                   &w.from_path_button);
  path_controls_update_from_path(params);
  d.draw_spine_toggle = gtk_toggle_button_new_with_label(_("Draw Spine"));
  g_signal_connect(d.draw_spine_toggle, "toggled", G_CALLBACK(on_draw_spine_toggled), nullptr);
  g_signal_connect(d.draw_spine_toggle, "destroy", G_CALLBACK(gtk_widget_destroyed),
                   &d.draw_spine_toggle);

  GtkWidget *spins[2] = {w.in_range_spin, w.out_range_spin};
  const char *sides[2] = {_("In:"), _("Out:")};
  for (int side = 0; side < 2; ++side) {
    const int top = 2 * side;
    compat_grid_attach(table, left_label(sides[side]), 0, 1, top, top + 1, CELL_NONE, CELL_NONE, 4, 4);
    compat_grid_attach(table, left_label(_("Range:")), 1, 2, top, top + 1, CELL_NONE, CELL_NONE, 4, 4);
    compat_grid_attach(table, spins[side], 2, 3, top, top + 1, CELL_NONE, CELL_NONE, 4, 4);
    compat_grid_attach(table, rows[side], 1, 5, top + 1, top + 2, CELL_FILL, CELL_NONE, 4, 4);
  }
  compat_grid_attach(table, left_label(_("Spine:")), 0, 1, 4, 5, CELL_NONE, CELL_NONE, 4, 4);
  compat_grid_attach(table, w.spine_label, 1, 2, 4, 5, CELL_FILL, CELL_NONE, 4, 4);
  compat_grid_attach(table, w.from_path_button, 2, 3, 4, 5, CELL_FILL, CELL_NONE, 4, 4);
  compat_grid_attach(table, d.draw_spine_toggle, 3, 4, 4, 5, CELL_FILL, CELL_NONE, 4, 4);
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
  const DialogWidgets &d = dialog_widgets;
  if (d.path_in_freehand.check)
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(d.path_in_freehand.check),
                                 params->path_in_freehand.active != 0);
  if (d.path_out_freehand.check)
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(d.path_out_freehand.check),
                                 params->path_out_freehand.active != 0);
}

void path_controls_spine_changed() {
  if (path_widgets.live) show_spine(path_widgets.live);
  preview_queue_redraw();
}

void path_controls_move_spine_point(int index, bool vertical, double value) {
  EffectParams *params = path_widgets.live;
  if (!params || index < 0 || index >= params->path_spine_points_count ||
      index >= PATH_SPINE_MAX || !std::isfinite(value))
    return;
  const SpinLimits limits =
      spin_limits(*spin_range_find(vertical ? "parallel_in_Y" : "parallel_in_x"),
                  params->area_unit, image_resolution(params->image_id));
  SpinePoint &point = params->path_spine_points[index];
  (vertical ? point.y : point.x) = spin_clamp(limits, value);
  preview_queue_redraw();
}

GtkWidget *path_spin_for_key(const char *key) {
  if (std::strcmp(key, "path_in_range") == 0) return path_widgets.in_range_spin;
  if (std::strcmp(key, "path_out_range") == 0) return path_widgets.out_range_spin;
  return nullptr;
}

void path_controls_update_from_path(const EffectParams *params) {
  if (!path_widgets.from_path_button) return;
  const HostServices &host = host_services();
  std::vector<SpinePoint> pixels;
  gtk_widget_set_sensitive(path_widgets.from_path_button,
                           host.path_polyline && host.path_polyline(params->image_id, &pixels));
}
