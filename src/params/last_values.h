// The record kept by GIMP between runs.
#pragma once

#include <cstddef>

#include <glib.h>

#include "effect_params.h"
#include "image_services.h"

constexpr const char *LAST_VALUES_NAME = "plugin-zipstroke";

// The last values as text: the settings text presets use, plus a group of
// the run fields the next run needs (window size and place, topmost, the
// work area the geometry was made for, the colour with its alpha) and the
// format's version.  Outlines are kept whether active or not, except those
// still in their reset shape; a drawn one as the few samples a straight line
// between them gives back to within half a pixel of the work area (or of the
// radius, when that is larger).  The spine's points come back on a grid of
// half a pixel, each within a quarter of a pixel along x and along y.  A few
// kilobytes, drawn outlines and a long spine all.
constexpr const char *LAST_VALUES_GROUP = "zipstroke-run";
constexpr int LAST_VALUES_FORMAT = 1;

// The text of params' last values; the caller frees it with g_free.
char *last_values_to_text(const EffectParams *params, gsize *length);

enum class LastValuesFound {
  None,    // nothing usable: params keeps its defaults
  Text,    // last values text of a format this build reads
  Record   // the raw record of older builds (read once; the next store replaces it)
};

// Takes what GIMP kept from an earlier run over params, which holds this
// run's defaults and run fields: a last-values text, or the raw record older
// builds kept (last_values_restore).  Anything else (a damaged text, another
// format's, a block of another size) is ignored.  Keys the text lacks keep
// their defaults; values no control could show are handled as
// last_values_restore handles them.  The ids and edit_mode stay this run's.
LastValuesFound last_values_read(EffectParams *params, const void *data, std::size_t size);

// Takes a block kept from an earlier run over params, which holds this run's
// defaults.  A block of another size (another build's record) is ignored and
// false returned.  Values no control could show (non-finite numbers, combo
// values without an item, an unknown area type, a spine that is not 2 .. 1000
// finite points) keep the defaults,
// and an outline no reader can use (a count outside 0..1000, a non-finite
// sample, positions out of order) is reset to the default shape; any other
// outline is kept as stored, wherever its positions lie.  The run fields are
// taken as stored; the caller sets the ids and edit_mode of the current run
// afterwards.
bool last_values_restore(EffectParams *params, const void *block, std::size_t size);

// Fits the geometry of a restored record to the work area of this run: when
// the record was made for a work area of another size, the centre, the
// radii, the band's ends and ranges, and the lengths whose defaults come from
// the work area (line_in_margin, line_in_length) are scaled to `area`, the
// positions by the change of width and height, radii and those lengths by the
// change of the diagonal, a band's range across the band.  Lengths held in a
// unit other than pixels keep the pixels they stood for when the resolution
// differs.  The line options are left alone, and on a work area of the same
// size (and, for a unit other than pixels, the same resolution) nothing
// changes.  A record that does not know its work area is left as it is.
// Afterwards the record knows `area` and `resolution` as its own.  Every
// scaled value is clamped as its control would clamp it.
void last_values_fit(EffectParams *params, const WorkArea &area, const Resolution &resolution);
