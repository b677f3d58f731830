#include "view.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr double MAGNIFICATIONS[] = {0.125, 0.25, 0.5, 1, 2, MAX_MAGNIFICATION};
constexpr int FIT_PERCENTS[] = {25, 50, 75, 100};
// Scales this close count as the same.
constexpr double SAME = 1e-9;

// Sets the zoom (a fitting share when not fixed), keeping the work-area point
// under the window point (ax, ay) where it is.
void zoom_to(PreviewView &v, bool fixed, int percent, double scale, double ax, double ay) {
  const double before = view_scale(v);
  const double ux = v.pan_x + (ax - v.width / 2) / before;
  const double uy = v.pan_y + (ay - v.height / 2) / before;
  v.zoom_fixed = fixed;
  if (fixed) v.fixed_scale = scale;
  else v.fit_percent = percent;
  const double after = view_scale(v);
  v.pan_x = ux - (ax - v.width / 2) / after;
  v.pan_y = uy - (ay - v.height / 2) / after;
  view_clamp_pan(v);
}

// The next zoom in that direction: a fitting share (fixed false) or a
// magnification; false when there is none.
bool next_zoom(const PreviewView &v, int direction, bool *fixed, int *percent, double *scale) {
  const double now = view_scale(v);
  const double fit = view_fit_scale(v);
  if (direction > 0) {
    for (int p : FIT_PERCENTS)
      if (fit * p / 100.0 > now * (1 + SAME)) return *fixed = false, *percent = p, true;
    for (double m : MAGNIFICATIONS)
      if (m > now * (1 + SAME) && m > fit * (1 + SAME)) return *fixed = true, *scale = m, true;
  } else {
    for (auto it = std::rbegin(MAGNIFICATIONS); it != std::rend(MAGNIFICATIONS); ++it)
      if (*it < now * (1 - SAME) && *it > fit * (1 + SAME)) return *fixed = true, *scale = *it, true;
    for (auto it = std::rbegin(FIT_PERCENTS); it != std::rend(FIT_PERCENTS); ++it)
      if (fit * *it / 100.0 < now * (1 - SAME)) return *fixed = false, *percent = *it, true;
  }
  return false;
}

}  // namespace

double view_fit_scale(const PreviewView &v) {
  if (!v.has_work_area || v.work_width <= 0 || v.work_height <= 0) return v.thumb_scale;
  return std::min({v.width / v.work_width, v.height / v.work_height, 1.0});
}

double view_scale(const PreviewView &v) {
  return v.zoom_fixed ? v.fixed_scale : view_fit_scale(v) * v.fit_percent / 100.0;
}

int view_zoom_percent(const PreviewView &v) {
  const double fit = view_fit_scale(v);
  return fit > 0 ? static_cast<int>(std::lround(100 * view_scale(v) / fit)) : 100;
}

std::string view_zoom_label(const PreviewView &v, const char *fit_word) {
  if (!v.zoom_fixed && v.fit_percent == 100) return fit_word;
  return std::to_string(std::lround(100 * view_scale(v))) + " %";
}

bool view_shows_all(const PreviewView &v) {
  return !view_overflows(v, true) && !view_overflows(v, false);
}

void view_set_work_area(PreviewView &v, int w, int h) {
  const bool same_area = v.has_work_area && v.work_width == w && v.work_height == h;
  v.work_width = w;
  v.work_height = h;
  v.has_work_area = true;
  if (!same_area) {
    v.pan_x = w / 2.0;
    v.pan_y = h / 2.0;
  }
  view_clamp_pan(v);
}

void view_set_size(PreviewView &v, double width, double height) {
  v.width = width;
  v.height = height;
  view_clamp_pan(v);
}

void view_clamp_pan(PreviewView &v) {
  if (!v.has_work_area) return;
  const double k = view_scale(v);
  auto clamp_axis = [k](double *pan, double view, int extent) {
    const double half = view / (2 * k);
    if (!std::isfinite(*pan) || extent <= 2 * half) *pan = extent / 2.0;
    else *pan = std::clamp(*pan, half, extent - half);
  };
  clamp_axis(&v.pan_x, v.width, v.work_width);
  clamp_axis(&v.pan_y, v.height, v.work_height);
}

bool view_overflows(const PreviewView &v, bool horizontal) {
  if (!v.has_work_area) return false;
  const double k = view_scale(v);
  return horizontal ? v.work_width * k > v.width + 0.5 : v.work_height * k > v.height + 0.5;
}

bool view_zoom_step(PreviewView &v, int direction, double ax, double ay) {
  bool fixed = false;
  int percent = 100;
  double scale = 1;
  if (!next_zoom(v, direction, &fixed, &percent, &scale)) return false;
  zoom_to(v, fixed, percent, scale, ax, ay);
  return true;
}

bool view_can_zoom(const PreviewView &v, int direction) {
  const double now = view_scale(v);
  const double fit = view_fit_scale(v);
  if (direction > 0) return now < std::max(MAX_MAGNIFICATION, fit) * (1 - SAME);
  return now > fit * 0.25 * (1 + SAME);
}

void view_pan_by(PreviewView &v, double dx, double dy) {
  const double k = view_scale(v);
  v.pan_x += dx / k;
  v.pan_y += dy / k;
  view_clamp_pan(v);
}

void view_pan_to(PreviewView &v, double x, double y) {
  v.pan_x = x;
  v.pan_y = y;
  view_clamp_pan(v);
}

cairo_matrix_t view_matrix(const PreviewView &v) {
  cairo_matrix_t m;
  cairo_matrix_init_identity(&m);
  view_transform(v, &m);
  return m;
}

void view_transform(const PreviewView &v, cairo_matrix_t *m) {
  const double k = view_scale(v);
  if (v.has_work_area) {
    cairo_matrix_translate(m, v.width / 2, v.height / 2);
    cairo_matrix_scale(m, k, k);
    cairo_matrix_translate(m, -v.pan_x, -v.pan_y);
  } else {
    cairo_matrix_scale(m, k, k);
  }
}
