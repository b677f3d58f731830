// The preview widget's expose, drawn into an image in the program's own
// memory and handed to the window in one copy.  Drawn straight onto the
// window, every line was a separate request the X server filled itself;
// this way the server gets one picture per redraw, whatever the lines.
#pragma once

#include <cairo.h>

#include "effect_params.h"

// What the widget's draw handler does: the part of the view within cr's
// clip drawn by preview_draw_window into the frame, then copied onto cr
// (whose origin is the widget's top-left corner).
void window_frame_paint(cairo_t *cr, EffectParams *params);

// Drops the frame's memory (the widget is destroyed).
void window_frame_release();
