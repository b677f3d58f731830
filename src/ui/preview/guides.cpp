#include "guides.h"

#include "cairo_save_guard.h"

void guide_set_colour(cairo_t *cr) {
  cairo_set_source_rgba(cr, GUIDE_RGB[0], GUIDE_RGB[1], GUIDE_RGB[2], 1);
}

void guide_stroke_outline(cairo_t *cr, bool editing) {
  CairoSaveGuard saved(cr);
  const double dashes[] = {6, 3};
  cairo_set_dash(cr, dashes, 2, 0);
  if (editing) cairo_set_source_rgba(cr, EDITED_RGB[0], EDITED_RGB[1], EDITED_RGB[2], 1);
  cairo_stroke(cr);
}

GuideCursor guide_cursor(GuideHandle handle) {
  switch (handle) {
    case GuideHandle::RadialCentre:
    case GuideHandle::BandMove: return GuideCursor::Move;
    case GuideHandle::RadialInner:
    case GuideHandle::RadialOuter:
    case GuideHandle::BandInSide:
    case GuideHandle::BandOutSide:
    case GuideHandle::BandEdges: return GuideCursor::Edge;
    case GuideHandle::RadialOblateness:
    case GuideHandle::BandInPoint:
    case GuideHandle::BandOutPoint:
    case GuideHandle::BandInRange:
    case GuideHandle::BandOutRange:
    case GuideHandle::PathPoint:
    case GuideHandle::PathInRange:
    case GuideHandle::PathOutRange: return GuideCursor::Handle;
    case GuideHandle::None: break;
  }
  return GuideCursor::Nothing;
}

const Guide *guide_for(int32_t area_type) {
  switch (area_type) {
    case AREA_RADIATION: return &RADIATION_GUIDE;
    case AREA_PARALLEL: return &PARALLEL_GUIDE;
    case AREA_PATH: return &PATH_GUIDE;
    default: return nullptr;
  }
}
