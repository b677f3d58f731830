// Putting a picture of (part of) the work area onto the screen at any zoom:
// averaged over each screen pixel where the picture is finer than the
// screen, so thin lines keep their weight instead of dropping out or turning
// solid, and sharp pixel blocks where it is coarser.
#pragma once

#include <cairo.h>

#include <cmath>

// A picture lying over the work area: its pixel (i, j) covers the work-area
// rectangle [x0 + i / per_x, x0 + (i + 1) / per_x) x [y0 + j / per_y, ...).
struct PlacedPicture {
  cairo_surface_t *surface;  // an image surface, RGB24 or ARGB32
  double x0, y0;
  double per_x, per_y;  // picture pixels per work-area pixel, > 0
  // Only the part within this work-area rectangle is drawn.
  double clip_x0 = -HUGE_VAL, clip_y0 = -HUGE_VAL, clip_x1 = HUGE_VAL, clip_y1 = HUGE_VAL;
};

// Adds `picture` (premultiplied, saturating) onto `target`, so that pictures
// of rectangles that do not overlap make up the whole without seams where
// they share a device pixel; onto a clear target it is the picture itself.
// `target` is an RGB24 or ARGB32 image surface whose pixel (0, 0) is device
// pixel (left, top), with `m` the work-area-to-device matrix.  Each device pixel gets the mean of the
// picture over the pixel's footprint along an axis where the picture has
// more than one pixel per device pixel, else the picture pixel under the
// pixel's centre; pixels the picture covers only in part get that share of
// it.  Returns false, drawing nothing, when m is not a plain positive scale
// and translation or a surface is not an image surface.
bool picture_composite(const PlacedPicture &picture, const cairo_matrix_t &m,
                       cairo_surface_t *target, int left, int top);
