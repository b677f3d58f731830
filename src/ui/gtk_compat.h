// The few places where GTK 2 and GTK 3 differ for the dialog and the preview,
// each behind one small function, so that the dialog's own files hold one copy
// of their logic.  Under GTK 3 none of these uses deprecated API.
#pragma once

#include <gtk/gtk.h>

#if GTK_CHECK_VERSION(3, 0, 0)
#define ZS_GTK3 1
#else
#define ZS_GTK3 0
#endif

// A box of children side by side (horizontal) or stacked (vertical), never homogeneous.
inline GtkWidget *compat_box_new(GtkOrientation orientation, int spacing) {
#if ZS_GTK3
  return gtk_box_new(orientation, spacing);
#else
  return orientation == GTK_ORIENTATION_HORIZONTAL ? gtk_hbox_new(FALSE, spacing)
                                                   : gtk_vbox_new(FALSE, spacing);
#endif
}

inline GtkWidget *compat_hseparator_new() {
#if ZS_GTK3
  return gtk_separator_new(GTK_ORIENTATION_HORIZONTAL);
#else
  return gtk_hseparator_new();
#endif
}

// Grid layout: GtkTable under GTK 2, GtkGrid under GTK 3.  A child without
// CELL_FILL keeps its natural size, centred in its cell; CELL_EXPAND gives it a
// share of spare space; the padding lies on both sides of the child.
enum CellOptions : unsigned { CELL_NONE = 0, CELL_FILL = 1, CELL_EXPAND = 2 };

inline GtkWidget *compat_grid_new(int rows, int columns) {
#if ZS_GTK3
  (void)rows;
  (void)columns;
  return gtk_grid_new();
#else
  return gtk_table_new(rows, columns, FALSE);
#endif
}

inline void compat_grid_attach(GtkWidget *grid, GtkWidget *child, int left, int right, int top,
                               int bottom, unsigned x_options, unsigned y_options, int x_pad,
                               int y_pad) {
#if ZS_GTK3
  gtk_widget_set_halign(child, x_options & CELL_FILL ? GTK_ALIGN_FILL : GTK_ALIGN_CENTER);
  gtk_widget_set_valign(child, y_options & CELL_FILL ? GTK_ALIGN_FILL : GTK_ALIGN_CENTER);
  gtk_widget_set_hexpand(child, (x_options & CELL_EXPAND) != 0);
  gtk_widget_set_vexpand(child, (y_options & CELL_EXPAND) != 0);
  gtk_widget_set_margin_start(child, x_pad);
  gtk_widget_set_margin_end(child, x_pad);
  gtk_widget_set_margin_top(child, y_pad);
  gtk_widget_set_margin_bottom(child, y_pad);
  gtk_grid_attach(GTK_GRID(grid), child, left, top, right - left, bottom - top);
#else
  auto options = [](unsigned o) {
    return static_cast<GtkAttachOptions>((o & CELL_FILL ? GTK_FILL : 0) |
                                         (o & CELL_EXPAND ? GTK_EXPAND : 0));
  };
  gtk_table_attach(GTK_TABLE(grid), child, left, right, top, bottom, options(x_options),
                   options(y_options), x_pad, y_pad);
#endif
}

// Places a label's text at `x` (0 left, 1 right) of its space, vertically centred.
inline void compat_label_set_xalign(GtkWidget *label, float x) {
#if ZS_GTK3
  gtk_label_set_xalign(GTK_LABEL(label), x);
  gtk_label_set_yalign(GTK_LABEL(label), 0.5f);
#else
  gtk_misc_set_alignment(GTK_MISC(label), x, 0.5f);
#endif
}

// No line between a dialog's content and its buttons (GTK 3 never draws one).
inline void compat_dialog_remove_separator(GtkWidget *dialog) {
#if ZS_GTK3
  (void)dialog;
#else
  gtk_dialog_set_has_separator(GTK_DIALOG(dialog), FALSE);
#endif
}

// What draws a widget: a context whose origin is the widget's top-left
// corner, clipped to the part that needs drawing.
using CompatDrawFunc = void (*)(GtkWidget *widget, cairo_t *cr, gpointer data);

namespace compat_detail {
struct DrawClosure {
  CompatDrawFunc func;
  gpointer data;
};
#if ZS_GTK3
inline gboolean on_draw(GtkWidget *widget, cairo_t *cr, gpointer closure) {
  auto *c = static_cast<DrawClosure *>(closure);
  c->func(widget, cr, c->data);
  return FALSE;
}
#else
inline gboolean on_expose(GtkWidget *widget, GdkEventExpose *event, gpointer closure) {
  auto *c = static_cast<DrawClosure *>(closure);
  cairo_t *cr = gdk_cairo_create(event->window);
  gdk_cairo_region(cr, event->region);
  cairo_clip(cr);
  c->func(widget, cr, c->data);
  cairo_destroy(cr);
  return FALSE;
}
#endif
inline void free_closure(gpointer closure, GClosure *) { delete static_cast<DrawClosure *>(closure); }
}  // namespace compat_detail

// Connects func to the widget's "expose-event" (GTK 2) or "draw" (GTK 3) signal.
inline void compat_connect_draw(GtkWidget *widget, CompatDrawFunc func, gpointer data) {
  auto *closure = new compat_detail::DrawClosure{func, data};
#if ZS_GTK3
  g_signal_connect_data(widget, "draw", G_CALLBACK(compat_detail::on_draw), closure,
                        compat_detail::free_closure, GConnectFlags(0));
#else
  g_signal_connect_data(widget, "expose-event", G_CALLBACK(compat_detail::on_expose), closure,
                        compat_detail::free_closure, GConnectFlags(0));
#endif
}
