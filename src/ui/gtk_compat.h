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

// Room around a label's text, left and right `x`, above and below `y`.
inline void compat_label_set_padding(GtkWidget *label, int x, int y) {
#if ZS_GTK3
  gtk_widget_set_margin_start(label, x);
  gtk_widget_set_margin_end(label, x);
  gtk_widget_set_margin_top(label, y);
  gtk_widget_set_margin_bottom(label, y);
#else
  gtk_misc_set_padding(GTK_MISC(label), x, y);
#endif
}

// No line between a dialog's content and its buttons (GTK 3 never draws one).
// Keeps a box child from taking a share of the room its box gains: GTK 3
// would otherwise pass the wish to grow up from the widgets inside it.
inline void compat_widget_keep_width(GtkWidget *widget) {
#if ZS_GTK3
  gtk_widget_set_hexpand(widget, FALSE);
#else
  (void)widget;
#endif
}

inline void compat_dialog_remove_separator(GtkWidget *dialog) {
#if ZS_GTK3
  (void)dialog;
#else
  gtk_dialog_set_has_separator(GTK_DIALOG(dialog), FALSE);
#endif
}

// The size a widget asks for at the least (its requisition under GTK 2, its
// minimum size under GTK 3), from the children that are shown.
inline void compat_widget_min_size(GtkWidget *widget, int *width, int *height) {
#if ZS_GTK3
  GtkRequisition minimum;
  gtk_widget_get_preferred_size(widget, &minimum, nullptr);
#else
  GtkRequisition minimum;
  gtk_widget_size_request(widget, &minimum);
#endif
  *width = minimum.width;
  *height = minimum.height;
}

// A scrolled window that scrolls `child` up and down only, without a frame
// of its own; the child's whole width is always shown.
inline GtkWidget *compat_vertical_scroller_new(GtkWidget *child) {
  GtkWidget *scroller = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER,
                                 GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_NONE);
#if ZS_GTK3
  gtk_container_add(GTK_CONTAINER(scroller), child);  // wrapped in a viewport by GTK
#else
  gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(scroller), child);
#endif
  GtkWidget *viewport = gtk_bin_get_child(GTK_BIN(scroller));
  if (GTK_IS_VIEWPORT(viewport)) gtk_viewport_set_shadow_type(GTK_VIEWPORT(viewport), GTK_SHADOW_NONE);
  return scroller;
}

// The work area (the monitor less panels and docks) of the monitor that holds
// the point (x, y) of the widget's screen, or of the one under the pointer
// when x is negative.
inline GdkRectangle compat_monitor_work_area(GtkWidget *widget, int x, int y) {
  GdkRectangle area{0, 0, 0, 0};
#if ZS_GTK3
  GdkDisplay *display = gtk_widget_get_display(widget);
  if (x < 0) {
    GdkDevice *pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
    if (pointer) gdk_device_get_position(pointer, nullptr, &x, &y);
  }
  GdkMonitor *monitor = gdk_display_get_monitor_at_point(display, x < 0 ? 0 : x, y < 0 ? 0 : y);
  if (monitor) gdk_monitor_get_workarea(monitor, &area);
#else
  GdkScreen *screen = gtk_widget_get_screen(widget);
  if (x < 0) gdk_display_get_pointer(gdk_screen_get_display(screen), nullptr, &x, &y, nullptr);
  const int monitor = gdk_screen_get_monitor_at_point(screen, x, y);
  gdk_screen_get_monitor_geometry(screen, monitor, &area);
  // GTK 2 knows no work area: the window manager's _NET_WORKAREA (of the
  // first desktop), where there is one, cuts the monitor down.
  GdkAtom type = GDK_NONE;
  gint format = 0, length = 0;
  guchar *data = nullptr;
  if (gdk_property_get(gdk_screen_get_root_window(screen),
                       gdk_atom_intern_static_string("_NET_WORKAREA"),
                       gdk_atom_intern_static_string("CARDINAL"), 0, 4, FALSE, &type, &format,
                       &length, &data) &&
      format == 32 && length >= 4 * static_cast<gint>(sizeof(long))) {
    const long *v = reinterpret_cast<const long *>(data);
    const GdkRectangle desk{int(v[0]), int(v[1]), int(v[2]), int(v[3])};
    GdkRectangle both;
    if (gdk_rectangle_intersect(&area, &desk, &both)) area = both;
  }
  g_free(data);
#endif
  return area;
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
