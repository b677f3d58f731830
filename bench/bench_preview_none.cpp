// Builds without the GTK user interface have no preview to measure.
#include "bench_registry.h"
#include "benchmarks.h"

void register_preview_benchmarks() {
  target_pending("preview_picture", 1.5, "built without the plug-in user interface");
  target_pending("preview_picture_at_100pct", 1.5, "built without the plug-in user interface");
  target_pending("preview_picture_at_400pct", 1.5, "built without the plug-in user interface");
}
