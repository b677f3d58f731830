// What the GUI tests do differently under GTK 2 and GTK 3: the pointer that
// faked events come from, and reading back what a window shows.
#pragma once

#include <gtk/gtk.h>

#include "gtk_compat.h"

// The pointer device of the default display.
inline GdkDevice *test_pointer_device() {
#if ZS_GTK3
  return gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
#else
  return gdk_device_get_core_pointer();
#endif
}

// The pixels a window shows on the screen, as a new pixbuf (nullptr when it
// cannot be read).
inline GdkPixbuf *test_window_pixbuf(GdkWindow *window) {
#if ZS_GTK3
  return gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                    gdk_window_get_height(window));
#else
  gint width = 0, height = 0;
  gdk_drawable_get_size(window, &width, &height);
  return gdk_pixbuf_get_from_drawable(nullptr, window, nullptr, 0, 0, 0, 0, width, height);
#endif
}

// What the widget's own draw handler paints, as a new RGB24 image of the
// widget's size (nullptr when it cannot be had).  GTK 3 draws the widget onto
// the image; GTK 2 lets it paint its window on the screen and reads that back.
inline cairo_surface_t *test_widget_pixels(GtkWidget *widget) {
  GtkAllocation allocation;
  gtk_widget_get_allocation(widget, &allocation);
  if (allocation.width <= 0 || allocation.height <= 0) return nullptr;
  cairo_surface_t *surface =
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, allocation.width, allocation.height);
  cairo_t *cr = cairo_create(surface);
#if ZS_GTK3
  gtk_widget_draw(widget, cr);
#else
  GdkWindow *window = gtk_widget_get_window(widget);
  // The window is shown once the X server says so; wait for that, not for a time.
  while (window && !gdk_window_is_viewable(window)) gtk_main_iteration();
  GdkPixbuf *shown = nullptr;
  if (window) {
    gtk_widget_queue_draw(widget);
    gdk_window_process_updates(window, TRUE);
    gdk_flush();
    shown = test_window_pixbuf(window);
  }
  if (shown == nullptr) {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return nullptr;
  }
  gdk_cairo_set_source_pixbuf(cr, shown, 0, 0);
  cairo_paint(cr);
  g_object_unref(shown);
#endif
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  return surface;
}
