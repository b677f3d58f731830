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
