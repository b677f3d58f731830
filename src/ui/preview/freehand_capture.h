// Freehand outlines drawn on the preview: turning the pointer's strokes into
// the factors of the outline being edited.  Plain maths on the record.
#pragma once

#include <vector>

#include "effect_params.h"
#include "geometry.h"

// The outlines, in the order of their rows.
enum FreehandTarget : int {
  FREEHAND_NONE = 0,
  FREEHAND_RADIATION_IN = 1,
  FREEHAND_RADIATION_OUT = 2,
  FREEHAND_PARALLEL_IN = 3,
  FREEHAND_PARALLEL_OUT = 4,
  FREEHAND_PATH_IN = 5,
  FREEHAND_PATH_OUT = 6,
  // Not an outline: a stroke that becomes the Path band's new spine.
  FREEHAND_PATH_SPINE = 7,
};
constexpr bool freehand_is_radial(FreehandTarget t) {
  return t == FREEHAND_RADIATION_IN || t == FREEHAND_RADIATION_OUT;
}
constexpr bool freehand_is_parallel(FreehandTarget t) {
  return t == FREEHAND_PARALLEL_IN || t == FREEHAND_PARALLEL_OUT;
}
constexpr bool freehand_is_path(FreehandTarget t) {
  return t == FREEHAND_PATH_IN || t == FREEHAND_PATH_OUT;
}
// The record's outline of that target; nullptr for none.
FreehandOutline *freehand_outline(EffectParams *params, FreehandTarget target);
// Gives the target's outline the plain samples of its own area type.
void freehand_reset_outline(EffectParams *params, FreehandTarget target);

// One motion of a stroke from `last` to `current` (work-area pixels) onto the
// outline of `target`, when it is an outline of that area type.
void freehand_capture_radial(EffectParams *params, FreehandTarget target, const RadialShape &g,
                             Point2 last, Point2 current);
void freehand_capture_parallel(EffectParams *params, FreehandTarget target,
                               const ParallelGeometry &g, Point2 last, Point2 current);
// The Path band's outlines, whose samples are taken as a parallel band's:
// position across the band, and the share of its line's length from the
// start (the out outline) or from the end (the in outline).
void freehand_capture_path(EffectParams *params, FreehandTarget target, const PathGeometry &g,
                           Point2 last, Point2 current);

// Where p lies on the Path band: *across, 0 .. 1 across it as the lines are
// stepped, by the nearest point of the spine; *along, the share of the
// length of the line there from its start to the point nearest p.  false
// when p is outside the band or the band has no width there.
bool path_band_place(const PathGeometry &g, Point2 p, double *across, double *along);

// The stroke in progress.
struct FreehandStroke {
  bool active = false;
  Point2 first{0, 0}, last{0, 0};
  double turned = 0;  // radial: the signed angle swept about the centre so far
  // parallel: the first motion that came into the band from outside and the
  // last one that left it, with the side they crossed (-1 the + edge, 1 the
  // - edge, 0 none yet).
  Point2 entry_from{0, 0}, entry_to{0, 0}, exit_from{0, 0}, exit_to{0, 0};
  int entry_side = 0, exit_side = 0;
  // A new spine: every point of the stroke.
  std::vector<Point2> points;
};

// A whole stroke onto the outline of `target`: its press, each motion
// (captured as above), and its release.  Only an outline of the area type
// shown is drawn on.  A radial stroke that has gone round the centre (11/12
// of a turn or more) is closed at its release, the samples between its last
// and its first point filled in as a motion between them would; a parallel
// stroke that came in over one edge of the band and left over the other gets
// the parts of those two motions inside the band as well.  Any other stroke
// ends where it ended.
void freehand_stroke_begin(FreehandStroke &stroke, Point2 p);
void freehand_stroke_to(FreehandStroke &stroke, EffectParams *params, FreehandTarget target,
                        const AreaShapes &shapes, Point2 p);
void freehand_stroke_end(FreehandStroke &stroke, EffectParams *params, FreehandTarget target,
                         const AreaShapes &shapes);
