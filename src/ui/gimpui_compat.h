// Where GIMP's widget library differs between GIMP 2.10 (libgimpui-2.0) and
// GIMP 3 (libgimpui-3.0), each behind one small function.
#pragma once

#include <gtk/gtk.h>
#include <gegl.h>  // libgimpwidgets needs its types
#include <libgimpbase/gimpbase.h>
#include <libgimpwidgets/gimpwidgets.h>

#include "effect_params.h"

#if GIMP_CHECK_VERSION(2, 99, 0)
#define ZS_GIMP3 1
#else
#define ZS_GIMP3 0
#endif

#if ZS_GIMP3
namespace compat_detail {
// GIMP 3 colours carry their colour space; the record's channels are the
// non-linear sRGB values a GimpRGB held in GIMP 2.10 (and cairo draws with).
inline const Babl *record_color_format() { return babl_format("R'G'B'A double"); }

inline GeglColor *gegl_color_of(const ColorRGBA &c) {
  GeglColor *color = gegl_color_new(nullptr);
  const double rgba[4] = {c.r, c.g, c.b, c.a};
  gegl_color_set_pixel(color, record_color_format(), rgba);
  return color;
}
}  // namespace compat_detail
#endif

// A GimpColorButton showing `color`, its area flat.
inline GtkWidget *compat_color_button_new(const char *title, int width, int height,
                                          const ColorRGBA &color) {
#if ZS_GIMP3
  GeglColor *shown = compat_detail::gegl_color_of(color);
  GtkWidget *button = gimp_color_button_new(title, width, height, shown, GIMP_COLOR_AREA_FLAT);
  g_object_unref(shown);
  return button;
#else
  const GimpRGB shown = {color.r, color.g, color.b, color.a};
  return gimp_color_button_new(title, width, height, &shown, GIMP_COLOR_AREA_FLAT);
#endif
}

// Sets the button's colour; the button emits "color-changed" when it changes.
inline void compat_color_button_set(GtkWidget *button, const ColorRGBA &color) {
#if ZS_GIMP3
  GeglColor *shown = compat_detail::gegl_color_of(color);
  gimp_color_button_set_color(GIMP_COLOR_BUTTON(button), shown);
  g_object_unref(shown);
#else
  const GimpRGB shown = {color.r, color.g, color.b, color.a};
  gimp_color_button_set_color(GIMP_COLOR_BUTTON(button), &shown);
#endif
}

inline ColorRGBA compat_color_button_get(GtkWidget *button) {
#if ZS_GIMP3
  GeglColor *color = gimp_color_button_get_color(GIMP_COLOR_BUTTON(button));
  double rgba[4] = {0, 0, 0, 1};
  if (color) {
    gegl_color_get_pixel(color, compat_detail::record_color_format(), rgba);
    g_object_unref(color);
  }
  return {rgba[0], rgba[1], rgba[2], rgba[3]};
#else
  GimpRGB color;
  gimp_color_button_get_color(GIMP_COLOR_BUTTON(button), &color);
  return {color.r, color.g, color.b, color.a};
#endif
}

// The plural name of a built-in unit (0 pixels .. 4 picas), nullptr when the
// unit database has none.  GIMP 3 has units as objects with one name.
inline const char *compat_unit_plural(int unit) {
#if ZS_GIMP3
  GimpUnit *object = gimp_unit_get_by_id(unit);
  return object ? gimp_unit_get_name(object) : nullptr;
#else
  return gimp_unit_get_plural(static_cast<GimpUnit>(unit));
#endif
}

// GIMP's string query box; GIMP 3 adds a destroy function for the data.
inline GtkWidget *compat_query_string_box(const char *title, GtkWidget *parent,
                                          const char *message, const char *initial,
                                          GObject *object, const char *signal,
                                          GimpQueryStringCallback callback, gpointer data) {
#if ZS_GIMP3
  return gimp_query_string_box(title, parent, gimp_standard_help_func, nullptr, message, initial,
                               object, signal, callback, data, nullptr);
#else
  return gimp_query_string_box(title, parent, gimp_standard_help_func, nullptr, message, initial,
                               object, signal, callback, data);
#endif
}

// A titled frame around a section of the dialog.  GIMP 3's dialogs title
// their sections in bold over an unframed, indented body (GimpFrame); GIMP
// 2.10's look, a plain etched frame, stays as it was.
inline GtkWidget *compat_section_frame_new(const char *title) {
#if ZS_GIMP3
  return gimp_frame_new(title);
#else
  return gtk_frame_new(title);
#endif
}
