// The picture under the lines: a thumbnail of the work area (at most 500
// pixels a side) taken once, shown as each screen pixel's mean of what it
// covers where it is finer than the screen and as sharp blocks where it is
// coarser.  Where the thumbnail is coarser than the screen, the part in view
// is fetched again at the resolution the view needs (at most the image's own
// pixels and the view's size) once the view has stood still, and shown over
// it.  What lands on the screen under one view is kept, so an expose only
// copies it.
#pragma once

#include <cairo.h>
#include <glib.h>

#include <cstdint>

#include "cairo_ptr.h"
#include "image_services.h"
#include "view.h"

// What a view needs from the host: a work-area rectangle and a size in pixels.
struct DetailRequest {
  int x = 0, y = 0, w = 0, h = 0, dest_w = 0, dest_h = 0;
  bool operator==(const DetailRequest &o) const {
    return x == o.x && y == o.y && w == o.w && h == o.h && dest_w == o.dest_w &&
           dest_h == o.dest_h;
  }
};

// The part of the work area in view at the resolution the view needs.
struct Detail {
  SurfacePtr surface;
  int x = 0, y = 0, w = 0, h = 0;  // work-area rectangle it shows
  double per_x = 0, per_y = 0;     // its pixels per work-area pixel
};

// The picture as it lands on the screen under one transform.
struct PictureCache {
  SurfacePtr surface;
  // When the picture is opaque and its edges cut device pixels: the device
  // pixels it covers wholly, without alpha, so that an expose copies them
  // and blends only the edges.
  SurfacePtr interior;
  int interior_x = 0, interior_y = 0;
  cairo_matrix_t matrix{};  // the user-to-device matrix it was made for
  int x = 0, y = 0;         // device position of its top-left pixel
  double view_w = 0, view_h = 0;  // the view it was clipped to
};

struct PreviewPicture {
  SurfacePtr thumbnail;
  int width = 0, height = 0;  // the thumbnail's size
  // Where the pictures come from: the image, the work area's corner in image
  // pixels and the layer left out (-1 none).
  int32_t image = -1;
  int x = 0, y = 0;
  int32_t excluded = -1;
  Detail detail;
  // The last request that yielded nothing (not asked again for the same view).
  DetailRequest failed;
  bool has_failed = false;
  PictureCache cache;
  // Device position of the widget's top-left corner at the last expose: GTK 3
  // hands the draw handler its toplevel's context, moved to the widget.
  double origin_x = 0, origin_y = 0;
  // The fetch waiting for the view to stand still (0 none).
  guint timer = 0;
  // While a button is held the view is moving: no fetch until its release.
  bool held = false;
  // The view it is shown in, and what to call when it has changed; without
  // a redraw (no widget) nothing is fetched later.
  const PreviewView *view = nullptr;
  void (*redraw)() = nullptr;
};

// Takes the picture of `area` of the image (a layer id of 0 or more leaves that
// layer out, when the host can), sets the view's work area and the
// thumbnail's scale.  No picture leaves the grey background.
void picture_take(PreviewPicture &pic, PreviewView &view, int32_t image_id, const WorkArea &area,
                  int32_t excluded_layer);
// Drops every picture and any waiting fetch.
void picture_drop(PreviewPicture &pic);
// After any change of the view: drops a detail the view no longer needs, and
// fetches the one it needs once the view has stood still for a moment with
// no button held, so a drag or a run of wheel steps fetches once, after it.
void picture_view_changed(PreviewPicture &pic);
// Makes the cache for the view anew (after a zoom step or a new detail).
void picture_prepare_cache(PreviewPicture &pic);
// Asks the host for the part in view now; true when it gave it.
bool picture_fetch_detail(PreviewPicture &pic);
// Paints the picture onto cr, which carries the preview transform.
void picture_paint(PreviewPicture &pic, cairo_t *cr);
