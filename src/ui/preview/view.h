// The preview's view: zoom, pan and the mapping between the work area and
// the screen.  No toolkit: the widget tells the view its size.
//
// User space is the work area in image pixels.  With k the view scale
// (window pixels per work-area pixel), V_w x V_h the widget's size (500 x 500
// before it has one) and (p_x, p_y) the work-area point shown in the middle
// of the widget, a user point (x, y) lies at window pixel
// (V_w/2 + k*(x - p_x), V_h/2 + k*(y - p_y)).
//
// Zoom: 25, 50, 75 or 100 % of the fitting scale k_fit = min(V_w/W, V_h/H, 1)
// for a W x H work area, then the magnifications 1/8, 1/4, 1/2, 1, 2 and 4
// (image pixels at 12.5 ... 400 %) that are closer than fitting.  The view
// point is the middle of the work area along each axis that fits, and keeps
// the view inside the work area along each one that does not.
#pragma once

#include <cairo.h>

#include <string>

// Side of the square the preview asks for at least (its size before it has one).
constexpr int PREVIEW_SIZE = 500;
// The closest zoom: four window pixels per image pixel.
constexpr double MAX_MAGNIFICATION = 4;

struct PreviewView {
  // The work area's size; unknown until a picture is taken.
  bool has_work_area = false;
  int work_width = 0, work_height = 0;
  // Thumbnail pixels per work-area pixel (the scale before there is a work area).
  double thumb_scale = 1.0;
  // The widget's size in window pixels.
  double width = PREVIEW_SIZE, height = PREVIEW_SIZE;
  // At or below fitting, the zoom is a share of the fitting scale (fit_percent
  // 25..100) and follows the widget's size; closer zooms are fixed
  // magnifications of the image's pixels (fixed_scale).
  bool zoom_fixed = false;
  int fit_percent = 100;
  double fixed_scale = 1.0;
  // The work-area point at the middle of the widget.
  double pan_x = 0, pan_y = 0;
};

// Window pixels per work-area pixel at which the whole work area shows (never
// an enlargement).
double view_fit_scale(const PreviewView &v);
// Window pixels per work-area pixel.
double view_scale(const PreviewView &v);
// The zoom as a share of the fitting scale, in percent (rounded).
int view_zoom_percent(const PreviewView &v);

// The zoom as shown beside the zoom buttons: `fit_word` at the fitting scale,
// else the share of the image's own pixels, e.g. "200 %".
std::string view_zoom_label(const PreviewView &v, const char *fit_word);
// Whether the whole work area is in view.
bool view_shows_all(const PreviewView &v);

// A new work area of w x h: centred, unless it is the size it was (the
// picture taken again keeps its view).
void view_set_work_area(PreviewView &v, int w, int h);
// The widget's new size; a fitting zoom keeps fitting.
void view_set_size(PreviewView &v, double width, double height);
// Keeps the view inside the work area along each axis that does not fit, and
// centred along each one that does.
void view_clamp_pan(PreviewView &v);
// Whether the work area, at the current zoom, is wider (or taller) than the view.
bool view_overflows(const PreviewView &v, bool horizontal);

// One zoom step closer (direction 1) or farther (-1), keeping the work-area
// point under window point (ax, ay) where it is; false at the last step.
bool view_zoom_step(PreviewView &v, int direction, double ax, double ay);
// Whether a step in that direction is left.
bool view_can_zoom(const PreviewView &v, int direction);
// Moves the view by (dx, dy) window pixels.
void view_pan_by(PreviewView &v, double dx, double dy);
// Brings the work-area point (x, y) to the middle, as far as the view can go.
void view_pan_to(PreviewView &v, double x, double y);

// The user-to-device matrix of a context whose device origin is the
// widget's top-left corner.
cairo_matrix_t view_matrix(const PreviewView &v);
// Applies the view's mapping to *m (as cairo_transform would, view first).
void view_transform(const PreviewView &v, cairo_matrix_t *m);
