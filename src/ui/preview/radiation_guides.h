// Guides and drag handles of the radial area.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"

// The geometry the guides, the handles and the freehand capture share, in
// work-area pixels: centre, vertical semi-axes, oblateness and the horizontal
// semi-axes a_out = r_out / (1 - ob) and a_in = a_out - (r_out - r_in).
struct RadialShape {
  double cx, cy, r_in, r_out, ob, a_in, a_out;
  bool finite;  // every value is a finite number
};
RadialShape radial_shape(const EffectParams *params);

// Distance from the centre to the ellipse with semi-axes (a, r) in the
// direction phi.  An ellipse with a zero semi-axis is the segment along its
// other axis (0 for both axes zero).
double ellipse_distance(double a, double r, double phi);

void radiation_draw_guides(cairo_t *cr, EffectParams *params);
// The cursor over user point (x, y) of cr (a preview context): what a press there grabs.
GdkCursorType radiation_cursor_at(cairo_t *cr, const EffectParams *params, double x, double y);
gboolean radiation_handle_event(cairo_t *cr, GdkEvent *event, EffectParams *params);

// Signed distance, along the ray from (cx, cy) through (mx, my), from the
// ellipse of vertical semi-axis r and horizontal semi-axis r / (1 - ob) to the
// pointer; negative inside.  0 for a pointer exactly at the centre.
double ellipse_radial_offset(double r, double ob, double cx, double cy, double mx, double my);
