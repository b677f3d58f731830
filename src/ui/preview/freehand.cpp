#include "freehand.h"

#include <glib/gi18n-lib.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "gtk_compat.h"
#include "parallel_guides.h"
#include "preview.h"
#include "preview_internal.h"
#include "radiation_guides.h"
#include "zipstroke_parallel.h"

namespace {

constexpr double TWO_PI = 2 * G_PI;
constexpr double RADIAL_STEP = TWO_PI / FREEHAND_SAMPLES;

// Made on first use, kept for the rest of the process.
GdkCursor *arrow_cursor = nullptr;
GdkCursor *pencil_cursor = nullptr;

std::array<FreehandRow *, 4> rows() {
  return {&dialog_widgets.radiation_in_freehand, &dialog_widgets.radiation_out_freehand,
          &dialog_widgets.parallel_in_freehand, &dialog_widgets.parallel_out_freehand};
}

// Row number 1..4 of the row holding `widget` in the given member, 0 for none.
int row_of(GtkWidget *widget, GtkWidget *FreehandRow::*member) {
  const auto all = rows();
  for (std::size_t i = 0; i < all.size(); ++i)
    if (widget != nullptr && all[i]->*member == widget) return static_cast<int>(i) + 1;
  return 0;
}

FreehandOutline *outline_of(EffectParams *params, int row) {
  switch (row) {
    case FREEHAND_RADIATION_IN: return &params->radiation_in_freehand;
    case FREEHAND_RADIATION_OUT: return &params->radiation_out_freehand;
    case FREEHAND_PARALLEL_IN: return &params->parallel_in_freehand;
    case FREEHAND_PARALLEL_OUT: return &params->parallel_out_freehand;
    default: return nullptr;
  }
}

void set_all_edit_labels_start() {
  for (FreehandRow *row : rows())
    if (row->edit_button) gtk_button_set_label(GTK_BUTTON(row->edit_button), _("Edit Start"));
}

// Number of samples a scan may visit: never past the table, whatever count holds.
int scan_limit(const FreehandOutline *outline) {
  return std::clamp<int>(outline->count, 0, FREEHAND_SAMPLES);
}

// Sets the factor of a radial sample to the pointer distance d over the
// ellipse's own distance in that direction; a degenerate ellipse, with no
// distance there, leaves the sample as it was.
void write_radial(FreehandSample *sample, double d, double a, double r) {
  const double rho = ellipse_distance(a, r, sample->pos);
  const double factor = d / rho;
  if (rho > 0 && std::isfinite(factor)) sample->factor = factor;
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

void freehand_set_edit_target(int target) {
  if (arrow_cursor == nullptr) {
    GdkDisplay *display = gdk_display_get_default();
    arrow_cursor = gdk_cursor_new_for_display(display, GDK_ARROW);
    pencil_cursor = gdk_cursor_new_for_display(display, GDK_PENCIL);
  }
  preview_store_edit_target(target);
  GtkWidget *area = preview_widget();
  GdkWindow *window = area ? gtk_widget_get_window(area) : nullptr;
  if (window) gdk_window_set_cursor(window, target != 0 ? pencil_cursor : arrow_cursor);
}

void on_freehand_toggled(GtkToggleButton *check, EffectParams *params) {
  const int row = row_of(GTK_WIDGET(check), &FreehandRow::check);
  FreehandOutline *outline = outline_of(params, row);
  if (outline == nullptr) return;
  const gboolean active = gtk_toggle_button_get_active(check);
  outline->active = active ? 1 : 0;
  const FreehandRow *widgets = rows()[row - 1];
  if (widgets->edit_button) gtk_widget_set_sensitive(widgets->edit_button, active);
  if (widgets->reset_button) gtk_widget_set_sensitive(widgets->reset_button, active);
  if (!active) {
    // Any outline's editing ends, so no edit button may still read "Edit Stop".
    freehand_set_edit_target(0);
    set_all_edit_labels_start();
  }
  preview_queue_draw();
}

void on_freehand_edit_clicked(GtkButton *button, EffectParams *) {
  const int row = row_of(GTK_WIDGET(button), &FreehandRow::edit_button);
  const int previous = freehand_edit_target_get();
  set_all_edit_labels_start();
  freehand_set_edit_target(0);
  if (row != 0 && row != previous) {
    freehand_set_edit_target(row);
    gtk_button_set_label(button, _("Edit Stop"));
  }
  preview_queue_draw();
}

void on_freehand_reset_clicked(GtkButton *button, EffectParams *params) {
  const int row = row_of(GTK_WIDGET(button), &FreehandRow::reset_button);
  FreehandOutline *outline = outline_of(params, row);
  if (outline == nullptr) return;
  if (row == FREEHAND_RADIATION_IN || row == FREEHAND_RADIATION_OUT)
    freehand_reset_radial(outline);
  else
    freehand_reset_parallel(outline);
  preview_queue_draw();
}

void freehand_capture_radial(EffectParams *params, Point2 last, Point2 current) {
  const int target = freehand_edit_target_get();
  if (target != FREEHAND_RADIATION_IN && target != FREEHAND_RADIATION_OUT) return;
  FreehandOutline *outline = outline_of(params, target);
  const int n = scan_limit(outline);
  if (n <= 0) return;
  const RadialShape g = radial_shape(params);
  if (!g.finite || !finite(last) || !finite(current)) return;
  const double a = target == FREEHAND_RADIATION_IN ? g.a_in : g.a_out;
  const double r = target == FREEHAND_RADIATION_IN ? g.r_in : g.r_out;
  // A point exactly at the centre has no direction: such a motion writes nothing.
  if ((last.x == g.cx && last.y == g.cy) || (current.x == g.cx && current.y == g.cy)) return;

  auto angle = [&](Point2 p) {
    const double theta = std::atan2(p.y - g.cy, p.x - g.cx);
    return theta < 0 ? theta + TWO_PI : theta;
  };
  auto distance = [&](Point2 p) { return std::hypot(p.x - g.cx, p.y - g.cy); };
  const double theta_last = angle(last);
  const double theta_current = angle(current);
  // w is the larger angle, v the smaller; ties make the current one w.
  const bool last_is_w = theta_last > theta_current;
  const double w = last_is_w ? theta_last : theta_current;
  const double v = last_is_w ? theta_current : theta_last;
  const double d_w = distance(last_is_w ? last : current);
  const double d_v = distance(last_is_w ? current : last);
  FreehandSample *samples = outline->samples;

  auto first_at_or_after = [&](double angle_from) {
    for (int i = 0; i < n; ++i)
      if (samples[i].pos >= angle_from) {
        write_radial(&samples[i], d_v, a, r);
        return;
      }
  };

  const double other_way = v + TWO_PI - w;  // from w up through angle 0 to v
  if (w - v > other_way) {
    // The stroke crosses angle 0 the short way.
    if (!(other_way > RADIAL_STEP)) {
      first_at_or_after(v);
      return;
    }
    const double span = other_way / RADIAL_STEP;
    int j = 0;
    for (int i = 0; i < n; ++i)
      if (samples[i].pos >= w) write_radial(&samples[i], d_w + j++ * (d_v - d_w) / span, a, r);
    for (int i = 0; i < n; ++i) {
      write_radial(&samples[i], d_w + j++ * (d_v - d_w) / span, a, r);
      if (samples[i].pos >= v) break;
    }
    return;
  }
  if (!(w - v > RADIAL_STEP)) {
    first_at_or_after(v);
    return;
  }
  const double span = (w - v) / RADIAL_STEP;
  int j = 0;
  for (int i = 0; i < n; ++i)
    if (samples[i].pos >= v && samples[i].pos <= w)
      write_radial(&samples[i], d_v + j++ * (d_w - d_v) / span, a, r);
}

void freehand_capture_parallel(EffectParams *params, Point2 last, Point2 current) {
  const int target = freehand_edit_target_get();
  if (target != FREEHAND_PARALLEL_IN && target != FREEHAND_PARALLEL_OUT) return;
  FreehandOutline *outline = outline_of(params, target);
  const int n = scan_limit(outline);
  if (n <= 0) return;
  const ParallelGeometry g = parallel_geometry_in_pixels(params);
  const BandCorners corners = parallel_band_corners(g.ix, g.iy, g.ox, g.oy, g.ir, g.orr);
  const double t_last = parallel_band_position(g, last);
  const double t_current = parallel_band_position(g, current);
  if (t_last < 0 || t_current < 0) return;

  // The pointer's distance from the opposite side, as a share of the band's
  // length at that position.
  auto factor_at = [&](double t, Point2 p) {
    Point2 pin, pout;
    parallel_band_points(corners, t, &pin, &pout);
    const double len = std::hypot(pin.x - pout.x, pin.y - pout.y);
    const Point2 from = target == FREEHAND_PARALLEL_IN ? pout : pin;
    return std::hypot(p.x - from.x, p.y - from.y) / len;
  };
  const bool current_first = t_last > t_current;
  const double t_a = current_first ? t_current : t_last;
  const double t_b = current_first ? t_last : t_current;
  const double f_a = factor_at(t_a, current_first ? current : last);
  const double f_b = factor_at(t_b, current_first ? last : current);
  if (!std::isfinite(f_a) || !std::isfinite(f_b)) return;
  FreehandSample *samples = outline->samples;

  if (t_b - t_a >= 1.0 / outline->count) {
    const double span = (t_b - t_a) * outline->count;
    int j = 0;
    for (int i = 0; i < n; ++i)
      if (samples[i].pos >= t_a && samples[i].pos <= t_b)
        samples[i].factor = f_a + j++ * (f_b - f_a) / span;
    return;
  }
  for (int i = 0; i < n; ++i)
    if (samples[i].pos >= t_a) {
      samples[i].factor = f_a;
      return;
    }
}
