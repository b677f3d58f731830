// What the plug-in's procedure says about itself in the procedure browser;
// both hosts register it as the help of plugin-zipstroke.
#pragma once

#include <glib/gi18n-lib.h>

constexpr const char *PROCEDURE_HELP = N_(
    "Draws streak lines into a new layer over the selection's bounding box, or the whole "
    "image: focus lines radiating from a centre between an inner and an outer ellipse, "
    "parallel speed lines across a band between two edges, or speed lines along a band that "
    "follows a curved path.  The lines taper at their ends and "
    "may be cut into blocks, waved and varied at random.  The dialog previews the lines, with "
    "handles to move the centre, the ellipses and the band, and boundaries that can be drawn "
    "by hand; presets keep settings, and the layer keeps its own, so that Edit Layer can "
    "change and redraw it later.");
