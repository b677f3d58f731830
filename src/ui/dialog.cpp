// The main dialog: preview and zoom buttons on the left, the "Options" and
// "Preset" pages on the right, the responses in the action area.
#include "dialog.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include <glib/gi18n-lib.h>

#include "control_ranges.h"
#include "controls.h"
#include "dialog_widgets.h"
#include "path_controls.h"
#include "freehand.h"
#include "gimpui_compat.h"
#include "glib_ptr.h"
#include "gtk_compat.h"
#include "image_services.h"
#include "preset_page.h"
#include "preview.h"
#include "responses.h"
#include "tooltips.h"
#include "unit_change.h"
#include "window_icon.h"

namespace {

// The fixed combo item texts, marked so that the translation template has them.
[[maybe_unused]] constexpr const char *COMBO_ITEM_TEXTS[] = {
    N_("None"), N_("Fast"),     N_("Best"),  N_("IN"),         N_("OUT"), N_("Default"),
    N_("Cos"),  N_("Arc"),      N_("Arc(Inv)"), N_("Block"), N_("Block(Inv)"), N_("N"),
};

constexpr unsigned FILL = CELL_FILL;

// The least the preview gives way to on a small screen.
constexpr int PREVIEW_MIN_SIDE = 300;
constexpr unsigned NONE = CELL_NONE;

// A translated label (the template's xgettext knows label_new as a keyword);
// those ending in ':' sit left and vertically centred.
GtkWidget *label_new(const char *text) {
  const char *shown = _(text);
  GtkWidget *label = gtk_label_new(shown);
  const size_t n = std::strlen(text);
  if (n > 0 && text[n - 1] == ':') compat_label_set_xalign(label, 0.0f);
  return label;
}

void attach(GtkWidget *table, GtkWidget *child, int left, int right, int top, int bottom,
            unsigned x, unsigned y, int xpad = 4, int ypad = 4) {
  compat_grid_attach(table, child, left, right, top, bottom, x, y, xpad, ypad);
}

// Characters of the longest value a spin button of `range` shows in pixels:
// sign, integer digits, point and decimals.
int spin_width_chars(const SpinRange &range) {
  int widest = 0;
  for (const double value : {range.min, range.max}) {
    const double size = std::fabs(value);
    const int digits = size >= 10.0 ? static_cast<int>(std::floor(std::log10(size))) + 1 : 1;
    widest = std::max(widest, digits + (range.digits > 0 ? 1 + range.digits : 0) + (value < 0));
  }
  return widest;
}

// Creates the spin button of `key` showing the record's value and stores it in
// the registry; its handler is connected later, by connect_spins.
GtkWidget *new_spin(EffectParams *params, const char *key) {
  const SpinRange *range = spin_range_find(key);
  g_assert(range);
  const SpinLimits limits =
      spin_limits(*range, params->area_unit, image_resolution(params->image_id));
  GtkWidget *spin = make_spin_button(range->digits, limits.min, limits.max, range->step,
                                     spin_field_get(params, *range));
  // A length is as wide as its widest value in pixels, whatever the unit:
  // the toolkit would size it by the current limits, and a unit change
  // would move the whole layout.
  if (range->axis != LengthAxis::None)
    gtk_entry_set_width_chars(GTK_ENTRY(spin), spin_width_chars(*range));
  controls_bind_spin(spin, range);
  *dialog_spin_slot(key) = spin;
  return spin;
}

// What a drag on the preview's guides edited, set in order through the
// fields' spin buttons, which clamp it and write the record; a value that is
// not a number is left out.
void apply_guide_edits(const GuideEdits &edits) {
  for (int i = 0; i < edits.count; ++i) {
    const GuideEdit &edit = edits.items[i];
    if (edit.field == GuideField::PathSpineX || edit.field == GuideField::PathSpineY) {
      path_controls_move_spine_point(edit.index, edit.field == GuideField::PathSpineY, edit.value);
      continue;
    }
    if (edit.field == GuideField::PathSpineDrawn) {
      path_controls_spine_changed();
      continue;
    }
    const char *key = guide_field_key(edit.field);
    GtkWidget **slot = dialog_spin_slot(key);
    GtkWidget *spin = slot ? *slot : path_spin_for_key(key);
    if (spin && std::isfinite(edit.value))
      gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), edit.value);
  }
}

void connect_spins(EffectParams *params, std::initializer_list<const char *> keys) {
  for (const char *key : keys)
    g_signal_connect(dialog_spin_for_key(key), "value_changed", G_CALLBACK(on_spin_value_changed),
                     params);
}

GtkWidget *new_line_combo(EffectParams *params, const char *key) {
  const ComboRange *range = combo_range_find(key);
  g_assert(range);
  GtkWidget *combo = gimp_int_combo_box_new(nullptr, 0, nullptr);
  for (int i = 0; i < range->n_items; ++i)
    gimp_int_combo_box_append(GIMP_INT_COMBO_BOX(combo), GIMP_INT_STORE_VALUE,
                              range->items[i].value, GIMP_INT_STORE_LABEL,
                              _(range->items[i].label), -1);
  gimp_int_combo_box_set_active(GIMP_INT_COMBO_BOX(combo), combo_field_get(params, *range));
  controls_bind_combo(combo, range);
  return combo;
}

// The units 0..4 under the editor's plural names (the table's names when the
// unit database has none).
GtkWidget *new_unit_combo(EffectParams *params) {
  const ComboRange *range = combo_range_find("area_unit");
  g_assert(range);
  GtkWidget *combo = gimp_int_combo_box_new(nullptr, 0, nullptr);
  for (int i = 0; i < range->n_items; ++i) {
    const int unit = range->items[i].value;
    const gchar *plural = compat_unit_plural(unit);
    gimp_int_combo_box_append(GIMP_INT_COMBO_BOX(combo), GIMP_INT_STORE_VALUE, unit,
                              GIMP_INT_STORE_LABEL, plural ? plural : range->items[i].label, -1);
  }
  gimp_int_combo_box_set_active(GIMP_INT_COMBO_BOX(combo), params->area_unit);
  return combo;
}

uint32_t big_endian_at(const uint8_t *p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// The window icon from its stream (gdk-pixbuf's own reader of such streams is
// deprecated): the run-length encoded RGB pixels after the 24-byte header.
// nullptr when the stream is not what this reader knows.
GdkPixbuf *window_icon_new() {
  const uint8_t *data = WINDOW_ICON_PIXDATA;
  const size_t size = sizeof WINDOW_ICON_PIXDATA;
  constexpr uint32_t RGB_8BIT_RLE = 0x02010001;
  if (std::memcmp(data, "GdkP", 4) != 0 || big_endian_at(data + 4) != size ||
      big_endian_at(data + 8) != RGB_8BIT_RLE)
    return nullptr;
  const int width = static_cast<int>(big_endian_at(data + 16));
  const int height = static_cast<int>(big_endian_at(data + 20));
  if (width <= 0 || height <= 0 || width > 256 || height > 256) return nullptr;
  GdkPixbuf *icon = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  if (icon == nullptr) return nullptr;
  guchar *pixels = gdk_pixbuf_get_pixels(icon);
  const int stride = gdk_pixbuf_get_rowstride(icon);
  const int total = width * height;
  int done = 0;
  size_t at = 24;
  while (done < total && at < size) {
    const int count = data[at] & 0x7f;
    const bool run = (data[at] & 0x80) != 0;
    ++at;
    const size_t bytes = run ? 3 : size_t(3) * count;
    if (count == 0 || done + count > total || at + bytes > size) break;
    for (int i = 0; i < count; ++i, ++done) {
      const uint8_t *from = data + at + (run ? 0 : 3 * i);
      guchar *to = pixels + (done / width) * stride + 3 * (done % width);
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
    }
    at += bytes;
  }
  if (done != total) {
    g_object_unref(icon);
    return nullptr;
  }
  return icon;
}

// A page of the area notebook: its table in a box that stays shown, so the
// notebook can switch to it, while the table shows only on the current page.
// A notebook is as high as its highest shown page: the Parallel table, one
// row higher, would otherwise leave a gap under the Radiation one.
GtkWidget *area_page_new(GtkWidget *table) {
  GtkWidget *page = compat_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_box_pack_start(GTK_BOX(page), table, FALSE, FALSE, 0);
  return page;
}

void show_area_page(GtkWidget *notebook, int current) {
  const int pages = gtk_notebook_get_n_pages(GTK_NOTEBOOK(notebook));
  for (int i = 0; i < pages; ++i) {
    GtkWidget *page = gtk_notebook_get_nth_page(GTK_NOTEBOOK(notebook), i);
    GList *children = gtk_container_get_children(GTK_CONTAINER(page));
    if (children) gtk_widget_set_visible(GTK_WIDGET(children->data), i == current);
    g_list_free(children);
  }
}

// Keeps the area notebook as wide as its widest page, measured while both
// show, so that switching the area type moves nothing sideways.
void keep_area_width(GtkWidget *notebook) {
  gtk_widget_set_size_request(notebook, -1, -1);
  int widest = 0;
  for (int i = 0; i < gtk_notebook_get_n_pages(GTK_NOTEBOOK(notebook)); ++i) {
    int width = 0, height = 0;
    compat_widget_min_size(gtk_notebook_get_nth_page(GTK_NOTEBOOK(notebook), i), &width, &height);
    widest = std::max(widest, width);
  }
  gtk_widget_set_size_request(notebook, widest, -1);
}

void on_area_page_switch(GtkNotebook *notebook, gpointer, guint page, gpointer) {
  show_area_page(GTK_WIDGET(notebook), static_cast<int>(page));
}

// The dialog's sizes as the toolkit works them out from its shown children:
// natural with the preview at its full size and every option in view,
// minimum with the preview at its least and the options scrolling.
void measure_dialog(GtkWidget *dialog, int *natural_w, int *natural_h, int *min_w, int *min_h) {
  DialogWidgets &w = dialog_widgets;
  // Both area pages shown: there is room for either.
  gtk_widget_show_all(gtk_bin_get_child(GTK_BIN(dialog)));
  keep_area_width(w.area_notebook);
  GtkScrolledWindow *scroller = GTK_SCROLLED_WINDOW(w.options_scroller);
  int unused = 0;
  gtk_widget_set_size_request(w.preview_area, PREVIEW_SIZE, PREVIEW_SIZE);
  // The width with room for the scroll bar (GTK 2 keeps it whenever the
  // page may scroll), the height with no scrolling.
  compat_widget_min_size(dialog, natural_w, &unused);
  gtk_scrolled_window_set_policy(scroller, GTK_POLICY_NEVER, GTK_POLICY_NEVER);
  compat_widget_min_size(dialog, &unused, natural_h);
  gtk_scrolled_window_set_policy(scroller, GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
  gtk_widget_set_size_request(w.preview_area, PREVIEW_MIN_SIDE, PREVIEW_MIN_SIDE);
  compat_widget_min_size(dialog, min_w, min_h);
}

// Size and position from the record, fitted to the work area of the monitor
// the dialog opens on.
void place_window(GtkWidget *dialog, EffectParams *params) {
  const WindowPlacement stored = window_placement_from_record(params);
  int natural_w = 0, natural_h = 0, min_w = 0, min_h = 0;
  measure_dialog(dialog, &natural_w, &natural_h, &min_w, &min_h);
  const GdkRectangle area = compat_monitor_work_area(dialog, stored.center ? -1 : stored.x,
                                                     stored.center ? -1 : stored.y);
  const WindowPlacement placement =
      window_placement_fit(stored, natural_w, natural_h, min_w, min_h,
                           ScreenRect{area.x, area.y, area.width, area.height});
  gtk_window_resize(GTK_WINDOW(dialog), placement.width, placement.height);
  if (placement.center)
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ALWAYS);
  else
    gtk_window_move(GTK_WINDOW(dialog), placement.x, placement.y);
}

gboolean on_dialog_focus_in(GtkWidget *, GdkEventFocus *, EffectParams *params) {
  responses_update_edit_layer(params);
  path_controls_update_from_path(params);
  return FALSE;
}

void on_dialog_destroy(GtkWidget *, gpointer) {
  // Outside a main loop (the GUI tests destroy dialogs directly) there is none to end.
  if (gtk_main_level() > 0) gtk_main_quit();
}

GtkWidget *build_type_row(EffectParams *params) {
  DialogWidgets &w = dialog_widgets;
  GtkWidget *table = compat_grid_new(1, 7);
  w.radiation_radio = gtk_radio_button_new_with_label(nullptr, _("Radiation"));
  w.parallel_radio =
      gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(w.radiation_radio), _("Parallel"));
  w.path_radio =
      gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(w.radiation_radio), _("Path"));
  g_signal_connect(w.radiation_radio, "clicked", G_CALLBACK(on_area_type_clicked), params);
  g_signal_connect(w.parallel_radio, "clicked", G_CALLBACK(on_area_type_clicked), params);
  g_signal_connect(w.path_radio, "clicked", G_CALLBACK(on_area_type_clicked), params);
  if (params->area_type == AREA_RADIATION)
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.radiation_radio), TRUE);
  if (params->area_type == AREA_PARALLEL)
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.parallel_radio), TRUE);
  if (params->area_type == AREA_PATH)
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.path_radio), TRUE);
  w.unit_combo = new_unit_combo(params);
  g_signal_connect(w.unit_combo, "changed", G_CALLBACK(on_unit_changed), params);

  attach(table, label_new("Type:"), 0, 1, 0, 1, FILL, FILL);
  attach(table, w.radiation_radio, 1, 2, 0, 1, NONE, NONE, 0, 4);
  attach(table, w.parallel_radio, 2, 3, 0, 1, NONE, NONE, 0, 4);
  attach(table, w.path_radio, 3, 4, 0, 1, NONE, NONE, 0, 4);
  attach(table, gtk_label_new("       "), 4, 5, 0, 1, FILL, FILL);
  attach(table, label_new("Unit:"), 5, 6, 0, 1, FILL, FILL);
  attach(table, w.unit_combo, 6, 7, 0, 1, NONE, NONE);
  return table;
}

void set_freehand_check(const FreehandRow &row, const FreehandOutline &outline) {
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row.check), outline.active != 0);
}

GtkWidget *build_radiation_page(EffectParams *params) {
  DialogWidgets &w = dialog_widgets;
  GtkWidget *table = compat_grid_new(3, 7);
  GtkWidget *center = label_new("Center:"), *x = label_new("X:"), *y = label_new("Y:");
  GtkWidget *oblateness = label_new("Oblateness:"), *radius = label_new("Radius:");
  GtkWidget *in = label_new("In:"), *out = label_new("Out:");
  GtkWidget *in_row = make_freehand_row(params, &w.radiation_in_freehand);
  GtkWidget *out_row = make_freehand_row(params, &w.radiation_out_freehand);
  const auto keys = {"radiation_x", "radiation_y", "radiation_oblateness", "radiation_in_radius",
                     "radiation_out_radius"};
  for (const char *key : keys) new_spin(params, key);
  connect_spins(params, keys);
  set_freehand_check(w.radiation_in_freehand, params->radiation_in_freehand);
  set_freehand_check(w.radiation_out_freehand, params->radiation_out_freehand);

  attach(table, center, 0, 1, 0, 1, NONE, NONE);
  attach(table, x, 1, 2, 0, 1, NONE, NONE);
  attach(table, w.radiation_x_spin, 2, 3, 0, 1, NONE, NONE);
  attach(table, y, 3, 4, 0, 1, NONE, NONE);
  attach(table, w.radiation_y_spin, 4, 5, 0, 1, NONE, NONE);
  attach(table, oblateness, 5, 6, 0, 1, NONE, NONE);
  attach(table, w.radiation_oblateness_spin, 6, 7, 0, 1, NONE, NONE);
  attach(table, radius, 0, 1, 1, 2, NONE, NONE);
  attach(table, in, 1, 2, 1, 2, NONE, NONE);
  attach(table, w.radiation_in_radius_spin, 2, 3, 1, 2, NONE, NONE);
  attach(table, in_row, 3, 6, 1, 2, NONE, NONE);
  attach(table, out, 1, 2, 2, 3, NONE, NONE);
  attach(table, w.radiation_out_radius_spin, 2, 3, 2, 3, NONE, NONE);
  attach(table, out_row, 3, 6, 2, 3, NONE, NONE);
  return table;
}

GtkWidget *build_parallel_page(EffectParams *params) {
  DialogWidgets &w = dialog_widgets;
  GtkWidget *table = compat_grid_new(4, 7);
  GtkWidget *labels[2][4];
  for (auto &row : labels) {
    row[0] = nullptr;
    row[1] = label_new("X:");
    row[2] = label_new("Y:");
    row[3] = label_new("Range:");
  }
  labels[0][0] = label_new("In:");
  labels[1][0] = label_new("Out:");
  GtkWidget *in_row = make_freehand_row(params, &w.parallel_in_freehand);
  GtkWidget *out_row = make_freehand_row(params, &w.parallel_out_freehand);
  const auto keys = {"parallel_in_x",  "parallel_in_Y",  "parallel_in_range",
                     "parallel_out_x", "parallel_out_Y", "parallel_out_range"};
  for (const char *key : keys) new_spin(params, key);
  connect_spins(params, keys);
  set_freehand_check(w.parallel_in_freehand, params->parallel_in_freehand);
  set_freehand_check(w.parallel_out_freehand, params->parallel_out_freehand);

  GtkWidget *spins[2][3] = {
      {w.parallel_in_x_spin, w.parallel_in_Y_spin, w.parallel_in_range_spin},
      {w.parallel_out_x_spin, w.parallel_out_Y_spin, w.parallel_out_range_spin}};
  GtkWidget *rows[2] = {in_row, out_row};
  for (int side = 0; side < 2; ++side) {
    const int top = side * 2;
    attach(table, labels[side][0], 0, 1, top, top + 1, NONE, NONE);
    for (int i = 0; i < 3; ++i) {
      attach(table, labels[side][i + 1], 1 + 2 * i, 2 + 2 * i, top, top + 1, NONE, NONE);
      attach(table, spins[side][i], 2 + 2 * i, 3 + 2 * i, top, top + 1, NONE, NONE);
    }
    attach(table, rows[side], 1, 7, top + 1, top + 2, FILL, NONE);
  }
  return table;
}

GtkWidget *build_line_table(EffectParams *params) {
  DialogWidgets &w = dialog_widgets;
  GtkWidget *table = compat_grid_new(12, 5);
  static constexpr const char *ROW_LABELS[] = {
      N_("Pitch:"),     N_("On Pitch:"), N_("Off Picth:"), N_("Wave NPoint:"), N_("Wave Depth:"),
      N_("Width:"),     N_("In Margin:"), N_("In Length:"), N_("Out Margin:"), N_("Out Length:")};
  static constexpr const char *HEADINGS[] = {N_("Amount"), N_("Rand"), N_("RandSeed"), N_("Type")};

  GtkWidget *antialias_label = label_new("Antialias:");
  GtkWidget *color_label = label_new("Color:");
  GtkWidget *row_labels[G_N_ELEMENTS(ROW_LABELS)];
  for (size_t i = 0; i < G_N_ELEMENTS(ROW_LABELS); ++i) row_labels[i] = label_new(ROW_LABELS[i]);
  GtkWidget *headings[G_N_ELEMENTS(HEADINGS)];
  for (size_t i = 0; i < G_N_ELEMENTS(HEADINGS); ++i) headings[i] = label_new(HEADINGS[i]);

  w.color_button = compat_color_button_new(_("Line Color"), 20, 10, params->line_color);
  w.antialias_combo = new_line_combo(params, "line_antialias");
  const auto pitch = {"line_pitch", "line_pitch_rand", "line_pitch_rand_seed"};
  for (const char *key : pitch) new_spin(params, key);
  w.pitch_type_combo = new_line_combo(params, "line_pitch_type");
  const auto middle = {"line_block_on_pitch", "line_block_on_pitch_rand",
                       "line_blick_on_pitch_rand_seed", "line_block_off_pitch",
                       "line_block_off_pitch_rand", "line_blick_off_pitch_rand_seed",
                       "line_wave_npoint", "line_wave_depth", "line_wave_depth_rand",
                       "line_wave_depth_rand_seed"};
  for (const char *key : middle) new_spin(params, key);
  w.wave_type_combo = new_line_combo(params, "line_wave_type");
  const auto rest = {"line_width",           "line_width_rand",         "line_width_rand_seed",
                     "line_in_margin",       "line_in_margin_rand",     "line_in_margin_rand_seed",
                     "line_in_length",       "line_in_length_rand",     "line_in_length_rand_seed",
                     "line_out_margin",      "line_out_margin_rand",    "line_out_margin_rand_seed",
                     "line_out_length",      "line_out_length_rand",    "line_out_length_rand_seed"};
  for (const char *key : rest) new_spin(params, key);

  g_signal_connect(w.color_button, "color-changed", G_CALLBACK(on_color_changed), params);
  for (GtkWidget *combo : {w.antialias_combo, w.pitch_type_combo, w.wave_type_combo})
    g_signal_connect(combo, "changed", G_CALLBACK(on_combo_changed), params);
  connect_spins(params, pitch);
  connect_spins(params, middle);
  connect_spins(params, rest);

  attach(table, antialias_label, 0, 1, 0, 1, FILL, FILL);
  attach(table, w.antialias_combo, 1, 2, 0, 1, FILL, FILL);
  attach(table, color_label, 2, 3, 0, 1, FILL, FILL);
  attach(table, w.color_button, 3, 4, 0, 1, FILL, FILL);
  for (int i = 0; i < 4; ++i) attach(table, headings[i], i + 1, i + 2, 1, 2, FILL, FILL);

  GtkWidget *grid[10][4] = {
      {w.line_pitch_spin, w.line_pitch_rand_spin, w.line_pitch_rand_seed_spin, w.pitch_type_combo},
      {w.line_block_on_pitch_spin, w.line_block_on_pitch_rand_spin,
       w.line_blick_on_pitch_rand_seed_spin, nullptr},
      {w.line_block_off_pitch_spin, w.line_block_off_pitch_rand_spin,
       w.line_blick_off_pitch_rand_seed_spin, nullptr},
      {w.line_wave_npoint_spin, nullptr, nullptr, nullptr},
      {w.line_wave_depth_spin, w.line_wave_depth_rand_spin, w.line_wave_depth_rand_seed_spin,
       w.wave_type_combo},
      {w.line_width_spin, w.line_width_rand_spin, w.line_width_rand_seed_spin, nullptr},
      {w.line_in_margin_spin, w.line_in_margin_rand_spin, w.line_in_margin_rand_seed_spin, nullptr},
      {w.line_in_length_spin, w.line_in_length_rand_spin, w.line_in_length_rand_seed_spin, nullptr},
      {w.line_out_margin_spin, w.line_out_margin_rand_spin, w.line_out_margin_rand_seed_spin,
       nullptr},
      {w.line_out_length_spin, w.line_out_length_rand_spin, w.line_out_length_rand_seed_spin,
       nullptr},
  };
  for (int r = 0; r < 10; ++r) {
    attach(table, row_labels[r], 0, 1, r + 2, r + 3, FILL, FILL);
    for (int c = 0; c < 4; ++c)
      if (grid[r][c]) attach(table, grid[r][c], c + 1, c + 2, r + 2, r + 3, FILL, FILL);
  }
  return table;
}

void build_action_area(GtkWidget *dialog, EffectParams *params) {
  DialogWidgets &w = dialog_widgets;
  w.edit_layer_button = gtk_dialog_add_button(GTK_DIALOG(dialog), _("Edit Layer"), RESPONSE_EDIT_LAYER);
  gtk_dialog_add_buttons(GTK_DIALOG(dialog), _("Reset"), RESPONSE_RESET, _("Close"), RESPONSE_CLOSE,
                         _("Create"), RESPONSE_CREATE, nullptr);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.topmost_check), params->topmost != 0);
  gtk_dialog_add_action_widget(GTK_DIALOG(dialog), w.topmost_check, RESPONSE_TOPMOST);
  // The check sits apart from the buttons, at the start of the action area.
  GtkWidget *action_area = gtk_widget_get_parent(w.topmost_check);
  if (GTK_IS_BUTTON_BOX(action_area))
    gtk_button_box_set_child_secondary(GTK_BUTTON_BOX(action_area), w.topmost_check, TRUE);
}

}  // namespace

GtkWidget *make_spin_button(int digits, double min, double max, double step, double value) {
  GtkWidget *spin = gtk_spin_button_new_with_range(min, max, step);
  gtk_spin_button_set_digits(GTK_SPIN_BUTTON(spin), digits);
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), std::isfinite(value) ? value : min);
  gtk_entry_set_alignment(GTK_ENTRY(spin), 1.0f);
  return spin;
}

namespace {

void on_run_dialog_destroy(GtkWidget *, gpointer destroyed) { *static_cast<bool *>(destroyed) = true; }

}  // namespace

void dialog_run(GtkWidget *dialog) {
  bool destroyed = false;
  const gulong handler =
      g_signal_connect(dialog, "destroy", G_CALLBACK(on_run_dialog_destroy), &destroyed);
  // One iteration at a time rather than a quit: a loop ended while a message
  // box waits (the dialog destroyed under it) ends the box's loop, not this one.
  while (!destroyed && !responses_dialog_ended()) gtk_main_iteration();
  if (!destroyed) {
    g_signal_handler_disconnect(dialog, handler);
    gtk_widget_destroy(dialog);
  }
}

namespace {

// A side no longer than `room` (when there is room at all), never below `minimum`.
int fit_side(int wanted, int minimum, int room) {
  if (room > 0 && wanted > room) wanted = room;
  return std::max(wanted, minimum);
}

// A start that keeps [start, start + size) inside [area_start, area_start +
// area_size), or at the area's start when it is too small.
int fit_start(int start, int size, int area_start, int area_size) {
  start = std::min(start, area_start + area_size - size);
  return std::max(start, area_start);
}

// The zoom label's width in characters: "400 %" takes ZOOM_LABEL_CHARS, and
// the word for "Fit" may be longer in another language ("Einpassen", "全体表示").
constexpr int ZOOM_LABEL_CHARS = 6;

#if !ZS_GTK3
// GTK 2 gives a label exactly its width in characters and cuts a longer text
// off (GTK 3 takes the larger of the two): counted in the label's own font,
// as GTK 2 counts them, once the label has its style.
void widen_zoom_label(GtkWidget *label, GtkStyle *, gpointer) {
  PangoContext *context = gtk_widget_get_pango_context(label);
  PangoFontMetrics *metrics = pango_context_get_metrics(context, gtk_widget_get_style(label)->font_desc,
                                                        pango_context_get_language(context));
  const int char_width = std::max(pango_font_metrics_get_approximate_char_width(metrics),
                                  pango_font_metrics_get_approximate_digit_width(metrics));
  pango_font_metrics_unref(metrics);
  PangoLayout *layout = gtk_widget_create_pango_layout(label, _("Fit"));
  int fit_width = 0;
  pango_layout_get_size(layout, &fit_width, nullptr);
  g_object_unref(layout);
  const int chars = char_width > 0 ? (fit_width + char_width - 1) / char_width : 0;
  gtk_label_set_width_chars(GTK_LABEL(label), std::max(ZOOM_LABEL_CHARS, chars));
}
#endif

}  // namespace

WindowPlacement window_placement_fit(WindowPlacement placement, int natural_width,
                                     int natural_height, int min_width, int min_height,
                                     const ScreenRect &work) {
  if (!placement.resize) {
    placement.width = natural_width;
    placement.height = natural_height;
    placement.resize = true;
  }
  if (work.width <= 0 || work.height <= 0) return placement;
  placement.width = fit_side(placement.width, min_width, work.width - FRAME_ROOM_WIDTH);
  placement.height = fit_side(placement.height, min_height, work.height - FRAME_ROOM_HEIGHT);
  if (!placement.center) {
    placement.x = fit_start(placement.x, placement.width + FRAME_ROOM_WIDTH, work.x, work.width);
    placement.y = fit_start(placement.y, placement.height + FRAME_ROOM_HEIGHT, work.y, work.height);
  }
  return placement;
}

WindowPlacement window_placement_from_record(EffectParams *params) {
  if (params->window_x < 0) params->window_x = 0;
  if (params->window_y < 0) params->window_y = 0;
  WindowPlacement placement;
  placement.resize = params->window_width > 100 && params->window_height > 100;
  placement.width = params->window_width;
  placement.height = params->window_height;
  placement.center = params->window_x == 0 && params->window_y == 0;
  placement.x = params->window_x;
  placement.y = params->window_y;
  return placement;
}

GtkWidget *dialog_build(EffectParams *params) {
  dialog_widgets = DialogWidgets{};
  responses_reset();
  controls_set_live_record(params);
  current_unit_set(params->area_unit);
  DialogWidgets &w = dialog_widgets;

  GtkWidget *dialog = gtk_dialog_new();
  w.dialog = dialog;
  w.topmost_check = gtk_check_button_new_with_label(_("Topmost"));

  gtk_window_set_title(GTK_WINDOW(dialog), "Zipstroke Version " ZIPSTROKE_VERSION);
  std::unique_ptr<GdkPixbuf, FreeWith<g_object_unref>> icon(window_icon_new());
  if (icon) gtk_window_set_icon(GTK_WINDOW(dialog), icon.get());
  gtk_window_set_role(GTK_WINDOW(dialog), "zipstroke");
  // The preview takes whatever the window gains.
  gtk_window_set_resizable(GTK_WINDOW(dialog), TRUE);
  compat_dialog_remove_separator(dialog);

  build_action_area(dialog, params);
  g_signal_connect(dialog, "response", G_CALLBACK(on_dialog_response), params);
  g_signal_connect(dialog, "destroy", G_CALLBACK(on_dialog_destroy), nullptr);

  GtkWidget *hbox = compat_box_new(GTK_ORIENTATION_HORIZONTAL, 2);
  gtk_container_set_border_width(GTK_CONTAINER(hbox), 2);
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), hbox);

  w.preview_area = preview_new(params, apply_guide_edits);
  gtk_box_pack_start(GTK_BOX(hbox), w.preview_area, TRUE, TRUE, 0);
  // It opens at its full size where the screen has room for it, and gives
  // way down to this on a smaller screen.
  gtk_widget_set_size_request(w.preview_area, PREVIEW_MIN_SIDE, PREVIEW_MIN_SIDE);

  GtkWidget *zoom_box = compat_box_new(GTK_ORIENTATION_VERTICAL, 2);
  w.zoom_in_button = gtk_button_new_with_label("+");
  w.zoom_out_button = gtk_button_new_with_label("-");
  for (GtkWidget *button : {w.zoom_in_button, w.zoom_out_button}) {
    gtk_widget_set_size_request(button, 24, 24);
    gtk_box_pack_start(GTK_BOX(zoom_box), button, FALSE, FALSE, 0);
    g_signal_connect(button, "clicked", G_CALLBACK(on_zoom_clicked), params);
  }
  w.zoom_label = gtk_label_new("");
  // As wide for "Fit" as for "400 %": the preview beside it keeps its width.
  gtk_label_set_width_chars(GTK_LABEL(w.zoom_label), ZOOM_LABEL_CHARS);
#if !ZS_GTK3
  g_signal_connect(w.zoom_label, "style-set", G_CALLBACK(widen_zoom_label), nullptr);
#endif
  gtk_box_pack_start(GTK_BOX(zoom_box), w.zoom_label, FALSE, FALSE, 0);
  preview_attach_zoom_buttons(w.zoom_in_button, w.zoom_out_button, w.zoom_label);
  gtk_box_pack_start(GTK_BOX(hbox), zoom_box, FALSE, FALSE, 0);
  compat_widget_keep_width(zoom_box);

  w.main_notebook = gtk_notebook_new();
  gtk_notebook_set_show_tabs(GTK_NOTEBOOK(w.main_notebook), TRUE);
  gtk_notebook_set_show_border(GTK_NOTEBOOK(w.main_notebook), TRUE);
  gtk_box_pack_start(GTK_BOX(hbox), w.main_notebook, FALSE, FALSE, 4);
  compat_widget_keep_width(w.main_notebook);

  GtkWidget *options = compat_box_new(GTK_ORIENTATION_VERTICAL, 2);
  gtk_container_set_border_width(GTK_CONTAINER(options), 4);
  // The page scrolls when the window is lower than its controls.
  w.options_scroller = compat_vertical_scroller_new(options);
  gtk_notebook_append_page(GTK_NOTEBOOK(w.main_notebook), w.options_scroller,
                           gtk_label_new(_("Options")));

  GtkWidget *area_frame = compat_section_frame_new(_("Area Option"));
  gtk_box_pack_start(GTK_BOX(options), area_frame, FALSE, TRUE, 4);
  GtkWidget *area_box = compat_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(area_frame), area_box);
  gtk_box_pack_start(GTK_BOX(area_box), build_type_row(params), FALSE, FALSE, 4);
  gtk_box_pack_start(GTK_BOX(area_box), compat_hseparator_new(), FALSE, FALSE, 4);
  w.area_notebook = gtk_notebook_new();
  gtk_notebook_set_show_tabs(GTK_NOTEBOOK(w.area_notebook), FALSE);
  gtk_notebook_set_show_border(GTK_NOTEBOOK(w.area_notebook), FALSE);
  gtk_box_pack_start(GTK_BOX(area_box), w.area_notebook, FALSE, FALSE, 0);
  gtk_notebook_append_page(GTK_NOTEBOOK(w.area_notebook), area_page_new(build_radiation_page(params)),
                           gtk_label_new(_("Radiation")));
  gtk_notebook_append_page(GTK_NOTEBOOK(w.area_notebook), area_page_new(build_parallel_page(params)),
                           gtk_label_new(_("Parallel")));
  gtk_notebook_append_page(GTK_NOTEBOOK(w.area_notebook), area_page_new(path_page_new(params)),
                           gtk_label_new(_("Path")));
  g_signal_connect(w.area_notebook, "switch-page", G_CALLBACK(on_area_page_switch), nullptr);

  GtkWidget *line_frame = compat_section_frame_new(_("Line Option"));
  gtk_box_pack_start(GTK_BOX(options), line_frame, FALSE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(line_frame), build_line_table(params));

  gtk_notebook_append_page(GTK_NOTEBOOK(w.main_notebook), preset_page_new(params),
                           gtk_label_new(_("Preset")));
  // One line under everything, saying what the last response did.
  w.status_label = gtk_label_new("");
  compat_label_set_xalign(w.status_label, 0.0f);
  gtk_label_set_ellipsize(GTK_LABEL(w.status_label), PANGO_ELLIPSIZE_END);
  compat_label_set_padding(w.status_label, 6, 2);
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), w.status_label,
                     FALSE, FALSE, 0);

  tooltips_apply(dialog);
  responses_update_edit_layer(params);
  path_controls_update_from_path(params);
  g_signal_connect(dialog, "focus-in-event", G_CALLBACK(on_dialog_focus_in), params);

  place_window(dialog, params);
  gtk_widget_show_all(dialog);
  // A notebook switches only to pages that are shown.
  if (area_type_known(params->area_type))
    gtk_notebook_set_current_page(GTK_NOTEBOOK(w.area_notebook), params->area_type);
  show_area_page(w.area_notebook, gtk_notebook_get_current_page(GTK_NOTEBOOK(w.area_notebook)));
  gtk_window_set_keep_above(GTK_WINDOW(dialog), params->topmost != 0);
  return dialog;
}
