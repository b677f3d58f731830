#include "layer_output_text.h"

#include <glib/gi18n-lib.h>

const char *layer_output_failure_text(BandStatus status) {
  switch (status) {
    case BandStatus::Done: return nullptr;
    case BandStatus::NoMemory: return _("Zipstroke could not draw the layer: not enough memory.");
    case BandStatus::Stopped:
      return _("Zipstroke could not draw the layer: the image or the layer was closed.");
    case BandStatus::BadSize: return _("Zipstroke could not draw the layer: the work area is empty.");
  }
  return nullptr;
}

gchar *layer_locked_text(bool editing, const char *locked) {
  return g_strdup_printf(
      editing ? _("Zipstroke could not redraw the layer: the contents of \"%s\" are locked. "
                  "Nothing was changed.")
              : _("Zipstroke could not add its layer: the contents of the layer group \"%s\" "
                  "are locked. Nothing was changed."),
      locked ? locked : "");
}
