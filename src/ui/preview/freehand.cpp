#include "freehand.h"

#include <glib/gi18n-lib.h>

#include <array>

#include "gtk_compat.h"
#include "preview.h"

namespace {

std::array<FreehandRow *, 6> rows() {
  return {&dialog_widgets.radiation_in_freehand, &dialog_widgets.radiation_out_freehand,
          &dialog_widgets.parallel_in_freehand,  &dialog_widgets.parallel_out_freehand,
          &dialog_widgets.path_in_freehand,      &dialog_widgets.path_out_freehand};
}

// The outline of the row holding `widget` in the given member, FREEHAND_NONE for none.
FreehandTarget row_of(GtkWidget *widget, GtkWidget *FreehandRow::*member) {
  const auto all = rows();
  for (std::size_t i = 0; i < all.size(); ++i)
    if (widget != nullptr && all[i]->*member == widget) return static_cast<FreehandTarget>(i + 1);
  return FREEHAND_NONE;
}

void set_all_edit_labels_start() {
  for (FreehandRow *row : rows())
    if (row->edit_button) gtk_button_set_label(GTK_BUTTON(row->edit_button), _("Edit Start"));
}

}  // namespace

GtkWidget *make_freehand_row(EffectParams *params, FreehandRow *row) {
  GtkWidget *box = compat_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  row->check = gtk_check_button_new_with_label(_("FreeHand"));
  row->edit_button = gtk_button_new_with_label(_("Edit Start"));
  row->reset_button = gtk_button_new_with_label(_("Reset"));
  gtk_box_pack_start(GTK_BOX(box), row->check, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), row->edit_button, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), row->reset_button, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), gtk_label_new(""), TRUE, TRUE, 0);
  gtk_widget_set_sensitive(row->edit_button, FALSE);
  gtk_widget_set_sensitive(row->reset_button, FALSE);
  g_signal_connect(row->check, "toggled", G_CALLBACK(on_freehand_toggled), params);
  g_signal_connect(row->edit_button, "clicked", G_CALLBACK(on_freehand_edit_clicked), params);
  g_signal_connect(row->reset_button, "clicked", G_CALLBACK(on_freehand_reset_clicked), params);
  return box;
}

void freehand_set_edit_target(FreehandTarget target) {
  preview_set_freehand_target(target);
  // The spine's toggle shows whether the spine is what a stroke draws.
  GtkWidget *toggle = dialog_widgets.draw_spine_toggle;
  const gboolean drawing = target == FREEHAND_PATH_SPINE;
  if (toggle && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(toggle)) != drawing) {
    g_signal_handlers_block_by_func(toggle, reinterpret_cast<gpointer>(on_draw_spine_toggled),
                                    nullptr);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(toggle), drawing);
    g_signal_handlers_unblock_by_func(toggle, reinterpret_cast<gpointer>(on_draw_spine_toggled),
                                      nullptr);
  }
}

void on_draw_spine_toggled(GtkToggleButton *toggle, gpointer) {
  set_all_edit_labels_start();
  const bool on = gtk_toggle_button_get_active(toggle);
  freehand_set_edit_target(on ? FREEHAND_PATH_SPINE : FREEHAND_NONE);
  preview_queue_draw();
}

void on_freehand_toggled(GtkToggleButton *check, EffectParams *params) {
  const FreehandTarget row = row_of(GTK_WIDGET(check), &FreehandRow::check);
  FreehandOutline *outline = freehand_outline(params, row);
  if (outline == nullptr) return;
  const gboolean active = gtk_toggle_button_get_active(check);
  outline->active = active ? 1 : 0;
  const FreehandRow *widgets = rows()[row - 1];
  if (widgets->edit_button) gtk_widget_set_sensitive(widgets->edit_button, active);
  if (widgets->reset_button) gtk_widget_set_sensitive(widgets->reset_button, active);
  if (!active) {
    // Any outline's editing ends, so no edit button may still read "Edit Stop".
    freehand_set_edit_target(FREEHAND_NONE);
    set_all_edit_labels_start();
  }
  preview_queue_draw();
}

void on_freehand_edit_clicked(GtkButton *button, EffectParams *) {
  const FreehandTarget row = row_of(GTK_WIDGET(button), &FreehandRow::edit_button);
  const FreehandTarget previous = preview_freehand_target();
  set_all_edit_labels_start();
  freehand_set_edit_target(FREEHAND_NONE);
  if (row != FREEHAND_NONE && row != previous) {
    freehand_set_edit_target(row);
    gtk_button_set_label(button, _("Edit Stop"));
  }
  preview_queue_draw();
}

void on_freehand_reset_clicked(GtkButton *button, EffectParams *params) {
  freehand_reset_outline(params, row_of(GTK_WIDGET(button), &FreehandRow::reset_button));
  preview_queue_draw();
}
