// The main dialog.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"

// Builds and shows the dialog for the run's record; every handler gets params.
// It may be called again once the previous dialog has been destroyed (the GUI
// tests build one dialog per test): every build starts from a cleared widget
// registry, creating mode and the unit of params->area_unit.
GtkWidget *dialog_build(EffectParams *params);

// Runs the dialog until Create or Close ends it or it is destroyed (the window
// manager's close), then destroys it: outside every handler of the dialog.
void dialog_run(GtkWidget *dialog);

// One interactive run on an image, after the host has restored the last
// values into params: the record is pointed at the image and drawable,
// creating mode, its geometry fitted to this work area, then the dialog runs
// to its end and the chosen response is carried out.
void dialog_run_on_image(EffectParams *params, int32_t image_id, int32_t drawable_id);

// A spin button with the given range, step and digits, showing value
// (clamped by the button; a non-finite value shows the minimum), right-aligned.
GtkWidget *make_spin_button(int digits, double min, double max, double step, double value);

// Where the dialog opens, from the record's window fields.  A negative
// window_x or window_y is set to 0 in the record.
struct WindowPlacement {
  bool resize;  // both stored sides exceed 100 pixels
  int width, height;
  bool center;  // stored position (0, 0): centred by the toolkit
  int x, y;
};
WindowPlacement window_placement_from_record(EffectParams *params);

// A rectangle of the screen, in pixels.
struct ScreenRect {
  int x, y, width, height;
};

// What a window manager may put around the dialog (a title bar, borders)
// and some room to spare, kept free when the dialog's size is chosen.
constexpr int FRAME_ROOM_WIDTH = 16;
constexpr int FRAME_ROOM_HEIGHT = 96;

// The placement on a monitor's work area: the size (the stored one, else the
// natural one) made no larger than the work area less the frame room, but
// never smaller than the minimum; a stored position moved just enough for
// the window and its frame room to lie on the work area.  The result always
// resizes.  A work area without size changes nothing but that.
WindowPlacement window_placement_fit(WindowPlacement placement, int natural_width,
                                     int natural_height, int min_width, int min_height,
                                     const ScreenRect &work);
