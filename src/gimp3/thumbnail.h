// The work-area picture from the thumbnail bytes GIMP 3 sends: grey, grey +
// alpha, RGB or RGBA rows without gaps, made into an RGB pixbuf in which
// transparency shows over GIMP's large checkerboard.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

// A new RGB pixbuf of width x height (caller unrefs), or nullptr when the
// size is not positive, bpp is not 1 to 4 or fewer than width * height * bpp
// bytes are given.
GdkPixbuf *thumbnail_to_pixbuf(const guint8 *data, gsize size, int width, int height, int bpp);
