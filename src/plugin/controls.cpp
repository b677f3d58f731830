#include "controls.h"

#include "dialog_widgets.h"

void sync_widgets_from_params(const EffectParams *) {}

void preview_queue_redraw() {
  if (dialog_widgets.preview_area) gtk_widget_queue_draw(dialog_widgets.preview_area);
}
