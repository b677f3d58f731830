// References to every control of the main dialog, set once while it is built.
#pragma once

#include <gtk/gtk.h>

enum DialogResponse {
  RESPONSE_CLOSE = 0,
  RESPONSE_CREATE = 1,
  RESPONSE_EDIT_LAYER = 2,
  RESPONSE_RESET = 3,
  RESPONSE_TOPMOST = 4,
};

struct FreehandRow {
  GtkWidget *check;
  GtkWidget *edit_button;
  GtkWidget *reset_button;
};

struct DialogWidgets {
  GtkWidget *dialog;
  GtkWidget *topmost_check;
  GtkWidget *edit_layer_button;
  GtkWidget *preview_area;
  GtkWidget *zoom_in_button;
  GtkWidget *zoom_out_button;
  GtkWidget *zoom_label;  // "Fit", "200 %"...
  GtkWidget *main_notebook;
  GtkWidget *options_scroller;  // the "Options" page, scrolling when the window is low
  GtkWidget *status_label;      // one line on what the last response did

  GtkWidget *radiation_radio;
  GtkWidget *parallel_radio;
  GtkWidget *path_radio;
  GtkWidget *unit_combo;
  GtkWidget *area_notebook;

  GtkWidget *radiation_x_spin;
  GtkWidget *radiation_y_spin;
  GtkWidget *radiation_oblateness_spin;
  GtkWidget *radiation_in_radius_spin;
  GtkWidget *radiation_out_radius_spin;

  GtkWidget *parallel_in_x_spin;
  GtkWidget *parallel_in_Y_spin;
  GtkWidget *parallel_in_range_spin;
  GtkWidget *parallel_out_x_spin;
  GtkWidget *parallel_out_Y_spin;
  GtkWidget *parallel_out_range_spin;

  // Rows in the order of the edit targets 1..6: radiation in, radiation out,
  // parallel in, parallel out, path in, path out.
  FreehandRow radiation_in_freehand;
  FreehandRow radiation_out_freehand;
  FreehandRow parallel_in_freehand;
  FreehandRow parallel_out_freehand;
  FreehandRow path_in_freehand;
  FreehandRow path_out_freehand;
  GtkWidget *draw_spine_toggle;  // the Path spine drawn on the preview

  GtkWidget *color_button;
  GtkWidget *antialias_combo;
  GtkWidget *pitch_type_combo;
  GtkWidget *wave_type_combo;

  GtkWidget *line_pitch_spin;
  GtkWidget *line_pitch_rand_spin;
  GtkWidget *line_pitch_rand_seed_spin;
  GtkWidget *line_block_on_pitch_spin;
  GtkWidget *line_block_on_pitch_rand_spin;
  GtkWidget *line_blick_on_pitch_rand_seed_spin;
  GtkWidget *line_block_off_pitch_spin;
  GtkWidget *line_block_off_pitch_rand_spin;
  GtkWidget *line_blick_off_pitch_rand_seed_spin;
  GtkWidget *line_wave_npoint_spin;
  GtkWidget *line_wave_depth_spin;
  GtkWidget *line_wave_depth_rand_spin;
  GtkWidget *line_wave_depth_rand_seed_spin;
  GtkWidget *line_width_spin;
  GtkWidget *line_width_rand_spin;
  GtkWidget *line_width_rand_seed_spin;
  GtkWidget *line_in_margin_spin;
  GtkWidget *line_in_margin_rand_spin;
  GtkWidget *line_in_margin_rand_seed_spin;
  GtkWidget *line_in_length_spin;
  GtkWidget *line_in_length_rand_spin;
  GtkWidget *line_in_length_rand_seed_spin;
  GtkWidget *line_out_margin_spin;
  GtkWidget *line_out_margin_rand_spin;
  GtkWidget *line_out_margin_rand_seed_spin;
  GtkWidget *line_out_length_spin;
  GtkWidget *line_out_length_rand_spin;
  GtkWidget *line_out_length_rand_seed_spin;

  GtkWidget *preset_frame;
  GtkWidget *preset_scroller;
  GtkListStore *preset_store;
  GtkWidget *preset_view;
  GtkWidget *preset_load_button;
  GtkWidget *preset_save_button;
  GtkWidget *preset_delete_button;
  GtkWidget *preset_update_button;
  GtkWidget *preset_notice;  // the line about presets copied from an older GIMP, or nullptr
};

// The one registry, filled by the dialog while it is built.
extern DialogWidgets dialog_widgets;

// Where the registry keeps the spin button of the field named `key` (a
// SPIN_RANGES key), or nullptr for another key.
GtkWidget **dialog_spin_slot(const char *key);

// The spin button that edits the field named `key` (a SPIN_RANGES key), or nullptr.
GtkWidget *dialog_spin_for_key(const char *key);
