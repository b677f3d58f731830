// The shapes of the guides in work-area pixels: ellipse distances, the band's
// corners and positions across it, and which handle a point lies on.  Plain
// maths and cairo paths, no toolkit: the hit tests take the view's matrix and
// its screen pixel instead of a widget.
#pragma once

#include <cairo.h>

#include <cmath>

#include "image_services.h"
#include "zipstroke_parallel.h"
#include "zipstroke_path.h"
#include "zipstroke_radiation.h"

struct Point2 {
  double x, y;
};
inline Point2 operator+(Point2 a, Point2 b) { return {a.x + b.x, a.y + b.y}; }
inline Point2 operator-(Point2 a, Point2 b) { return {a.x - b.x, a.y - b.y}; }
inline Point2 operator*(double k, Point2 a) { return {k * a.x, k * a.y}; }
inline double dot(Point2 a, Point2 b) { return a.x * b.x + a.y * b.y; }
inline double length(Point2 a) { return std::hypot(a.x, a.y); }
// true when both coordinates are numbers.
inline bool finite(Point2 p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Every handle of every area type; what a press grabs.
enum class GuideHandle {
  None,
  RadialCentre,
  RadialInner,
  RadialOuter,
  RadialOblateness,
  BandMove,
  BandInPoint,
  BandOutPoint,
  BandInSide,
  BandOutSide,
  BandInRange,
  BandOutRange,
  BandEdges,
  PathPoint,  // one of the spine's points
  PathInRange,
  PathOutRange,
};

// How the guides meet the screen: the user-to-device matrix of the view and
// its scale, window pixels per work-area pixel.
struct HitView {
  cairo_matrix_t to_device;
  double scale;
  // A length meant in screen pixels, in work-area pixels.
  double user(double screen_pixels) const { return screen_pixels / scale; }
};
// Guides keep these sizes on the screen at any zoom.
constexpr double HANDLE_RADIUS = 8;  // screen pixels
constexpr double GUIDE_WIDTH = 1;    // screen pixels
// An edge reacts this far on either side of its guide, in screen pixels.
constexpr double HIT_REACH = 6;

// --- Radiation ---------------------------------------------------------

// Centre, vertical semi-axes, oblateness and the horizontal semi-axes
// a_out = r_out / (1 - ob) and a_in = a_out - (r_out - r_in).
struct RadialShape {
  double cx, cy, r_in, r_out, ob, a_in, a_out;
  bool finite;  // every value is a finite number
};
RadialShape radial_shape_of(const RadialGeometry &geometry);

// Distance from the centre to the ellipse with semi-axes (a, r) in the
// direction phi.  An ellipse with a zero semi-axis is the segment along its
// other axis (0 for both axes zero).
double ellipse_distance(double a, double r, double phi);
// Signed distance of (mx, my) beyond the ellipse (a, r) about (cx, cy), along
// the ray from the centre; negative inside, 0 at the centre itself.
double ray_offset(double a, double r, double cx, double cy, double mx, double my);
// The same for the ellipse of vertical semi-axis r and horizontal r / (1 - ob).
double ellipse_radial_offset(double r, double ob, double cx, double cy, double mx, double my);

// Closed path of the ellipse (a, r) about (cx, cy) (a segment where one
// semi-axis is zero), and a handle's disc about p, `radius` user units.
void ellipse_path(cairo_t *cr, double cx, double cy, double a, double r);
void disc_path(cairo_t *cr, Point2 p, double radius);
void segment_path(cairo_t *cr, Point2 a, Point2 b);

// The handle under p: the oblateness handle, then the outer and the inner
// ellipse, the centre, then the inner ellipse's own handle.
GuideHandle radial_hit_test(const RadialShape &shape, Point2 p, const HitView &view);

// --- Parallel ----------------------------------------------------------

// Unit vector from I to O; (1, 0), the renderer's direction, when they coincide.
Point2 band_direction(Point2 in, Point2 out);
// That direction turned a quarter turn clockwise on screen: (-d.y, d.x).
Point2 band_normal(Point2 in, Point2 out);

// The ends of both sides: I+ = I + (ir/2)n, I- = I - (ir/2)n, and likewise at O.
struct BandCorners {
  Point2 in_plus, in_minus, out_plus, out_minus;
};
BandCorners parallel_band_corners(double ix, double iy, double ox, double oy, double ir,
                                  double orr);
BandCorners parallel_band_corners(const ParallelGeometry &g);
// The points at across-band position t (0 at the + ends, 1 at the - ends) on
// the in side and on the out side.
void parallel_band_points(const BandCorners &corners, double t, Point2 *pin, Point2 *pout);
// Position of p across the band, 0..1, or -1 outside.  Along the axis the band
// goes on past both sides, its width changing linearly; a band whose centres
// coincide has no inside.
double parallel_band_position(const ParallelGeometry &geometry, Point2 p);
// The same position before it is limited to the band: below 0 beyond the +
// edge, above 1 beyond the - edge; NaN where the band has no width.
double parallel_band_position_unlimited(const ParallelGeometry &geometry, Point2 p);
// Whether every value of the band is a finite number.
bool band_finite(const ParallelGeometry &g);

// The handle under p: the discs (middle, centres, range ends) before the
// sides and the edges, so a disc at the end of a side stays whole.
GuideHandle band_hit_test(const ParallelGeometry &g, Point2 p, const HitView &view);

// Every area type's shapes of one record, in work-area pixels, and the
// resolution they were measured with.
struct AreaShapes {
  RadialShape radial;
  ParallelGeometry band;
  PathGeometry path;
  Resolution resolution;
};
