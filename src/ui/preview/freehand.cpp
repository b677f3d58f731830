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
// A radial stroke that has turned this far about the centre was meant to go
// all the way round.
constexpr double CLOSING_TURN = TWO_PI * 11 / 12;

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
  preview_store_edit_target(target);
  preview_show_cursor(target != 0 ? GDK_PENCIL : GDK_ARROW);
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

namespace {

// The factor of the parallel outline being edited at across-band position t
// for pointer p: its distance from the opposite side, as a share of the
// band's length at that position.
double parallel_factor_at(const BandCorners &corners, int target, double t, Point2 p) {
  Point2 pin, pout;
  parallel_band_points(corners, t, &pin, &pout);
  const double len = std::hypot(pin.x - pout.x, pin.y - pout.y);
  const Point2 from = target == FREEHAND_PARALLEL_IN ? pout : pin;
  return std::hypot(p.x - from.x, p.y - from.y) / len;
}

// Writes the samples from position t_a (factor f_a) to t_b (f_b), t_a <= t_b,
// interpolated; a span shorter than one sample writes the first sample at or
// after t_a.
void write_parallel_span(FreehandOutline *outline, double t_a, double f_a, double t_b,
                         double f_b) {
  const int n = scan_limit(outline);
  if (n <= 0 || !std::isfinite(f_a) || !std::isfinite(f_b)) return;
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

}  // namespace

void freehand_capture_parallel(EffectParams *params, Point2 last, Point2 current) {
  const int target = freehand_edit_target_get();
  if (target != FREEHAND_PARALLEL_IN && target != FREEHAND_PARALLEL_OUT) return;
  FreehandOutline *outline = outline_of(params, target);
  const ParallelGeometry g = parallel_geometry_in_pixels(params, image_resolution(params->image_id));
  const BandCorners corners = parallel_band_corners(g.ix, g.iy, g.ox, g.oy, g.ir, g.orr);
  const double t_last = parallel_band_position(g, last);
  const double t_current = parallel_band_position(g, current);
  if (t_last < 0 || t_current < 0) return;

  const bool current_first = t_last > t_current;
  const double t_a = current_first ? t_current : t_last;
  const double t_b = current_first ? t_last : t_current;
  const double f_a = parallel_factor_at(corners, target, t_a, current_first ? current : last);
  const double f_b = parallel_factor_at(corners, target, t_b, current_first ? last : current);
  write_parallel_span(outline, t_a, f_a, t_b, f_b);
}

namespace {

// The stroke in progress, in preview user units.
struct Stroke {
  bool active;
  Point2 first, last;
  double turned;  // radial: the signed angle swept about the centre so far
  // parallel: the first motion that came into the band from outside and the
  // last one that left it, with the side they crossed (-1 the + edge, 1 the
  // - edge, 0 none yet).
  Point2 entry_from, entry_to, exit_from, exit_to;
  int entry_side, exit_side;
};
Stroke stroke = {};

int side_of(double t) { return t < 0 ? -1 : t > 1 ? 1 : 0; }

// The part of the motion from `inside` to `outside` that lies in the band,
// written as a motion would: the crossing point is found by halving, and it
// takes the edge's own position.
void write_parallel_crossing(EffectParams *params, Point2 inside, Point2 outside, int side) {
  const int target = freehand_edit_target_get();
  FreehandOutline *outline = outline_of(params, target);
  if (outline == nullptr) return;
  const ParallelGeometry g = parallel_geometry_in_pixels(params, image_resolution(params->image_id));
  const BandCorners corners = parallel_band_corners(g.ix, g.iy, g.ox, g.oy, g.ir, g.orr);
  double lo = 0, hi = 1;  // inside at lo, outside at hi (shares of the motion)
  for (int k = 0; k < 48; ++k) {
    const double mid = 0.5 * (lo + hi);
    const Point2 p = {inside.x + mid * (outside.x - inside.x), inside.y + mid * (outside.y - inside.y)};
    if (side_of(parallel_band_position_unlimited(g, p)) == 0) lo = mid;
    else hi = mid;
  }
  const Point2 edge = {inside.x + lo * (outside.x - inside.x), inside.y + lo * (outside.y - inside.y)};
  const double t_in = parallel_band_position(g, inside);
  const double t_edge = side < 0 ? 0.0 : 1.0;
  if (t_in < 0) return;
  const double f_in = parallel_factor_at(corners, target, t_in, inside);
  const double f_edge = parallel_factor_at(corners, target, t_edge, edge);
  if (side < 0) write_parallel_span(outline, t_edge, f_edge, t_in, f_in);
  else write_parallel_span(outline, t_in, f_in, t_edge, f_edge);
}

}  // namespace

void freehand_stroke_begin(EffectParams *, Point2 p) {
  stroke = Stroke{};
  stroke.active = true;
  stroke.first = stroke.last = p;
}

void freehand_stroke_to(EffectParams *params, Point2 p) {
  if (!stroke.active) return;
  const int target = freehand_edit_target_get();
  const Point2 last = stroke.last;
  stroke.last = p;
  // An outline of the other area type than the one shown is never drawn on.
  if ((target == FREEHAND_RADIATION_IN || target == FREEHAND_RADIATION_OUT) &&
      params->area_type == AREA_RADIATION) {
    freehand_capture_radial(params, last, p);
    const RadialShape g = radial_shape(params);
    if (!g.finite || !finite(last) || !finite(p)) return;
    const double turn = std::remainder(std::atan2(p.y - g.cy, p.x - g.cx) -
                                           std::atan2(last.y - g.cy, last.x - g.cx),
                                       TWO_PI);
    if (std::isfinite(turn)) stroke.turned += turn;
  } else if ((target == FREEHAND_PARALLEL_IN || target == FREEHAND_PARALLEL_OUT) &&
             params->area_type == AREA_PARALLEL) {
    freehand_capture_parallel(params, last, p);
    const ParallelGeometry g = parallel_geometry_in_pixels(params, image_resolution(params->image_id));
    const double t_last = parallel_band_position_unlimited(g, last);
    const double t_now = parallel_band_position_unlimited(g, p);
    if (!std::isfinite(t_last) || !std::isfinite(t_now)) return;
    if (side_of(t_last) != 0 && side_of(t_now) == 0) {
      if (stroke.entry_side == 0) {
        stroke.entry_side = side_of(t_last);
        stroke.entry_from = last;
        stroke.entry_to = p;
      }
      stroke.exit_side = 0;  // back in: only a later exit counts
    }
    if (side_of(t_last) == 0 && side_of(t_now) != 0) {
      stroke.exit_side = side_of(t_now);
      stroke.exit_from = last;
      stroke.exit_to = p;
    }
  }
}

void freehand_stroke_end(EffectParams *params) {
  if (!stroke.active) return;
  const Stroke done = stroke;
  stroke = Stroke{};
  const int target = freehand_edit_target_get();
  if ((target == FREEHAND_RADIATION_IN || target == FREEHAND_RADIATION_OUT) &&
      params->area_type == AREA_RADIATION) {
    // Round the centre (or within a twelfth of a turn of it): the gap, or
    // the overlap, between the ends is the stroke from its last point back
    // to its first.
    if (std::fabs(done.turned) >= CLOSING_TURN)
      freehand_capture_radial(params, done.last, done.first);
  } else if ((target == FREEHAND_PARALLEL_IN || target == FREEHAND_PARALLEL_OUT) &&
             params->area_type == AREA_PARALLEL) {
    if (done.entry_side != 0 && done.exit_side == -done.entry_side) {
      write_parallel_crossing(params, done.entry_to, done.entry_from, done.entry_side);
      write_parallel_crossing(params, done.exit_from, done.exit_to, done.exit_side);
    }
  }
}
