// The radial renderer: streak lines between an inner and an outer ellipse.
#pragma once

#include <cairo.h>

#include "effect_params.h"

struct RadialGeometry {
  double cx, cy;  // centre, work-area pixels
  double r_in;    // vertical semi-axis of the inner ellipse
  double r_out;   // vertical semi-axis of the outer ellipse
  double ob;      // oblateness as stored
};

RadialGeometry radial_geometry_in_pixels(const EffectParams *params);

// Factor of a radiation outline for the polar angle phi (radians).
double freehand_radial_factor(const FreehandOutline *outline, double phi);

// Draws every line of area type Radiation onto cr in work-area pixels; leaves
// the context's state as it found it.
void radiation_draw_line(cairo_t *cr, const EffectParams *params);
