// The preview's lines, held as coverage in device pixels of the view: drawn
// (on all cores, by the banded layer output under the view's transform) only
// when what they depend on changes — the record's line and area fields, the
// image's resolution, the view's transform and size — and laid on in the
// line colour by every expose.  A guide, a picture or a colour change, a
// window uncovered, draw no line.
#pragma once

#include <cairo.h>

#include "effect_params.h"

// Lays the lines of params over cr, which carries the preview transform.  The
// view is the device rectangle of w x h pixels at (x, y) (the widget's place
// in cr's device space).
void line_cache_draw(cairo_t *cr, const EffectParams *params, double x, double y, int w, int h);

// Drops the coverage held (the widget or its picture is gone).
void line_cache_release();

// How often the coverage has been drawn since the program started.
long line_cache_renders();
