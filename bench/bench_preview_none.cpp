// Builds without the GTK user interface have no preview to measure.
#include "bench_registry.h"
#include "benchmarks.h"

void register_preview_benchmarks() {
  target_pending("preview_picture", 1.5, "built without the plug-in user interface");
  target_pending("preview_picture_at_100pct", 1.5, "built without the plug-in user interface");
  target_pending("preview_picture_at_400pct", 1.5, "built without the plug-in user interface");
}

void register_preview_drag_benchmarks() {
  for (const char *name : {"preview_drag_frame_a4", "preview_drag_frame_a4_large",
                           "preview_drag_frame_dense", "preview_zoom_step"})
    target_pending(name, 1.0, "built without the plug-in user interface");
}
