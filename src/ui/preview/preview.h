// The preview widget: the picture of the work area, the lines drawn live and
// the guides of the area type over them, zoom and pan, and the routing of
// the pointer to the guides' handles or to the freehand outline being drawn.
// A drag on a handle hands the edited values to the dialog, which sets them
// through its controls.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"
#include "freehand_capture.h"
#include "guides.h"
#include "image_services.h"
#include "view.h"

// Where the values a drag edits go.
using PreviewEditSink = void (*)(const GuideEdits &edits);

// Builds the drawing area and its picture for params->image_id.
GtkWidget *preview_new(EffectParams *params, PreviewEditSink apply_edits);
// The buttons that zoom the preview, kept sensitive while a step is left,
// and the label beside them that shows the zoom ("Fit", "200 %").
void preview_attach_zoom_buttons(GtkWidget *zoom_in, GtkWidget *zoom_out, GtkWidget *label);
// Queues a redraw of the preview widget, when there is one.
void preview_queue_draw();

// The outline being drawn (FREEHAND_NONE for none), shown with the pencil
// cursor; choosing one ends any stroke in progress.
void preview_set_freehand_target(FreehandTarget target);
FreehandTarget preview_freehand_target();
// Whether the press in progress started a stroke.
bool preview_drawing();
// The handle the press in progress grabbed.
GuideHandle preview_drag_handle();

// A cairo context whose device space is the preview widget's window and whose
// user space is the work area in pixels.  The caller destroys it.
cairo_t *preview_context_new();
// Applies the preview transform to a context whose origin is the widget's corner.
void preview_apply_transform(cairo_t *cr);
// A length meant in screen pixels, in user units.
double preview_length_to_user(double px);

// One step closer; from a view of the whole work area, the closer view shows
// the lines (the radial centre, the band's middle) rather than the middle.
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

// Where the thumbnail is coarser than the screen, the part of the work area in
// view is fetched again once the view has stood still.  Whether such a fetch
// is waiting:
bool preview_detail_pending();
// Runs the fetch the view needs now; true when the host gave a picture.
bool preview_detail_fetch_now();
// The size of that picture in pixels (0 x 0 when none is held).
void preview_detail_size(int *width, int *height);

// The picture of the work area, taken once through the host services.  The
// preview widget does this itself; the benchmarks and tests call it directly.
// A layer id of 0 or more leaves that layer out of the picture (when the host can).
void preview_picture_init(int32_t image_id, int32_t excluded_layer = -1);
// The same for a given area of the image (editing a layer: the layer's extent).
void preview_picture_init_area(int32_t image_id, const WorkArea &area,
                               int32_t excluded_layer = -1);
// Releases the picture and sets the view back to fitting, as destroying the widget does.
void preview_picture_release();
// Thumbnail size in pixels (0 x 0 when there is no picture).
void preview_picture_size(int *width, int *height);

// Paints the picture onto cr, which carries the preview transform.
void preview_paint_picture(cairo_t *cr);
// Draws one expose's content onto cr, which carries the preview transform:
// picture, then the lines (in their own colour), then the guides of the area type.
void preview_draw(cairo_t *cr, EffectParams *params);
// One whole expose onto an untransformed target whose origin is the widget's
// top-left corner (what the widget's draw handler does): the grey background,
// then preview_draw under the preview transform.
void preview_draw_window(cairo_t *cr, EffectParams *params);
