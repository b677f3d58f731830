// The controls' change handlers, and the push of a record into every control.
#pragma once

#include <gtk/gtk.h>
#include <gegl.h>  // libgimpwidgets needs its types
#include <libgimpwidgets/gimpwidgets.h>

#include "control_ranges.h"
#include "effect_params.h"

// Sets every control from params in the fixed order; each control's own
// handler then writes the live record.  Reads only its argument.  Afterwards
// every field that has a control holds exactly what the control shows, also
// where the control refused the value (it already showed its minimum).
void sync_widgets_from_params(const EffectParams *params);

// A page that keeps its own controls (the Path page) shows a record through
// `sync`, called by sync_widgets_from_params after the area's controls; set
// when that page is built.
void controls_set_page_sync(void (*sync)(const EffectParams *params));

// Queues a redraw of the preview (when it exists).
void preview_queue_redraw();

// The record the handlers write, for the write-back of sync_widgets_from_params.
void controls_set_live_record(EffectParams *params);

// Ties a spin button or an integer combo to its table entry; the handlers
// below read the entry from the emitting widget.
void controls_bind_spin(GtkWidget *spin, const SpinRange *range);
void controls_bind_combo(GtkWidget *combo, const ComboRange *range);

// "value_changed" of every spin button: writes the field by the entry's rule
// (double, truncated, nearest, or wave points kept to a multiple of 4).
void on_spin_value_changed(GtkSpinButton *spin, EffectParams *params);
// "changed" of the antialias, pitch type and wave type combos.
void on_combo_changed(GtkComboBox *combo, EffectParams *params);
void on_color_changed(GimpColorButton *button, EffectParams *params);
void on_area_type_clicked(GtkButton *button, EffectParams *params);
void on_zoom_clicked(GtkButton *button, EffectParams *params);
