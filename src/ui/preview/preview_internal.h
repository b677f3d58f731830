// Helpers shared by the preview's own files: spin writes that never pass a
// non-finite value, points that are numbers, and the editing flags' writer
// for the freehand editor.
#pragma once

#include <gtk/gtk.h>

#include <cmath>

#include "cairo_save_guard.h"
#include "freehand.h"

// true when both coordinates are numbers.
inline bool finite(Point2 p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Sets a spin button to value; a missing button or a value that is not finite
// changes nothing.  The button clamps to its own range.
inline void spin_set_finite(GtkWidget *spin, double value) {
  if (spin == nullptr || !std::isfinite(value)) return;
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), value);
}

// Queues a redraw of the preview widget, when there is one.
void preview_queue_draw();

// The preview widget, or nullptr before it is built and after it is destroyed.
GtkWidget *preview_widget();

// Stores the outline being edited and clears the stroke flag (freehand editor only).
void preview_store_edit_target(int target);

// Shows the cursor of that shape over the preview (made once, kept).
void preview_show_cursor(GdkCursorType type);

// Cursor shapes over the guides: what a press there would move.
constexpr GdkCursorType CURSOR_NOTHING = GDK_ARROW;
constexpr GdkCursorType CURSOR_MOVE = GDK_FLEUR;        // a centre: moves the whole shape
constexpr GdkCursorType CURSOR_EDGE = GDK_SIZING;       // an ellipse or band edge: resizes
constexpr GdkCursorType CURSOR_HANDLE = GDK_CROSSHAIR;  // a point handle: goes where dropped
