// The Path renderer: streak lines along a band that follows a curved spine.
//
// The band runs along the spine, an open polyline, with a width that changes
// linearly along it from path_in_range at its start to path_out_range at its
// end.  Lines are stepped across the band exactly as the parallel renderer
// steps them across its in side; the line at s keeps the fraction s / ir
// across the band all along the spine, and along that centre line it has the
// parallel line's shape, measured along its own length.  A spine of two
// points draws the lines of the parallel band between them.
//
// Tight bends: a line's centre is the spine offset by its distance, the
// offset segments meeting at their crossing on the inside of a bend and
// joined round on the outside.  On the inside, a line keeps no more distance
// from the spine than the bend's radius (what the segments on either side of
// the bend can give up for the crossing): where the spine bends more tightly
// than half the band's width, the inner lines that would lie beyond the
// bend's centre pass through that centre instead of looping round it.
// Where the spine bends that tightly over a longer stretch, the offsets of
// the bend's two flanks cross: the loop between is cut out and the line
// turns at the crossing.  A point that does not move on along the spine's
// direction at its place is dropped, so no line runs backwards.
#pragma once

#include <cairo.h>

#include <vector>

#include "effect_params.h"
#include "image_services.h"

struct PathPoint {
  double x, y;
};

struct PathGeometry {
  std::vector<PathPoint> spine;  // work-area pixels, without repeated points
  double ir, orr;                // widths at the start and the end
};

// The spine's x values and both widths convert with the horizontal
// resolution of `res`, its y values with the vertical one.  Repeated points are
// dropped; a spine that cannot be used leaves `spine` with fewer than 2 points.
PathGeometry path_geometry_in_pixels(const EffectParams *params, const Resolution &res);

// The centre line of the line at fraction f (0 .. 1) across the band, before
// any shape is given to it: the offset spine without its folds.
std::vector<PathPoint> path_centre_line(const PathGeometry &geometry, double f);

// Draws every line of area type Path onto cr in work-area pixels; leaves the
// context's state as it found it.
void path_draw_line(cairo_t *cr, const EffectParams *params, const Resolution &res);
