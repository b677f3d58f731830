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
