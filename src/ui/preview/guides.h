// The guides of an area type: what they draw over the lines, what a press
// grabs, and what a drag changes.  A drag never writes the record: it
// returns the edited fields with their new values, which the dialog sets
// through its controls, in the order given.  One implementation per area
// type; guide_for picks it.
#pragma once

#include <cairo.h>

#include "effect_params.h"
#include "freehand_capture.h"
#include "geometry.h"
#include "image_services.h"

// The geometry fields a guide can edit, each with its control's key.
enum class GuideField {
  RadiationX,
  RadiationY,
  RadiationOblateness,
  RadiationInRadius,
  RadiationOutRadius,
  ParallelInX,
  ParallelInY,
  ParallelInRange,
  ParallelOutX,
  ParallelOutY,
  ParallelOutRange,
  PathInRange,
  PathOutRange,
  PathSpineX,  // of the spine's point `index`
  PathSpineY,
  PathSpineDrawn,  // the spine was drawn anew (the record holds it), `value` points
};
constexpr const char *GUIDE_FIELD_KEYS[] = {
    "radiation_x",     "radiation_y",    "radiation_oblateness", "radiation_in_radius",
    "radiation_out_radius", "parallel_in_x", "parallel_in_Y",   "parallel_in_range",
    "parallel_out_x",  "parallel_out_Y", "parallel_out_range", "path_in_range",
    "path_out_range",  "path_spine_points", "path_spine_points", "path_spine_points_count",
};
constexpr const char *guide_field_key(GuideField field) {
  return GUIDE_FIELD_KEYS[static_cast<int>(field)];
}

struct GuideEdit {
  GuideField field;
  double value;  // in the record's unit; may be outside the control's range
  int index = 0;  // the spine's point, for PathSpineX and PathSpineY
};
// What one motion changes, in the order to apply it.
struct GuideEdits {
  static constexpr int MAX = 4;
  int count = 0;
  GuideEdit items[MAX];
  void add(GuideField field, double value, int index = 0) {
    if (count < MAX) items[count++] = {field, value, index};
  }
};

// What a press at the pointer would do, shown as the cursor.
enum class GuideCursor {
  Nothing,
  Move,    // a centre: moves the whole shape
  Edge,    // an ellipse or band edge: resizes
  Handle,  // a point handle: goes where dropped
};
GuideCursor guide_cursor(GuideHandle handle);

// What the guides see of the record and the screen.
struct GuideInput {
  EffectParams *params;
  Resolution resolution;   // of the record's image
  AreaShapes shapes;       // the record's shapes in work-area pixels
  HitView view;
  FreehandTarget editing;  // the outline being drawn (shown red)
};

// From a press to its release: the handle grabbed, where (work-area
// pixels), and what the drag measures from: the record's values at the press
// in its unit.
struct GuideDrag {
  GuideHandle handle = GuideHandle::None;
  Point2 press{0, 0};
  // Radiation; inner_a is the inner ellipse's horizontal semi-axis in pixels.
  double in_radius = 0, out_radius = 0, oblateness = 0, inner_a = 0;
  // Parallel.
  double in_x = 0, in_y = 0, out_x = 0, out_y = 0, in_range = 0, out_range = 0;
  // Path: the spine's point grabbed.
  int index = -1;
};

struct Guide {
  // The guides, the handles and the freehand outlines of the record, in
  // the guide colour at widths that stay the same on the screen.  May give
  // an active outline without samples its plain samples.
  void (*draw)(cairo_t *cr, const GuideInput &in);
  GuideCursor (*cursor_at)(const GuideInput &in, Point2 p);
  GuideDrag (*press)(const GuideInput &in, Point2 p);
  GuideEdits (*motion)(const GuideInput &in, const GuideDrag &drag, Point2 p);
  GuideEdits (*release)(const GuideInput &in, const GuideDrag &drag, Point2 p);
  // The point a closer view should show: where the lines are.
  Point2 (*focus)(const GuideInput &in);
};

extern const Guide RADIATION_GUIDE;
extern const Guide PARALLEL_GUIDE;
extern const Guide PATH_GUIDE;
// The guide of an area type; nullptr for a type without one.
const Guide *guide_for(int32_t area_type);

// The guides' colour, and that of the outline being drawn.
constexpr double GUIDE_RGB[3] = {0, 0.5, 1};
constexpr double EDITED_RGB[3] = {1, 0, 0};
// Sets the source to the guides' colour.
void guide_set_colour(cairo_t *cr);
// Strokes the path as a freehand outline: dashed, red while it is being drawn.
void guide_stroke_outline(cairo_t *cr, bool editing);
