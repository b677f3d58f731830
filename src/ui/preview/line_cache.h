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

// A drag of a handle that moves every line alike: the radial centre, the
// parallel band.  Redrawing every line at each motion is too slow for a dense
// effect, so while the pointer moves the lines are the coverage drawn at the
// press with room around the view, shifted by the move rounded to whole
// device pixels (so within half a pixel of their place, and exactly the same
// lines); once the pointer rests, and after the release, they are drawn anew
// exactly as without a drag.
enum class LineDrag {
  None,     // no such drag: every expose shows the lines exactly
  Resting,  // pressed, or the pointer rests: exact, with the roomy coverage made ready
  Moving,   // the pointer moves: the roomy coverage, shifted
};
void line_cache_set_drag(LineDrag state);
LineDrag line_cache_drag();

// How long the lines of the view last took to draw, in ms.
double line_cache_last_render_ms();

// Drops the coverage held (the widget or its picture is gone).
void line_cache_release();

// How often the coverage has been drawn since the program started.
long line_cache_renders();
