// The preview: the picture of the work area, the lines drawn live, zoom and
// the routing of mouse events to the handler of the current area type.
//
// User space of every preview context is the work area in image pixels.  With
// k the view scale (window pixels per work-area pixel), V_w x V_h the widget's
// size (500 x 500 before it has one) and (p_x, p_y) the work-area point shown
// in the middle of the widget, a user point (x, y) lies at window pixel
// (V_w/2 + k*(x - p_x), V_h/2 + k*(y - p_y)).
//
// Zoom: 25, 50, 75 or 100 % of the fitting scale k_fit = min(V_w/W, V_h/H, 1)
// for a W x H work area, then the magnifications 1/8, 1/4, 1/2, 1, 2 and 4
// (image pixels at 12.5 ... 400 %) that are closer than fitting.  The view
// point is the middle of the work area along each axis that fits, and keeps
// the view inside the work area along each one that does not.
//
// Picture: a thumbnail of the work area (at most 500 pixels a side) taken
// once, shown as each screen pixel's mean of what it covers where it is
// finer than the screen and as sharp blocks where it is coarser.  Where the
// thumbnail is coarser than the screen, the part in view is fetched again at
// the resolution the view needs (at most the image's own pixels and the
// view's size) once the view has stood still, and shown over it.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"
#include "image_services.h"

// Side of the square the preview asks for at least (its size before it has one).
constexpr int PREVIEW_SIZE = 500;

// Builds the drawing area and its picture for params->image_id.
GtkWidget *preview_new(EffectParams *params);

// A cairo context whose device space is the preview widget's window and whose
// user space is the work area in pixels, for hit tests and for turning event
// positions into work-area pixels.  The caller destroys it.
cairo_t *preview_context_new();
// Applies the preview transform to a context on a 500 x 500 target.
void preview_apply_transform(cairo_t *cr);

// A length meant in screen pixels, in user units.
double preview_length_to_user(double px);

void preview_zoom_in();
void preview_zoom_out();

// Thumbnail pixels per work-area pixel.
double preview_scale_get();
// The zoom as a share of the fitting scale, in percent (rounded).
int preview_zoom_get();
// Window pixels per work-area pixel.
double preview_view_scale();
// The widget's size as the view uses it.
void preview_view_size(int *width, int *height);
// The work-area point in the middle of the view.
void preview_pan_get(double *x, double *y);
// Brings the work-area point (x, y) to the middle of the view, as far as the
// view can go.
void preview_pan_to(double x, double y);
// The cursor last shown over the preview.
GdkCursorType preview_cursor_get();

// Where the thumbnail is coarser than the screen (zoomed in, or a window
// larger than the thumbnail), the part of the work area in view is fetched
// again at the resolution the view needs, once the view has stood still for
// a moment with no button held.  Whether such a fetch is waiting:
bool preview_detail_pending();
// Runs the fetch the view needs now (also when none is waiting); true when
// the host gave a picture.
bool preview_detail_fetch_now();
// The size of that picture in pixels (0 x 0 when none is held).
void preview_detail_size(int *width, int *height);

// Freehand editing flags: the outline being edited (0 none, 1..4) and whether
// the press in progress started a stroke.
int freehand_edit_target_get();
int freehand_drawing_get();

// The picture of the work area, taken once through the host services.  The
// preview widget does this itself; the benchmarks and tests call it directly.
// Also sets the work area's size and the thumbnail scale.  A layer id of 0 or
// more leaves that layer out of the picture (when the host can).
void preview_picture_init(int32_t image_id, int32_t excluded_layer = -1);
// The same for a given area of the image (editing a layer: the layer's extent).
void preview_picture_init_area(int32_t image_id, const WorkArea &area,
                               int32_t excluded_layer = -1);
// Releases the picture and sets the zoom back to 100, as destroying the widget does.
void preview_picture_release();
// Thumbnail size in pixels (0 x 0 when there is no picture).
void preview_picture_size(int *width, int *height);

// Paints the picture onto cr, which carries the preview transform.
void preview_paint_picture(cairo_t *cr);
// Draws one expose's content onto cr, which carries the preview transform:
// picture, then the lines in line_color, then the guides of the area type.
void preview_draw(cairo_t *cr, EffectParams *params);
// One whole expose onto an untransformed target whose origin is the widget's
// top-left corner (what the widget's draw handler does): the grey background,
// then preview_draw under the preview transform.
void preview_draw_window(cairo_t *cr, EffectParams *params);
