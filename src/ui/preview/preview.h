// The preview: the picture of the work area, the lines drawn live, zoom and
// the routing of mouse events to the handler of the current area type.
//
// User space of every preview context is the work area in image pixels.  With
// s the thumbnail scale, z the zoom and W x H the work area, a user point
// (x, y) lies at window pixel (s*z*x + 250 - s*z*W/2, s*z*y + 250 - s*z*H/2):
// the centre of the work area always sits at (250, 250) of the 500 x 500 square.
#pragma once

#include <gtk/gtk.h>

#include "effect_params.h"
#include "image_services.h"

// Side of the square the preview asks for and centres the work area in.
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

double preview_scale_get();
int preview_zoom_get();

// Freehand editing flags: the outline being edited (0 none, 1..4) and whether
// the press in progress started a stroke.
int freehand_edit_target_get();
int freehand_drawing_get();

// The picture of the work area, taken once through the host services.  The
// preview widget does this itself; the benchmarks and tests call it directly.
// Also sets the work area's size and the thumbnail scale.
void preview_picture_init(int32_t image_id);
// The same for a given area of the image (editing a layer: the layer's extent).
void preview_picture_init_area(int32_t image_id, const WorkArea &area);
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
