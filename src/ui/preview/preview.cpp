#include "preview.h"

#include <glib/gi18n-lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "area_pixels.h"
#include "cairo_ptr.h"
#include "cairo_save_guard.h"
#include "gtk_compat.h"
#include "line_cache.h"
#include "picture.h"
#include "window_frame.h"

namespace {

// The background grey: 0x4567 on every channel.
constexpr double BACKGROUND = 0x4567 / 65535.0;
// Share of the widget one wheel step pans by.
constexpr double WHEEL_PAN_SHARE = 0.1;
// A pointer that has not moved for this long rests: the lines of a drag are
// drawn exactly again.  Where drawing them takes long (a dense effect), it
// waits twice that long, so that a short hesitation does not hold the drag up.
constexpr double DRAG_REST_MS = 150;

// Everything the preview holds while its widget lives.
struct PreviewState {
  GtkWidget *widget = nullptr;
  EffectParams *params = nullptr;
  PreviewEditSink apply_edits = nullptr;
  GtkWidget *zoom_in = nullptr, *zoom_out = nullptr, *zoom_label = nullptr;
  PreviewView view;
  PreviewPicture picture;
  // A button is down over the preview (a drag, a stroke or a pan).
  bool button_held = false;
  // A pan with the middle button: the pointer and the view point at its press.
  bool panning = false;
  double pan_press_x = 0, pan_press_y = 0, pan_start_x = 0, pan_start_y = 0;
  GuideDrag drag;
  FreehandTarget freehand_target = FREEHAND_NONE;
  bool drawing = false;
  FreehandStroke stroke;
  GdkCursorType shown_cursor = GDK_ARROW;
  // The hint stays away from a press until the pointer has left the preview,
  // so it never covers the lines being dragged or just dragged.
  bool hint_quiet = false;
  // Runs once the pointer of a drag that moves every line has rested.
  guint rest_timer = 0;
};
PreviewState state;

// The picture and the view back to what a new preview starts from; the
// widget keeps its size.
void release_picture() {
  picture_drop(state.picture);
  line_cache_release();
  window_frame_release();
  const double width = state.view.width, height = state.view.height;
  state.view = PreviewView{};
  view_set_size(state.view, width, height);
}

void stop_rest_timer() {
  if (state.rest_timer != 0) g_source_remove(state.rest_timer);
  state.rest_timer = 0;
}

// Everything back to what a new preview starts from.
void reset_state() {
  stop_rest_timer();
  line_cache_set_drag(LineDrag::None);
  release_picture();
  state = PreviewState{};
}

GdkCursorType cursor_type(GuideCursor cursor) {
  switch (cursor) {
    case GuideCursor::Move: return GDK_FLEUR;
    case GuideCursor::Edge: return GDK_SIZING;
    case GuideCursor::Handle: return GDK_CROSSHAIR;
    case GuideCursor::Nothing: break;
  }
  return GDK_ARROW;
}

// Shows the cursor of that shape over the preview (made once, kept).
void show_cursor(GdkCursorType type) {
  static GdkCursor *cursors[GDK_LAST_CURSOR / 2 + 1] = {};
  GdkWindow *window = state.widget ? gtk_widget_get_window(state.widget) : nullptr;
  if (window == nullptr || type < 0 || type / 2 >= static_cast<int>(G_N_ELEMENTS(cursors))) return;
  GdkCursor *&cursor = cursors[type / 2];
  if (cursor == nullptr) cursor = gdk_cursor_new_for_display(gdk_window_get_display(window), type);
  state.shown_cursor = type;
  gdk_window_set_cursor(window, cursor);
}

void set_held(bool held) {
  state.button_held = held;
  state.picture.held = held || state.panning;
}

void update_zoom_buttons() {
  if (state.zoom_in) gtk_widget_set_sensitive(state.zoom_in, view_can_zoom(state.view, 1));
  if (state.zoom_out) gtk_widget_set_sensitive(state.zoom_out, view_can_zoom(state.view, -1));
  if (state.zoom_label)
    gtk_label_set_text(GTK_LABEL(state.zoom_label),
                       view_zoom_label(state.view, _("Fit")).c_str());
}

// The view's size: the widget's allocation once it is realized and has one,
// else the PREVIEW_SIZE square.
void sync_view_size() {
  double w = PREVIEW_SIZE, h = PREVIEW_SIZE;
  if (state.widget && gtk_widget_get_realized(state.widget)) {
    GtkAllocation allocation;
    gtk_widget_get_allocation(state.widget, &allocation);
    if (allocation.width > 1 && allocation.height > 1) {
      w = allocation.width;
      h = allocation.height;
    }
  }
  view_set_size(state.view, w, h);
}

// A fitting zoom keeps fitting and the view stays inside the area.
void size_changed() {
  sync_view_size();
  picture_view_changed(state.picture);
  update_zoom_buttons();
}
void on_size_allocate(GtkWidget *, GtkAllocation *, gpointer) { size_changed(); }
void on_realize(GtkWidget *, gpointer) { size_changed(); }

void view_changed() {
  picture_view_changed(state.picture);
  preview_queue_draw();
}

// One zoom step about window point (ax, ay); a view that then shows only
// part of the work area is moved to `focus` when one is given.
void zoom_step(int direction, double ax, double ay, const Point2 *focus = nullptr) {
  const bool showed_all = view_shows_all(state.view);
  if (view_zoom_step(state.view, direction, ax, ay)) {
    if (focus && showed_all && !view_shows_all(state.view) && finite(*focus))
      view_pan_to(state.view, focus->x, focus->y);
    picture_view_changed(state.picture);
    picture_prepare_cache(state.picture);
  }
  update_zoom_buttons();
  preview_queue_draw();
}

// What the guides see now.
GuideInput guide_input(EffectParams *params) {
  return {params, area_resolution(params), area_shapes(params),
          HitView{view_matrix(state.view), view_scale(state.view)}, state.freehand_target};
}

// The work-area point under window point (x, y).
Point2 to_user(double x, double y) {
  cairo_matrix_t m = view_matrix(state.view);
  if (cairo_matrix_invert(&m) != CAIRO_STATUS_SUCCESS) return {NAN, NAN};
  cairo_matrix_transform_point(&m, &x, &y);
  return {x, y};
}

// The cursor for a pointer at window point (x, y) with no button held.
void hover(EffectParams *params, double x, double y) {
  GdkCursorType type = GDK_ARROW;
  if (state.freehand_target != FREEHAND_NONE) {
    type = GDK_PENCIL;
  } else if (const Guide *guide = guide_for(params->area_type)) {
    type = cursor_type(guide->cursor_at(guide_input(params), to_user(x, y)));
  }
  if (type != state.shown_cursor) show_cursor(type);
}

// The handles whose drag moves every line alike.
bool moves_all_lines(GuideHandle handle) {
  return handle == GuideHandle::RadialCentre || handle == GuideHandle::BandMove;
}

gboolean drag_rests(gpointer) {
  state.rest_timer = 0;
  line_cache_set_drag(LineDrag::Resting);
  preview_queue_draw();
  return G_SOURCE_REMOVE;
}

// The lines of such a drag follow the pointer cheaply while it moves.
void line_drag(LineDrag phase) {
  stop_rest_timer();
  line_cache_set_drag(phase);
  if (phase == LineDrag::Moving) {
    const double wait = std::clamp(2 * line_cache_last_render_ms(), DRAG_REST_MS, 10000.0);
    state.rest_timer = g_timeout_add(static_cast<guint>(wait), drag_rests, nullptr);
  } else {
    preview_queue_draw();
  }
}

void apply(const GuideEdits &edits) {
  if (edits.count > 0 && state.apply_edits) state.apply_edits(edits);
}

// A press, motion or release for the handles or the outline being drawn.
void pass_on(GdkEvent *event, EffectParams *params) {
  const Guide *guide = guide_for(params->area_type);
  if (guide == nullptr) return;
  const bool moving = event->type == GDK_MOTION_NOTIFY;
  const Point2 p = moving ? to_user(event->motion.x, event->motion.y)
                          : to_user(event->button.x, event->button.y);
  const GuideInput in = guide_input(params);
  switch (event->type) {
    case GDK_BUTTON_PRESS:
      if (state.drawing) freehand_stroke_begin(state.stroke, p);
      else state.drag = guide->press(in, p);
      if (!state.drawing && moves_all_lines(state.drag.handle)) line_drag(LineDrag::Resting);
      break;
    case GDK_MOTION_NOTIFY:
      if (state.drawing) {
        freehand_stroke_to(state.stroke, params, state.freehand_target, in.shapes, p);
      } else {
        if (moves_all_lines(state.drag.handle)) line_drag(LineDrag::Moving);
        apply(guide->motion(in, state.drag, p));
      }
      preview_queue_draw();
      break;
    case GDK_BUTTON_RELEASE:
      if (state.stroke.active && state.freehand_target == FREEHAND_PATH_SPINE) {
        freehand_stroke_end(state.stroke, params, state.freehand_target, in.shapes);
        GuideEdits drawn;
        drawn.add(GuideField::PathSpineDrawn, params->path_spine_points_count);
        apply(drawn);
      }
      freehand_stroke_end(state.stroke, params, state.freehand_target, in.shapes);
      apply(guide->release(in, state.drag, p));
      if (moves_all_lines(state.drag.handle)) line_drag(LineDrag::None);
      state.drag = GuideDrag{};
      break;
    default:
      break;
  }
}

gboolean on_scroll(const GdkEventScroll &scroll) {
  if (state.button_held) return FALSE;
  const GdkScrollDirection d = scroll.direction;
  const bool vertical = d == GDK_SCROLL_UP || d == GDK_SCROLL_DOWN;
  const bool forward = d == GDK_SCROLL_DOWN || d == GDK_SCROLL_RIGHT;
  const bool ctrl = (scroll.state & GDK_CONTROL_MASK) != 0;
  // Shift turns the wheel sideways, as elsewhere.
  const bool horizontal = !vertical || (scroll.state & GDK_SHIFT_MASK) != 0;
  if (!ctrl && view_overflows(state.view, horizontal)) {
    const double share = WHEEL_PAN_SHARE * (forward ? 1 : -1);
    if (horizontal) view_pan_by(state.view, share * state.view.width, 0);
    else view_pan_by(state.view, 0, share * state.view.height);
    view_changed();
    return FALSE;
  }
  // Where nothing is hidden, the wheel zooms about the pointer.
  if (vertical) zoom_step(d == GDK_SCROLL_UP ? 1 : -1, scroll.x, scroll.y);
  return FALSE;
}

gboolean on_query_tooltip(GtkWidget *widget, gint, gint, gboolean, GtkTooltip *, gpointer) {
  if (!state.hint_quiet && !state.button_held) return FALSE;  // the widget's own hint
  g_signal_stop_emission_by_name(widget, "query-tooltip");
  return FALSE;
}

gboolean on_event(GtkWidget *, GdkEvent *event, EffectParams *params) {
  if (event->type == GDK_BUTTON_PRESS) state.hint_quiet = true;
  if (event->type == GDK_LEAVE_NOTIFY && !state.button_held) state.hint_quiet = false;
  switch (event->type) {
    case GDK_BUTTON_RELEASE:
      if (state.panning) {
        if (event->button.button != 2) return FALSE;
        state.panning = false;
        set_held(false);
        picture_view_changed(state.picture);
        hover(params, event->button.x, event->button.y);
        return FALSE;
      }
      set_held(false);
      state.drawing = false;
      picture_view_changed(state.picture);
      break;
    case GDK_SCROLL:
      return on_scroll(event->scroll);
    case GDK_BUTTON_PRESS:
      if (state.panning) return FALSE;
      if (event->button.button == 2 && !state.button_held) {
        state.panning = true;
        set_held(true);
        state.pan_press_x = event->button.x;
        state.pan_press_y = event->button.y;
        state.pan_start_x = state.view.pan_x;
        state.pan_start_y = state.view.pan_y;
        show_cursor(GDK_FLEUR);
        return FALSE;
      }
      set_held(true);
      if (state.freehand_target != FREEHAND_NONE) state.drawing = true;
      break;
    case GDK_MOTION_NOTIFY:
      if (state.panning) {
        const double k = view_scale(state.view);
        view_pan_to(state.view, state.pan_start_x - (event->motion.x - state.pan_press_x) / k,
                    state.pan_start_y - (event->motion.y - state.pan_press_y) / k);
        preview_queue_draw();
        return FALSE;
      }
      if (!state.button_held) {
        hover(params, event->motion.x, event->motion.y);
        return FALSE;
      }
      break;
    default:
      // Exposes, keys, double clicks...: the guides act on presses, motions
      // and releases only.
      return FALSE;
  }
  pass_on(event, params);
  return FALSE;
}

// When ZIPSTROKE_PREVIEW_TIMING names a file, each paint of the preview
// appends "START_US DURATION_US" to it (monotonic microseconds), so that the
// redraw rate can be measured in the running host; unset, nothing is opened.
FILE *paint_timing_log() {
  static FILE *const log = [] {
    const char *path = g_getenv("ZIPSTROKE_PREVIEW_TIMING");
    FILE *file = path != nullptr && *path != '\0' ? std::fopen(path, "a") : nullptr;
    if (file != nullptr) std::setvbuf(file, nullptr, _IOLBF, 0);
    return file;
  }();
  return log;
}

void on_paint(GtkWidget *, cairo_t *cr, gpointer params) {
  FILE *log = paint_timing_log();
  const gint64 start = log != nullptr ? g_get_monotonic_time() : 0;
  window_frame_paint(cr, static_cast<EffectParams *>(params));
  if (log != nullptr) {
    std::fprintf(log, "%" G_GINT64_FORMAT " %" G_GINT64_FORMAT "\n", start,
                 g_get_monotonic_time() - start);
  }
}

void on_destroy(GtkWidget *widget, EffectParams *) {
  if (widget != state.widget) return;  // an older preview going away
  reset_state();
}

}  // namespace

GtkWidget *preview_new(EffectParams *params, PreviewEditSink apply_edits) {
  reset_state();
  GtkWidget *area = gtk_drawing_area_new();
  state.widget = area;
  state.params = params;
  state.apply_edits = apply_edits;
  state.picture.redraw = preview_queue_draw;
  // GTK 3 sends wheel events only to widgets that ask for them.
  // Motions without a button show what a press would grab.
  gtk_widget_set_events(area, GDK_POINTER_MOTION_MASK | GDK_BUTTON_MOTION_MASK |
                                  GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                  GDK_SCROLL_MASK | GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK |
                                  GDK_LEAVE_NOTIFY_MASK);
  compat_connect_draw(area, on_paint, params);
  g_signal_connect(area, "event", G_CALLBACK(on_event), params);
  g_signal_connect(area, "query-tooltip", G_CALLBACK(on_query_tooltip), nullptr);
  g_signal_connect(area, "destroy", G_CALLBACK(on_destroy), params);
  g_signal_connect(area, "size-allocate", G_CALLBACK(on_size_allocate), nullptr);
  g_signal_connect(area, "realize", G_CALLBACK(on_realize), nullptr);
  gtk_widget_set_size_request(area, PREVIEW_SIZE, PREVIEW_SIZE);
  preview_picture_init(params->image_id, params->edit_mode == EditMode::Replace ? params->drawable_id : -1);
  return area;
}

void preview_attach_zoom_buttons(GtkWidget *zoom_in, GtkWidget *zoom_out, GtkWidget *label) {
  state.zoom_in = zoom_in;
  state.zoom_out = zoom_out;
  state.zoom_label = label;
  update_zoom_buttons();
}

void preview_queue_draw() {
  if (state.widget) gtk_widget_queue_draw(state.widget);
}

void preview_set_freehand_target(FreehandTarget target) {
  state.freehand_target = target;
  state.drawing = false;
  state.stroke = FreehandStroke{};
  show_cursor(target != FREEHAND_NONE ? GDK_PENCIL : GDK_ARROW);
}

FreehandTarget preview_freehand_target() { return state.freehand_target; }
bool preview_drawing() { return state.drawing; }
GuideHandle preview_drag_handle() { return state.drag.handle; }

void preview_picture_init(int32_t image_id, int32_t excluded_layer) {
  preview_picture_init_area(image_id, work_area_of(image_id), excluded_layer);
}

void preview_picture_init_area(int32_t image_id, const WorkArea &area, int32_t excluded_layer) {
  picture_take(state.picture, state.view, image_id, area, excluded_layer);
  update_zoom_buttons();
}

void preview_picture_release() { release_picture(); }

void preview_picture_size(int *width, int *height) {
  *width = state.picture.width;
  *height = state.picture.height;
}

void preview_apply_transform(cairo_t *cr) {
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  view_transform(state.view, &m);
  cairo_set_matrix(cr, &m);
}

cairo_t *preview_context_new() {
  // Hit tests and coordinate conversions need only the transform, not the window.
  SurfacePtr scratch(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
  cairo_t *cr = cairo_create(scratch.get());
  preview_apply_transform(cr);
  return cr;
}

double preview_length_to_user(double px) { return px / view_scale(state.view); }

void preview_paint_picture(cairo_t *cr) { picture_paint(state.picture, cr); }

void preview_draw(cairo_t *cr, EffectParams *params) {
  preview_paint_picture(cr);
  const Guide *guide = guide_for(params->area_type);
  if (guide == nullptr) return;
  line_cache_draw(cr, params, state.picture.origin_x, state.picture.origin_y,
                  static_cast<int>(state.view.width), static_cast<int>(state.view.height));
  guide->draw(cr, guide_input(params));
  // A spine being drawn shows as drawn so far.
  const std::vector<Point2> &drawn = state.stroke.points;
  if (state.drawing && state.freehand_target == FREEHAND_PATH_SPINE && drawn.size() >= 2) {
    cairo_new_path(cr);
    for (const Point2 &p : drawn) cairo_line_to(cr, p.x, p.y);
    cairo_set_line_width(cr, GUIDE_WIDTH / view_scale(state.view));
    guide_stroke_outline(cr, true);
  }
}

void preview_draw_window(cairo_t *cr, EffectParams *params) {
  double x = 0, y = 0;
  cairo_user_to_device(cr, &x, &y);
  state.picture.origin_x = x;
  state.picture.origin_y = y;
  {
    CairoSaveGuard saved(cr);
    cairo_set_source_rgb(cr, BACKGROUND, BACKGROUND, BACKGROUND);
    cairo_paint(cr);
  }
  CairoSaveGuard saved(cr);
  preview_apply_transform(cr);
  preview_draw(cr, params);
}

void preview_zoom_in() {
  // Closer in shows where the lines are rather than the middle: from the
  // whole area the lines' point comes to the middle, and while it is in view
  // it stays where it is.
  const Guide *guide = state.params ? guide_for(state.params->area_type) : nullptr;
  const Point2 focus = guide ? guide->focus(guide_input(state.params)) : Point2{NAN, NAN};
  double x = focus.x, y = focus.y;
  const cairo_matrix_t m = view_matrix(state.view);
  cairo_matrix_transform_point(&m, &x, &y);
  if (finite(focus) && x >= 0 && x <= state.view.width && y >= 0 && y <= state.view.height)
    zoom_step(1, x, y, &focus);
  else
    zoom_step(1, state.view.width / 2, state.view.height / 2);
}

void preview_zoom_out() { zoom_step(-1, state.view.width / 2, state.view.height / 2); }

double preview_scale_get() { return state.view.thumb_scale; }
int preview_zoom_get() { return view_zoom_percent(state.view); }
double preview_view_scale() { return view_scale(state.view); }

void preview_view_size(int *width, int *height) {
  *width = static_cast<int>(state.view.width);
  *height = static_cast<int>(state.view.height);
}

void preview_pan_get(double *x, double *y) {
  *x = state.view.pan_x;
  *y = state.view.pan_y;
}

void preview_pan_to(double x, double y) {
  view_pan_to(state.view, x, y);
  view_changed();
}

GdkCursorType preview_cursor_get() { return state.shown_cursor; }
bool preview_detail_pending() { return state.picture.timer != 0; }
bool preview_detail_fetch_now() { return picture_fetch_detail(state.picture); }

void preview_detail_size(int *width, int *height) {
  const SurfacePtr &s = state.picture.detail.surface;
  *width = s ? cairo_image_surface_get_width(s.get()) : 0;
  *height = s ? cairo_image_surface_get_height(s.get()) : 0;
}
