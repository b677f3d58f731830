#include "freehand.h"

GtkWidget *make_freehand_row(EffectParams *, FreehandRow *row) {
  row->check = gtk_check_button_new_with_label("FreeHand");
  row->edit_button = gtk_button_new_with_label("Edit Start");
  row->reset_button = gtk_button_new_with_label("Reset");
  GtkWidget *box = gtk_hbox_new(FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), row->check, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), row->edit_button, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), row->reset_button, FALSE, FALSE, 0);
  return box;
}
void freehand_set_edit_target(int) {}
void on_freehand_toggled(GtkToggleButton *, EffectParams *) {}
void on_freehand_edit_clicked(GtkButton *, EffectParams *) {}
void on_freehand_reset_clicked(GtkButton *, EffectParams *) {}
void freehand_capture_radial(EffectParams *, Point2, Point2) {}
void freehand_capture_parallel(EffectParams *, Point2, Point2) {}
