// The radial renderer: streak lines between an inner and an outer ellipse.
#pragma once

#include <cairo.h>

#include <vector>

#include "effect_params.h"
#include "image_services.h"

struct RadialGeometry {
  double cx, cy;  // centre, work-area pixels
  double r_in;    // vertical semi-axis of the inner ellipse
  double r_out;   // vertical semi-axis of the outer ellipse
  double ob;      // oblateness as stored
};

// cx and the radii convert with the horizontal resolution, cy with the
// vertical one.
RadialGeometry radial_geometry_in_pixels(const EffectParams *params, const Resolution &res);

// Factor of a radiation outline for the polar angle phi (radians): a step
// function of the angle; angles past the last sample wrap to sample 0, and an
// outline without samples gives 0.
double freehand_radial_factor(const FreehandOutline *outline, double phi);

// Parametric angles at which the n wave periods end: n equal periods on a
// circle (ob == 0), otherwise spread by arc length along the outer ellipse of
// horizontal semi-axis a_out and vertical semi-axis r_out, one quarter at a
// time.  Entries the quarters do not reach stay 0.
std::vector<double> radial_wave_nodes(int n, double a_out, double r_out, double ob);

// Draws every line of area type Radiation onto cr in work-area pixels; leaves
// the context's state as it found it.
void radiation_draw_line(cairo_t *cr, const EffectParams *params, const Resolution &res);
