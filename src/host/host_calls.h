// The calls into a running GIMP that the plug-in's host flow makes: images,
// layers, the selection, parasites, undo, progress and the writing of pixels.
// Each GIMP's folder (src/gimp2, src/gimp3) implements every one of them with
// its own libgimp; everything that decides what to call lives in the host
// flow, once for both.  Images and items are named by their ids; an id that
// names nothing is answered as "no such thing", never with a call that GIMP
// would report as a calling error.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>

#include <cstdint>
#include <vector>

#include "layer_buffer.h"

// The id of no image, item or channel.
constexpr int32_t NO_ID = -1;

enum class ImageKind { Rgb, Grey, Other };

// --- Images

bool host_image_exists(int32_t image);
ImageKind host_image_kind(int32_t image);
void host_image_size(int32_t image, int *width, int *height);
// Resolution in dots per inch; false when GIMP gives none.
bool host_image_resolution(int32_t image, double *xres, double *yres);
// The selection's bounds (x2, y2 exclusive); false when nothing is selected.
bool host_selection_bounds(int32_t image, int *x1, int *y1, int *x2, int *y2);
// The layer a new layer goes next to: the active layer (GIMP 2.10) or the one
// selected layer (GIMP 3); NO_ID when there is none (or several).
int32_t host_current_layer(int32_t image);
// Makes `layer` the active (the only selected) layer.
void host_make_current_layer(int32_t image, int32_t layer);
// The layers at the top level (parent NO_ID) or inside the group `parent`,
// from the top down.
std::vector<int32_t> host_layers_in(int32_t image, int32_t parent);
// A copy of the image that is never shown and keeps no undo steps; NO_ID
// when it cannot be had.  host_image_delete removes it again.
int32_t host_image_hidden_copy(int32_t image);
void host_image_delete(int32_t image);

void host_undo_group_start(int32_t image);
void host_undo_group_end(int32_t image);
// Saves the selection into a new channel and selects nothing; NO_ID when
// nothing was selected.
int32_t host_selection_save_and_clear(int32_t image);
// Makes the saved channel the selection again and removes the channel.
void host_selection_restore(int32_t image, int32_t channel);
void host_displays_flush();

// --- Items

bool host_item_exists(int32_t item);
bool host_item_is_drawable(int32_t item);
bool host_item_is_layer(int32_t item);  // a layer or a layer group
bool host_item_is_group(int32_t item);
// The image holding the item; NO_ID when there is none.
int32_t host_item_image(int32_t item);
// The group holding the item; NO_ID at the top level.
int32_t host_item_parent(int32_t item);
// Its position among its siblings, 0 at the top; -1 when unknown.
int host_item_position(int32_t image, int32_t item);
bool host_item_content_locked(int32_t item);
// A new string (g_free).
char *host_item_name(int32_t item);
void host_item_set_name(int32_t item, const char *name);
bool host_item_set_visible(int32_t item, bool visible);
// A copy of the data of the item's parasite `name` with a terminating zero
// added (g_free) and its length without it; nullptr when there is none.
char *host_item_parasite(int32_t item, const char *name, gsize *length);
// Attaches a persistent, undoable parasite.
void host_item_attach_parasite(int32_t item, const char *name, const char *data, gsize length);

// A copy of `size` bytes of `data` (none when data is nullptr) with a
// terminating zero added, so that it can never be read past its end; a new
// buffer (g_free), its length without the zero in *length.
char *text_copy(const void *data, gsize size, gsize *length);

// --- Layers

// Offsets and size; false when `layer` is not a layer.
bool host_layer_extent(int32_t layer, int *x, int *y, int *width, int *height);
// A new layer with alpha of the format's type, not yet in the image; NO_ID
// when GIMP makes none.
int32_t host_layer_new(int32_t image, const char *name, int width, int height, LayerFormat format);
// A copy of the layer, not yet in the image; NO_ID when GIMP makes none.
int32_t host_layer_copy(int32_t layer);
// Puts `layer` into the group `parent` (NO_ID: the top level) at `position`
// (-1: the group's top).
void host_layer_insert(int32_t image, int32_t layer, int32_t parent, int position);
void host_layer_remove(int32_t image, int32_t layer);
void host_layer_set_offsets(int32_t layer, int x, int y);
void host_layer_add_alpha(int32_t layer);

// The picture of the visible layers over (x, y, w, h), which lies inside the
// image, scaled to thumb_w x thumb_h, transparency over GIMP's large checks;
// nullptr when GIMP gives none.
GdkPixbuf *host_visible_picture(int32_t image, int x, int y, int w, int h, int thumb_w,
                                int thumb_h);

// --- Paths

enum class PathChoice { Selected, All };

// The image's selected paths (GIMP 2.10: its active path, if any) or all its
// paths, from the top down.
std::vector<int32_t> host_image_paths(int32_t image, PathChoice which);
// A path's strokes, in order.
std::vector<int32_t> host_path_strokes(int32_t path);
// One stroke flattened by GIMP into a polyline of `precision` pixels, as x, y
// pairs in image pixels.
std::vector<double> host_stroke_polyline(int32_t path, int32_t stroke, double precision);

// --- Writing a layer's pixels

// The shadow pixels of a layer being written, band by band from the top, in
// the byte layout of `format`.
struct HostPixelWriter;
HostPixelWriter *host_pixels_begin(int32_t layer, int width, int height, LayerFormat format);
// Rows y0 .. y0 + rows - 1, rows without gaps.  false when the layer is gone.
bool host_pixels_write(HostPixelWriter *writer, int y0, int rows, const unsigned char *pixels);
// Merges the written shadow into the layer (one undo step) when `merge`,
// and lets the writer go; nothing is sent to a layer that has gone.
void host_pixels_end(HostPixelWriter *writer, bool merge);

// --- GIMP's progress bar

void host_progress_start(const char *text);
void host_progress_update(double fraction);
void host_progress_end();

// --- The previous run's record, kept by GIMP between runs

// Replaces the record with the kept one when there is one of this build.
void host_last_values_restore(EffectParams *params);
void host_last_values_store(const EffectParams *params);
// Starts GIMP's widget library for the dialog.
void host_ui_init();
