#include "tooltips.h"

#include <glib/gi18n-lib.h>

#include <cstring>

#include "dialog_widgets.h"

namespace {

struct KeyTooltip {
  const char *key;
  const char *text;
};

// Lengths are shown in the unit chosen beside "Unit:"; the sentence saying
// so is part of each text, so that translators see it whole.
constexpr KeyTooltip KEY_TOOLTIPS[] = {
    {"line_pitch", N_("Distance between neighbouring lines, in the chosen unit (at the inner "
                      "or outer end, as Type says).")},
    {"line_pitch_rand", N_("How much each gap between lines varies, in percent of the pitch.")},
    {"line_pitch_rand_seed", N_("Seed of the random gaps (a whole number without unit): the "
                                "same seed gives the same pattern.")},
    {"line_block_on_pitch", N_("Length of each drawn piece when lines are cut into blocks, in "
                               "the chosen unit; 0 draws whole lines.")},
    {"line_block_on_pitch_rand", N_("How much each drawn piece varies, in percent of its "
                                    "length.")},
    {"line_blick_on_pitch_rand_seed", N_("Seed of the random piece lengths (a whole number "
                                         "without unit): the same seed gives the same pattern.")},
    {"line_block_off_pitch", N_("Length of each gap when lines are cut into blocks, in the "
                                "chosen unit; 0 leaves no gaps.")},
    {"line_block_off_pitch_rand", N_("How much each gap between pieces varies, in percent of "
                                     "its length.")},
    {"line_blick_off_pitch_rand_seed", N_("Seed of the random gap lengths (a whole number "
                                          "without unit): the same seed gives the same "
                                          "pattern.")},
    {"line_wave_npoint", N_("Number of wave points along each line, without unit (a "
                            "multiple of 4); 0 draws straight lines.")},
    {"line_wave_depth", N_("How far the waves swing to each side, in the chosen unit.")},
    {"line_wave_depth_rand", N_("How much the wave depth varies from line to line, in percent "
                                "of the depth.")},
    {"line_wave_depth_rand_seed", N_("Seed of the random wave depths (a whole number without "
                                     "unit): the same seed gives the same pattern.")},
    {"line_width", N_("Width of each line at its thickest, in the chosen unit.")},
    {"line_width_rand", N_("How much the width varies from line to line, in percent of the "
                           "width.")},
    {"line_width_rand_seed", N_("Seed of the random widths (a whole number without unit): the "
                                "same seed gives the same pattern.")},
    {"line_in_margin", N_("Gap between the inner boundary and the inner tip of each line, in "
                          "the chosen unit.")},
    {"line_in_margin_rand", N_("How much the inner margin varies from line to line, in percent "
                               "of the margin.")},
    {"line_in_margin_rand_seed", N_("Seed of the random inner margins (a whole number without "
                                    "unit): the same seed gives the same pattern.")},
    {"line_in_length", N_("Length of the taper at the inner end of each line, in the chosen "
                          "unit.")},
    {"line_in_length_rand", N_("How much the inner taper varies from line to line, in percent "
                               "of its length.")},
    {"line_in_length_rand_seed", N_("Seed of the random inner tapers (a whole number without "
                                    "unit): the same seed gives the same pattern.")},
    {"line_out_margin", N_("Gap between the outer boundary and the outer tip of each line, in "
                           "the chosen unit.")},
    {"line_out_margin_rand", N_("How much the outer margin varies from line to line, in percent "
                                "of the margin.")},
    {"line_out_margin_rand_seed", N_("Seed of the random outer margins (a whole number without "
                                     "unit): the same seed gives the same pattern.")},
    {"line_out_length", N_("Length of the taper at the outer end of each line, in the chosen "
                           "unit; 0 draws no taper.")},
    {"line_out_length_rand", N_("How much the outer taper varies from line to line, in percent "
                                "of its length.")},
    {"line_out_length_rand_seed", N_("Seed of the random outer tapers (a whole number without "
                                     "unit): the same seed gives the same pattern.")},

    {"radiation_x", N_("Horizontal position of the centre the lines radiate from, from the "
                       "left edge of the work area, in the chosen unit.")},
    {"radiation_y", N_("Vertical position of the centre the lines radiate from, from the top "
                       "edge of the work area, in the chosen unit.")},
    {"radiation_in_radius", N_("Radius of the inner ellipse, where the lines start, in the "
                               "chosen unit.")},
    {"radiation_out_radius", N_("Radius of the outer ellipse, where the lines end, in the "
                                "chosen unit.")},
    {"radiation_oblateness", N_("How much the ellipses are squashed, without unit: 0 draws "
                                "circles, values up to 0.95 flatten them, values down to -4 "
                                "stretch them the other way.")},

    {"parallel_in_x", N_("Horizontal position of the middle of the band's start edge, from the "
                         "left edge of the work area, in the chosen unit.")},
    {"parallel_in_Y", N_("Vertical position of the middle of the band's start edge, from the "
                         "top edge of the work area, in the chosen unit.")},
    {"parallel_in_range", N_("Width of the band at its start edge, across the lines, in the "
                             "chosen unit.")},
    {"parallel_out_x", N_("Horizontal position of the middle of the band's end edge, from the "
                          "left edge of the work area, in the chosen unit.")},
    {"parallel_out_Y", N_("Vertical position of the middle of the band's end edge, from the "
                          "top edge of the work area, in the chosen unit.")},
    {"parallel_out_range", N_("Width of the band at its end edge, across the lines, in the "
                              "chosen unit.")},

    {"line_antialias", N_("Smoothing of the line edges: None draws hard edges, Best the "
                          "smoothest.")},
    {"line_pitch_type", N_("Where the pitch is measured: IN at the inner end of the lines, OUT "
                           "at the outer end.")},
    {"line_wave_type", N_("Shape of the waves along each line.")},
    {"area_unit", N_("Unit of every length and position in this dialog: pixels, or a physical "
                     "unit at the image's resolution.")},
};

void set_tip(GtkWidget *widget, const char *text) {
  if (widget) gtk_widget_set_tooltip_text(widget, _(text));
}

void set_row_tips(const FreehandRow &row, const char *check, const char *edit) {
  set_tip(row.check, check);
  set_tip(row.edit_button, edit);
  set_tip(row.reset_button, N_("Forget the drawn outline of this boundary: it becomes the plain "
                               "ellipse or straight edge again."));
}

}  // namespace

const char *tooltip_for_key(const char *key) {
  for (const KeyTooltip &tip : KEY_TOOLTIPS)
    if (std::strcmp(tip.key, key) == 0) return tip.text;
  return nullptr;
}

void tooltips_apply(GtkWidget *dialog) {
  const DialogWidgets &w = dialog_widgets;
  for (const KeyTooltip &tip : KEY_TOOLTIPS) {
    GtkWidget *spin = dialog_spin_for_key(tip.key);
    if (spin) set_tip(spin, tip.text);
  }
  set_tip(w.antialias_combo, tooltip_for_key("line_antialias"));
  set_tip(w.pitch_type_combo, tooltip_for_key("line_pitch_type"));
  set_tip(w.wave_type_combo, tooltip_for_key("line_wave_type"));
  set_tip(w.unit_combo, tooltip_for_key("area_unit"));
  set_tip(w.color_button, N_("Colour of the lines; click to choose another."));
  set_tip(w.radiation_radio, N_("Focus lines radiating from a centre, between two ellipses."));
  set_tip(w.parallel_radio, N_("Parallel speed lines across a band between two edges."));
  set_tip(w.path_radio, N_("Speed lines that follow a curve: a band along a path."));

  set_row_tips(w.radiation_in_freehand, N_("Use the drawn outline instead of the inner ellipse."),
               N_("Draw the inner boundary by hand in the preview."));
  set_row_tips(w.radiation_out_freehand, N_("Use the drawn outline instead of the outer ellipse."),
               N_("Draw the outer boundary by hand in the preview."));
  set_row_tips(w.parallel_in_freehand, N_("Use the drawn outline instead of the straight start edge."),
               N_("Draw the start edge by hand in the preview."));
  set_row_tips(w.parallel_out_freehand, N_("Use the drawn outline instead of the straight end edge."),
               N_("Draw the end edge by hand in the preview."));
  set_row_tips(w.path_in_freehand, N_("Use the drawn outline instead of the spine's start."),
               N_("Draw where the lines start by hand in the preview."));
  set_row_tips(w.path_out_freehand, N_("Use the drawn outline instead of the spine's end."),
               N_("Draw where the lines end by hand in the preview."));
  set_tip(w.draw_spine_toggle, N_("While pressed, drawing in the preview makes a new spine."));

  // xgettext:no-c-format
  set_tip(w.zoom_in_button, N_("Zoom the preview in, up to 400 % of the image's pixels."));
  set_tip(w.zoom_out_button, N_("Zoom the preview out, down to the whole work area."));
  set_tip(w.preview_area, N_("Drag the handles to shape the area; Ctrl+wheel zooms."));
  set_tip(w.topmost_check, N_("Keep this dialog above the image windows."));

  set_tip(w.preset_view, N_("The saved presets; double-click one to load it."));
  set_tip(w.preset_load_button, N_("Load the selected preset into the dialog."));
  set_tip(w.preset_save_button, N_("Save the dialog's values as a new preset."));
  set_tip(w.preset_delete_button, N_("Delete the selected preset file."));
  set_tip(w.preset_update_button, N_("Read the preset folder again."));

  if (!dialog || !GTK_IS_DIALOG(dialog)) return;
  struct ResponseTip {
    int response;
    const char *text;
  };
  static const ResponseTip RESPONSE_TIPS[] = {
      {RESPONSE_EDIT_LAYER, N_("Load the settings kept by the active streak layer, to change "
                               "and redraw that layer.")},
      {RESPONSE_RESET, N_("Put every value back to the defaults for this work area.")},
  };
  for (const ResponseTip &tip : RESPONSE_TIPS)
    set_tip(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), tip.response), tip.text);
  tooltips_set_edit_mode(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), RESPONSE_CREATE),
                         gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), RESPONSE_CLOSE),
                         false);
}

void tooltips_set_edit_mode(GtkWidget *create, GtkWidget *close, bool editing) {
  if (editing) {
    set_tip(create, N_("Redraw the edited streak layer with these values."));
    set_tip(close, N_("Stop editing the streak layer and leave it as it was."));
  } else {
    set_tip(create, N_("Draw the lines into a new layer and close the dialog."));
    set_tip(close, N_("Close the dialog, keeping its values for the next run."));
  }
}
