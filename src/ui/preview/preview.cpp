#include "preview.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "cairo_ptr.h"
#include "color.h"
#include "dialog_widgets.h"
#include "gtk_compat.h"
#include "host_services.h"
#include "image_services.h"
#include "parallel_guides.h"
#include "picture_sampling.h"
#include "preview_internal.h"
#include "radiation_guides.h"
#include "zipstroke_parallel.h"
#include "zipstroke_radiation.h"

namespace {

using PixbufPtr = std::unique_ptr<GdkPixbuf, FreeWith<g_object_unref>>;

// The background grey: 0x4567 on every channel.
constexpr double BACKGROUND = 0x4567 / 65535.0;

GtkWidget *preview_area = nullptr;
// The thumbnail of the whole work area, at most 500 pixels on its longer
// side, converted once into a cairo surface.
SurfacePtr picture;
int picture_width = 0;
int picture_height = 0;
// Where the pictures come from: the image, the work area's corner in image
// pixels and the layer left out (-1 none).
int32_t source_image = -1;
int source_x = 0, source_y = 0;
int32_t source_excluded = -1;
// The part of the work area in view at the resolution the view needs, when
// the thumbnail is coarser than that (zoomed in, or a large window): fetched
// once the view stands still, painted over the thumbnail.  At most the
// visible rectangle, so it holds no more than the view's pixels.
struct Detail {
  SurfacePtr surface;
  int x = 0, y = 0, w = 0, h = 0;  // work-area rectangle it shows
  double per_x = 0, per_y = 0;     // its pixels per work-area pixel
};
Detail detail;
// What the view needs: a work-area rectangle and a size in pixels.
struct DetailRequest {
  int x = 0, y = 0, w = 0, h = 0, dest_w = 0, dest_h = 0;
  bool operator==(const DetailRequest &o) const {
    return x == o.x && y == o.y && w == o.w && h == o.h && dest_w == o.dest_w &&
           dest_h == o.dest_h;
  }
};
// The last request that yielded nothing (not asked again for the same view).
DetailRequest failed_request;
bool has_failed_request = false;
// The fetch waiting for the view to stand still (0 none).
guint detail_timer = 0;
constexpr guint DETAIL_DELAY_MS = 120;
// The hosts give pictures of at most this many pixels a side.
constexpr int DETAIL_MAX_SIDE = HOST_PICTURE_MAX_SIDE;
// The picture as it lands on the screen under one transform: made when the
// picture is taken and at each zoom step (or on first use under another
// transform), so that an expose only copies it, at a whole-pixel offset.
struct PictureCache {
  SurfacePtr surface;
  // When the picture is opaque and its edges cut device pixels: the device
  // pixels it covers wholly, without alpha, so that an expose copies them
  // and blends only the edges.
  SurfacePtr interior;
  int interior_x, interior_y;
  cairo_matrix_t matrix;  // the user-to-device matrix it was made for
  int x, y;               // device position of its top-left pixel
  double view_w, view_h;  // the view it was clipped to
};
PictureCache picture_cache;
// Device position of the widget's top-left corner at the last expose: GTK 3
// hands the draw handler its toplevel's context, moved to the widget, so the
// widget need not start at device (0, 0).
double view_origin_x = 0, view_origin_y = 0;
constexpr int PICTURE_CACHE_MAX = 4096;  // larger device areas are painted directly

// Size of the work area; known from preview_new until the widget is destroyed.
bool has_work_area = false;
int work_width = 0;
int work_height = 0;

// Thumbnail pixels per work-area pixel.
double preview_scale = 1.0;
// The view: view_scale() window pixels per work-area pixel, with the
// work-area point (pan_x, pan_y) at the middle of the widget.  At or below
// fitting, the zoom is a share of the fitting scale (fit_percent 25..100) and
// follows the widget's size; closer zooms are fixed magnifications of the
// image's pixels (fixed_scale), up to MAX_MAGNIFICATION.
bool zoom_fixed = false;
int fit_percent = 100;
double fixed_scale = 1.0;
constexpr double MAGNIFICATIONS[] = {0.125, 0.25, 0.5, 1, 2, 4};
constexpr double MAX_MAGNIFICATION = 4;
double pan_x = 0, pan_y = 0;
// A pan with the middle button: the pointer and the pan at its press.
bool panning = false;
double pan_press_x = 0, pan_press_y = 0, pan_start_x = 0, pan_start_y = 0;
// Share of the widget one wheel step pans by.
constexpr double WHEEL_PAN_SHARE = 0.1;
int button_held = 0;
// Cursors by shape, made on first use and kept for the process.
GdkCursorType shown_cursor = GDK_ARROW;
int freehand_edit_target = 0;
int freehand_drawing = 0;

SurfacePtr surface_from_pixbuf(GdkPixbuf *pixbuf) {
  const int w = gdk_pixbuf_get_width(pixbuf);
  const int h = gdk_pixbuf_get_height(pixbuf);
  if (w <= 0 || h <= 0) return nullptr;
  const cairo_format_t format =
      gdk_pixbuf_get_has_alpha(pixbuf) ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24;
  SurfacePtr surface(cairo_image_surface_create(format, w, h));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  cairo_t *cr = cairo_create(surface.get());
  gdk_cairo_set_source_pixbuf(cr, pixbuf, 0, 0);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface.get());
  return surface;
}

gboolean pass_on(GtkWidget *, GdkEvent *event, EffectParams *params) {
  if (params->area_type != AREA_RADIATION && params->area_type != AREA_PARALLEL) return FALSE;
  cairo_t *cr = preview_context_new();
  gboolean result = params->area_type == AREA_RADIATION
                        ? radiation_handle_event(cr, event, params)
                        : parallel_handle_event(cr, event, params);
  cairo_destroy(cr);
  return result;
}

void prepare_picture_cache();
void update_detail();

// The view's size in window pixels: the widget's allocation once it has one,
// else the PREVIEW_SIZE square.
void view_size(double *w, double *h) {
  *w = *h = PREVIEW_SIZE;
  if (preview_area == nullptr || !gtk_widget_get_realized(preview_area)) return;
  GtkAllocation allocation;
  gtk_widget_get_allocation(preview_area, &allocation);
  if (allocation.width > 1 && allocation.height > 1) {
    *w = allocation.width;
    *h = allocation.height;
  }
}

// Window pixels per work-area pixel at which the whole work area shows (never
// an enlargement).
double fit_scale() {
  double vw, vh;
  view_size(&vw, &vh);
  if (!has_work_area || work_width <= 0 || work_height <= 0) return preview_scale;
  return std::min({vw / work_width, vh / work_height, 1.0});
}

double view_scale() { return zoom_fixed ? fixed_scale : fit_scale() * fit_percent / 100.0; }

// Keeps the view inside the work area along each axis that does not fit, and
// centred along each one that does.
void clamp_pan() {
  if (!has_work_area) return;
  double vw, vh;
  view_size(&vw, &vh);
  const double k = view_scale();
  auto clamp_axis = [k](double *pan, double view, int extent) {
    const double half = view / (2 * k);
    if (!std::isfinite(*pan) || extent <= 2 * half) *pan = extent / 2.0;
    else *pan = std::clamp(*pan, half, extent - half);
  };
  clamp_axis(&pan_x, vw, work_width);
  clamp_axis(&pan_y, vh, work_height);
}

// Whether the work area, at the current zoom, is wider (or taller) than the view.
bool overflows(bool horizontal) {
  if (!has_work_area) return false;
  double vw, vh;
  view_size(&vw, &vh);
  const double k = view_scale();
  return horizontal ? work_width * k > vw + 0.5 : work_height * k > vh + 0.5;
}

void update_zoom_buttons();

// Sets the zoom to `scale` window pixels per work-area pixel (a fitting
// share when `fit` is nonzero), keeping the work-area point under the window
// point (ax, ay) where it is.
void zoom_to(bool fixed, int percent, double scale, double ax, double ay) {
  const double before = view_scale();
  double vw, vh;
  view_size(&vw, &vh);
  const double ux = pan_x + (ax - vw / 2) / before;
  const double uy = pan_y + (ay - vh / 2) / before;
  zoom_fixed = fixed;
  if (fixed) fixed_scale = scale;
  else fit_percent = percent;
  const double after = view_scale();
  pan_x = ux - (ax - vw / 2) / after;
  pan_y = uy - (ay - vh / 2) / after;
  clamp_pan();
  update_detail();
  prepare_picture_cache();
  update_zoom_buttons();
  preview_queue_draw();
}

// One zoom step closer (direction 1) or farther (-1) about the window point (ax, ay).
void zoom_step(int direction, double ax, double ay) {
  const double now = view_scale();
  const double fit = fit_scale();
  constexpr double SAME = 1e-9;
  if (direction > 0) {
    for (int percent = 25; percent <= 100; percent += 25)
      if (fit * percent / 100.0 > now * (1 + SAME)) return zoom_to(false, percent, 0, ax, ay);
    for (double m : MAGNIFICATIONS)
      if (m > now * (1 + SAME) && m > fit * (1 + SAME)) return zoom_to(true, 100, m, ax, ay);
  } else {
    for (auto it = std::rbegin(MAGNIFICATIONS); it != std::rend(MAGNIFICATIONS); ++it)
      if (*it < now * (1 - SAME) && *it > fit * (1 + SAME)) return zoom_to(true, 100, *it, ax, ay);
    for (int percent = 100; percent >= 25; percent -= 25)
      if (fit * percent / 100.0 < now * (1 - SAME)) return zoom_to(false, percent, 0, ax, ay);
  }
  update_zoom_buttons();
  preview_queue_draw();
}

void view_middle(double *x, double *y) {
  double vw, vh;
  view_size(&vw, &vh);
  *x = vw / 2;
  *y = vh / 2;
}

void pan_by(double dx, double dy) {
  const double k = view_scale();
  pan_x += dx / k;
  pan_y += dy / k;
  clamp_pan();
  update_detail();
  preview_queue_draw();
}

}  // namespace

void preview_show_cursor(GdkCursorType type) {
  static GdkCursor *cursors[GDK_LAST_CURSOR / 2 + 1] = {};
  GdkWindow *window = preview_area ? gtk_widget_get_window(preview_area) : nullptr;
  if (window == nullptr || type < 0 || type / 2 >= static_cast<int>(G_N_ELEMENTS(cursors))) return;
  GdkCursor *&cursor = cursors[type / 2];
  if (cursor == nullptr) cursor = gdk_cursor_new_for_display(gdk_window_get_display(window), type);
  shown_cursor = type;
  gdk_window_set_cursor(window, cursor);
}

namespace {

// The cursor for a pointer at window point (x, y) with no button held.
void hover(EffectParams *params, double x, double y) {
  GdkCursorType type = GDK_ARROW;
  if (freehand_edit_target != 0) {
    type = GDK_PENCIL;
  } else if (params->area_type == AREA_RADIATION || params->area_type == AREA_PARALLEL) {
    cairo_t *cr = preview_context_new();
    cairo_device_to_user(cr, &x, &y);
    type = params->area_type == AREA_RADIATION ? radiation_cursor_at(cr, params, x, y)
                                               : parallel_cursor_at(cr, params, x, y);
    cairo_destroy(cr);
  }
  if (type != shown_cursor) preview_show_cursor(type);
}

gboolean preview_event(GtkWidget *widget, GdkEvent *event, EffectParams *params) {
  switch (event->type) {
    case GDK_BUTTON_RELEASE:
      if (panning) {
        if (event->button.button != 2) return FALSE;
        panning = false;
        button_held = 0;
        update_detail();
        hover(params, event->button.x, event->button.y);
        return FALSE;
      }
      button_held = 0;
      freehand_drawing = 0;
      update_detail();
      break;
    case GDK_SCROLL: {
      if (button_held) return FALSE;
      const GdkScrollDirection d = event->scroll.direction;
      const bool vertical = d == GDK_SCROLL_UP || d == GDK_SCROLL_DOWN;
      const bool forward = d == GDK_SCROLL_DOWN || d == GDK_SCROLL_RIGHT;
      const bool ctrl = (event->scroll.state & GDK_CONTROL_MASK) != 0;
      // Shift turns the wheel sideways, as elsewhere.
      const bool horizontal = !vertical || (event->scroll.state & GDK_SHIFT_MASK) != 0;
      if (!ctrl && overflows(horizontal)) {
        double vw, vh;
        view_size(&vw, &vh);
        const double step = WHEEL_PAN_SHARE * (horizontal ? vw : vh) * (forward ? 1 : -1);
        if (horizontal) pan_by(step, 0);
        else pan_by(0, step);
        return FALSE;
      }
      // Where nothing is hidden, the wheel zooms about the pointer.
      if (vertical) zoom_step(d == GDK_SCROLL_UP ? 1 : -1, event->scroll.x, event->scroll.y);
      return FALSE;  // the area handlers change nothing for it
    }
    case GDK_BUTTON_PRESS:
      if (panning) return FALSE;
      if (event->button.button == 2 && !button_held) {
        panning = true;
        button_held = 1;
        pan_press_x = event->button.x;
        pan_press_y = event->button.y;
        pan_start_x = pan_x;
        pan_start_y = pan_y;
        preview_show_cursor(GDK_FLEUR);
        return FALSE;
      }
      button_held = 1;
      if (freehand_edit_target != 0) freehand_drawing = 1;
      break;
    case GDK_MOTION_NOTIFY:
      if (panning) {
        const double k = view_scale();
        pan_x = pan_start_x - (event->motion.x - pan_press_x) / k;
        pan_y = pan_start_y - (event->motion.y - pan_press_y) / k;
        clamp_pan();
        preview_queue_draw();
        return FALSE;
      }
      if (!button_held) {
        hover(params, event->motion.x, event->motion.y);
        return FALSE;
      }
      break;
    default:
      // Exposes, keys, double clicks...: the area handlers act on presses,
      // motions and releases only, so nothing else needs a context.
      return FALSE;
  }
  return pass_on(widget, event, params);
}

// The widget's new size keeps a fitting zoom fitting and the view inside the area.
void preview_size_allocate(GtkWidget *, GtkAllocation *, gpointer) {
  clamp_pan();
  update_detail();
  update_zoom_buttons();
}

void preview_paint(GtkWidget *, cairo_t *cr, gpointer params) {
  preview_draw_window(cr, static_cast<EffectParams *>(params));
}

void preview_destroy(GtkWidget *widget, EffectParams *) {
  if (widget != preview_area) return;  // an older preview going away
  preview_picture_release();
  preview_area = nullptr;
  button_held = 0;
  freehand_drawing = 0;
  panning = false;
  shown_cursor = GDK_ARROW;
}

PlacedPicture thumbnail_placed() {
  return {picture.get(), 0, 0, static_cast<double>(picture_width) / work_width,
          static_cast<double>(picture_height) / work_height};
}

PlacedPicture detail_placed() {
  return {detail.surface.get(), static_cast<double>(detail.x), static_cast<double>(detail.y),
          detail.per_x, detail.per_y};
}

// Paints one picture with cairo's own sampling: averaged where the picture
// is finer than the screen, sharp blocks where it is coarser.
void paint_placed_direct(cairo_t *cr, const PlacedPicture &p) {
  CairoSaveGuard saved(cr);
  cairo_translate(cr, p.x0, p.y0);
  cairo_scale(cr, 1 / p.per_x, 1 / p.per_y);
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  const bool finer = std::hypot(m.xx, m.yx) < 1 || std::hypot(m.xy, m.yy) < 1;
  cairo_set_source_surface(cr, p.surface, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), finer ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr, 0, 0, cairo_image_surface_get_width(p.surface),
                  cairo_image_surface_get_height(p.surface));
  cairo_fill(cr);
}

// Paints the thumbnail over the work area, and the detail over its part.
void paint_picture_direct(cairo_t *cr) {
  paint_placed_direct(cr, thumbnail_placed());
  if (detail.surface) paint_placed_direct(cr, detail_placed());
}

bool same_matrix(const cairo_matrix_t &a, const cairo_matrix_t &b) {
  return a.xx == b.xx && a.yx == b.yx && a.xy == b.xy && a.yy == b.yy && a.x0 == b.x0 &&
         a.y0 == b.y0;
}

bool opaque(cairo_surface_t *surface) {
  return surface == nullptr || cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
}

// The whole device pixels [x0, x1) x [y0, y1) of the cache as an RGB24 copy.
void make_cache_interior(int x0, int y0, int x1, int y1) {
  picture_cache.interior.reset();
  cairo_surface_t *all = picture_cache.surface.get();
  if (x1 - x0 < 1 || y1 - y0 < 1) return;
  SurfacePtr interior(cairo_image_surface_create(CAIRO_FORMAT_RGB24, x1 - x0, y1 - y0));
  if (cairo_surface_status(interior.get()) != CAIRO_STATUS_SUCCESS) return;
  const unsigned char *from = cairo_image_surface_get_data(all);
  const int from_stride = cairo_image_surface_get_stride(all);
  unsigned char *to = cairo_image_surface_get_data(interior.get());
  const int to_stride = cairo_image_surface_get_stride(interior.get());
  for (int y = y0; y < y1; ++y)
    std::memcpy(to + static_cast<size_t>(y - y0) * to_stride,
                from + static_cast<size_t>(y - picture_cache.y) * from_stride +
                    4 * static_cast<size_t>(x0 - picture_cache.x),
                4 * static_cast<size_t>(x1 - x0));
  cairo_surface_mark_dirty(interior.get());
  picture_cache.interior = std::move(interior);
  picture_cache.interior_x = x0;
  picture_cache.interior_y = y0;
}

void build_picture_cache(const cairo_matrix_t &m) {
  picture_cache = PictureCache{};
  double view_w, view_h;
  view_size(&view_w, &view_h);
  double min_x = HUGE_VAL, min_y = HUGE_VAL, max_x = -HUGE_VAL, max_y = -HUGE_VAL;
  for (int corner = 0; corner < 4; ++corner) {
    double x = corner & 1 ? work_width : 0;
    double y = corner & 2 ? work_height : 0;
    cairo_matrix_transform_point(&m, &x, &y);
    min_x = std::min(min_x, x);
    min_y = std::min(min_y, y);
    max_x = std::max(max_x, x);
    max_y = std::max(max_y, y);
  }
  if (!std::isfinite(min_x) || !std::isfinite(min_y) || !std::isfinite(max_x) ||
      !std::isfinite(max_y))
    return;
  // Only what the view shows is kept: closer zooms cost no more than fitting.
  min_x = std::max(min_x, view_origin_x);
  min_y = std::max(min_y, view_origin_y);
  max_x = std::min(max_x, view_origin_x + view_w);
  max_y = std::min(max_y, view_origin_y + view_h);
  const double left = std::floor(min_x), top = std::floor(min_y);
  const double width = std::ceil(max_x) - left, height = std::ceil(max_y) - top;
  if (!(width >= 1 && height >= 1 && width <= PICTURE_CACHE_MAX && height <= PICTURE_CACHE_MAX) ||
      std::fabs(left) > 1e6 || std::fabs(top) > 1e6)
    return;
  // An opaque picture that covers whole device pixels needs no alpha: it is then a plain copy.
  const bool whole_pixels = left == min_x && top == min_y && left + width == max_x &&
                            top + height == max_y;
  const cairo_format_t format =
      whole_pixels && cairo_image_surface_get_format(picture.get()) == CAIRO_FORMAT_RGB24
          ? CAIRO_FORMAT_RGB24
          : CAIRO_FORMAT_ARGB32;
  SurfacePtr surface(
      cairo_image_surface_create(format, static_cast<int>(width), static_cast<int>(height)));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return;
  const int x = static_cast<int>(left), y = static_cast<int>(top);
  // The thumbnail around the detail's rectangle (in up to four pieces that
  // do not overlap), the detail in it: each work-area point drawn once.
  std::vector<PlacedPicture> pieces;
  if (detail.surface) {
    const double W = work_width, H = work_height;
    const double dx0 = detail.x, dy0 = detail.y, dx1 = detail.x + detail.w,
                 dy1 = detail.y + detail.h;
    const double rects[4][4] = {{0, 0, W, dy0}, {0, dy1, W, H}, {0, dy0, dx0, dy1},
                                {dx1, dy0, W, dy1}};
    for (const auto &r : rects) {
      if (!(r[2] > r[0] && r[3] > r[1])) continue;
      PlacedPicture piece = thumbnail_placed();
      piece.clip_x0 = r[0], piece.clip_y0 = r[1], piece.clip_x1 = r[2], piece.clip_y1 = r[3];
      pieces.push_back(piece);
    }
    pieces.push_back(detail_placed());
  } else {
    pieces.push_back(thumbnail_placed());
  }
  bool composited = true;
  for (const PlacedPicture &piece : pieces)
    composited = composited && picture_composite(piece, m, surface.get(), x, y);
  if (!composited) {
    // Not a plain scale and shift: cairo samples it.
    cairo_t *cr = cairo_create(surface.get());
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_translate(cr, -left, -top);
    cairo_transform(cr, &m);
    paint_picture_direct(cr);
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    if (!ok) return;
  }
  cairo_surface_flush(surface.get());
  picture_cache.surface = std::move(surface);
  picture_cache.matrix = m;
  picture_cache.view_w = view_w;
  picture_cache.view_h = view_h;
  picture_cache.x = x;
  picture_cache.y = y;
  if (format == CAIRO_FORMAT_ARGB32 && opaque(picture.get()) && opaque(detail.surface.get()))
    make_cache_interior(static_cast<int>(std::ceil(min_x)), static_cast<int>(std::ceil(min_y)),
                        static_cast<int>(std::floor(max_x)), static_cast<int>(std::floor(max_y)));
}

// The work-area rectangle in view and the size in pixels the view needs it
// at; false when the thumbnail is already as fine as the screen there.
bool detail_wanted(DetailRequest *request) {
  if (!picture || !has_work_area || work_width <= 0 || work_height <= 0) return false;
  const double k = view_scale();
  const double thumb = std::min(static_cast<double>(picture_width) / work_width,
                                static_cast<double>(picture_height) / work_height);
  constexpr double SAME = 1e-9;
  double resolution = std::min(k, 1.0);  // no finer than the image's own pixels
  if (!(resolution > thumb * (1 + SAME))) return false;
  double vw, vh;
  view_size(&vw, &vh);
  const double x0 = std::floor(std::max(0.0, pan_x - vw / (2 * k)));
  const double x1 = std::ceil(std::min(static_cast<double>(work_width), pan_x + vw / (2 * k)));
  const double y0 = std::floor(std::max(0.0, pan_y - vh / (2 * k)));
  const double y1 = std::ceil(std::min(static_cast<double>(work_height), pan_y + vh / (2 * k)));
  if (!(x1 > x0 && y1 > y0)) return false;
  const int w = static_cast<int>(x1 - x0), h = static_cast<int>(y1 - y0);
  resolution = std::min({resolution, static_cast<double>(DETAIL_MAX_SIDE) / w,
                         static_cast<double>(DETAIL_MAX_SIDE) / h});
  if (!(resolution > thumb * (1 + SAME))) return false;
  request->x = static_cast<int>(x0);
  request->y = static_cast<int>(y0);
  request->w = w;
  request->h = h;
  request->dest_w = std::clamp(static_cast<int>(std::ceil(w * resolution - 1e-6)), 1, DETAIL_MAX_SIDE);
  request->dest_h = std::clamp(static_cast<int>(std::ceil(h * resolution - 1e-6)), 1, DETAIL_MAX_SIDE);
  return true;
}

// Whether the detail held shows the request's rectangle at least as finely.
bool detail_covers(const DetailRequest &r) {
  constexpr double SAME = 1e-9;
  return detail.surface && detail.x <= r.x && detail.y <= r.y && detail.x + detail.w >= r.x + r.w &&
         detail.y + detail.h >= r.y + r.h &&
         detail.per_x >= static_cast<double>(r.dest_w) / r.w * (1 - SAME) &&
         detail.per_y >= static_cast<double>(r.dest_h) / r.h * (1 - SAME);
}

void cancel_detail_fetch() {
  if (detail_timer != 0) g_source_remove(detail_timer);
  detail_timer = 0;
}

// Asks the host for the part of the work area in view; true when it gave it.
bool fetch_detail() {
  cancel_detail_fetch();
  DetailRequest request;
  if (!detail_wanted(&request) || detail_covers(request)) return false;
  if (has_failed_request && request == failed_request) return false;
  const HostServices &host = host_services();
  if (host.work_area_thumbnail == nullptr) return false;
  PixbufPtr pixbuf(source_excluded >= 0 && host.work_area_thumbnail_without != nullptr
                       ? host.work_area_thumbnail_without(
                             source_image, source_excluded, source_x + request.x,
                             source_y + request.y, request.w, request.h, request.dest_w,
                             request.dest_h)
                       : host.work_area_thumbnail(source_image, source_x + request.x,
                                                  source_y + request.y, request.w, request.h,
                                                  request.dest_w, request.dest_h));
  SurfacePtr surface = pixbuf ? surface_from_pixbuf(pixbuf.get()) : nullptr;
  if (!surface) {
    failed_request = request;
    has_failed_request = true;
    return false;
  }
  // Whatever size came back covers the rectangle asked for.
  detail.per_x = static_cast<double>(cairo_image_surface_get_width(surface.get())) / request.w;
  detail.per_y = static_cast<double>(cairo_image_surface_get_height(surface.get())) / request.h;
  detail.surface = std::move(surface);
  detail.x = request.x;
  detail.y = request.y;
  detail.w = request.w;
  detail.h = request.h;
  prepare_picture_cache();
  preview_queue_draw();
  return true;
}

gboolean detail_due(gpointer) {
  detail_timer = 0;
  if (!button_held && !panning) fetch_detail();  // else the release asks again
  return G_SOURCE_REMOVE;
}

// After any change of the view: drops a detail the view no longer needs, and
// fetches the one it needs once the view has stood still for a moment and
// no button is held, so a drag or a run of wheel steps fetches once, after it.
void update_detail() {
  DetailRequest request;
  if (!detail_wanted(&request)) {
    cancel_detail_fetch();
    if (detail.surface) {
      detail = Detail{};
      picture_cache = PictureCache{};
    }
    return;
  }
  if (detail_covers(request) || (has_failed_request && request == failed_request) ||
      preview_area == nullptr) {
    cancel_detail_fetch();
    return;
  }
  cancel_detail_fetch();
  if (button_held || panning) return;  // the release asks again
  detail_timer = g_timeout_add(DETAIL_DELAY_MS, detail_due, nullptr);
}

// Makes the cache for the transform of a context on the window itself.
void prepare_picture_cache() {
  picture_cache = PictureCache{};
  if (!picture) return;
  cairo_surface_t *scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t *cr = cairo_create(scratch);
  cairo_translate(cr, view_origin_x, view_origin_y);
  preview_apply_transform(cr);
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  cairo_destroy(cr);
  cairo_surface_destroy(scratch);
  build_picture_cache(m);
}

void update_zoom_buttons() {
  const double now = view_scale();
  constexpr double SAME = 1e-9;
  if (dialog_widgets.zoom_in_button)
    gtk_widget_set_sensitive(dialog_widgets.zoom_in_button,
                             now < std::max(MAX_MAGNIFICATION, fit_scale()) * (1 - SAME));
  if (dialog_widgets.zoom_out_button)
    gtk_widget_set_sensitive(dialog_widgets.zoom_out_button, now > fit_scale() * 0.25 * (1 + SAME));
}

}  // namespace

void preview_picture_init(int32_t image_id, int32_t excluded_layer) {
  preview_picture_init_area(image_id, work_area_of(image_id), excluded_layer);
}

void preview_picture_init_area(int32_t image_id, const WorkArea &area, int32_t excluded_layer) {
  cancel_detail_fetch();
  picture_cache = PictureCache{};
  picture.reset();
  picture_width = picture_height = 0;
  detail = Detail{};
  has_failed_request = false;
  source_image = image_id;
  source_x = area.x1;
  source_y = area.y1;
  source_excluded = excluded_layer;

  const int w = std::max(area.width, 0);
  const int h = std::max(area.height, 0);
  const bool same_area = has_work_area && work_width == w && work_height == h;
  work_width = w;
  work_height = h;
  has_work_area = true;
  // A new work area starts centred; the same one (the picture taken again) keeps its view.
  if (!same_area) {
    pan_x = w / 2.0;
    pan_y = h / 2.0;
  }
  clamp_pan();
  update_zoom_buttons();

  // The longer side becomes at most 500 thumbnail pixels.  A side that would
  // truncate to nothing (an area longer than 500:1) keeps one pixel.
  int thumb_w = w;
  int thumb_h = h;
  preview_scale = 1.0;
  if (w > h) {
    if (w >= PREVIEW_SIZE) {
      preview_scale = static_cast<double>(PREVIEW_SIZE) / w;
      thumb_w = PREVIEW_SIZE;
      thumb_h = static_cast<int>(preview_scale * h);
    }
  } else if (h >= PREVIEW_SIZE) {
    preview_scale = static_cast<double>(PREVIEW_SIZE) / h;
    thumb_w = static_cast<int>(preview_scale * w);
    thumb_h = PREVIEW_SIZE;
  }
  if (w <= 0 || h <= 0) return;
  thumb_w = std::max(thumb_w, 1);
  thumb_h = std::max(thumb_h, 1);

  const HostServices &host = host_services();
  if (host.work_area_thumbnail == nullptr) return;
  PixbufPtr thumbnail(
      excluded_layer >= 0 && host.work_area_thumbnail_without != nullptr
          ? host.work_area_thumbnail_without(image_id, excluded_layer, area.x1, area.y1, w, h,
                                             thumb_w, thumb_h)
          : host.work_area_thumbnail(image_id, area.x1, area.y1, w, h, thumb_w, thumb_h));
  if (!thumbnail) return;  // no picture: the grey background shows
  picture = surface_from_pixbuf(thumbnail.get());
  if (picture) {
    picture_width = cairo_image_surface_get_width(picture.get());
    picture_height = cairo_image_surface_get_height(picture.get());
  }
  prepare_picture_cache();
  update_detail();
}

void preview_picture_release() {
  cancel_detail_fetch();
  detail = Detail{};
  has_failed_request = false;
  picture_cache = PictureCache{};
  picture.reset();
  picture_width = picture_height = 0;
  has_work_area = false;
  zoom_fixed = false;
  fit_percent = 100;
  fixed_scale = 1.0;
  pan_x = pan_y = 0;
}


void preview_picture_size(int *width, int *height) {
  *width = picture_width;
  *height = picture_height;
}

GtkWidget *preview_new(EffectParams *params) {
  preview_area = gtk_drawing_area_new();
  // GTK 3 sends wheel events only to widgets that ask for them.
  // Motions without a button show what a press would grab.
  gtk_widget_set_events(preview_area, GDK_POINTER_MOTION_MASK | GDK_BUTTON_MOTION_MASK |
                                          GDK_BUTTON_PRESS_MASK |
                                          GDK_BUTTON_RELEASE_MASK | GDK_SCROLL_MASK |
                                          GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK);
  compat_connect_draw(preview_area, preview_paint, params);
  g_signal_connect(preview_area, "event", G_CALLBACK(preview_event), params);
  g_signal_connect(preview_area, "destroy", G_CALLBACK(preview_destroy), params);
  g_signal_connect(preview_area, "size-allocate", G_CALLBACK(preview_size_allocate), nullptr);
  gtk_widget_set_size_request(preview_area, PREVIEW_SIZE, PREVIEW_SIZE);
  preview_picture_init(params->image_id, params->edit_mode == EditMode::Replace ? params->drawable_id : -1);
  return preview_area;
}

void preview_apply_transform(cairo_t *cr) {
  const double k = view_scale();
  if (has_work_area) {
    double vw, vh;
    view_size(&vw, &vh);
    cairo_translate(cr, vw / 2, vh / 2);
    cairo_scale(cr, k, k);
    cairo_translate(cr, -pan_x, -pan_y);
  } else {
    cairo_scale(cr, k, k);
  }
}

cairo_t *preview_context_new() {
  // Hit tests and coordinate conversions need only the transform, not the window.
  SurfacePtr scratch(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
  cairo_t *cr = cairo_create(scratch.get());
  preview_apply_transform(cr);
  return cr;
}

double preview_length_to_user(double px) { return px / view_scale(); }

void preview_paint_picture(cairo_t *cr) {
  if (!picture || work_width <= 0 || work_height <= 0) return;
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  double view_w, view_h;
  view_size(&view_w, &view_h);
  if (!picture_cache.surface || !same_matrix(m, picture_cache.matrix) ||
      picture_cache.view_w != view_w || picture_cache.view_h != view_h)
    build_picture_cache(m);
  if (!picture_cache.surface) {
    paint_picture_direct(cr);
    return;
  }
  CairoSaveGuard saved(cr);
  cairo_identity_matrix(cr);
  const int x = picture_cache.x, y = picture_cache.y;
  const int w = cairo_image_surface_get_width(picture_cache.surface.get());
  const int h = cairo_image_surface_get_height(picture_cache.surface.get());
  cairo_surface_t *interior = picture_cache.interior.get();
  if (interior == nullptr) {
    cairo_set_source_surface(cr, picture_cache.surface.get(), x, y);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
    return;
  }
  const int ix = picture_cache.interior_x, iy = picture_cache.interior_y;
  const int iw = cairo_image_surface_get_width(interior);
  const int ih = cairo_image_surface_get_height(interior);
  cairo_set_source_surface(cr, interior, ix, iy);
  cairo_rectangle(cr, ix, iy, iw, ih);
  cairo_fill(cr);
  // The edges, blended: the rows above and below, the columns left and right.
  cairo_set_source_surface(cr, picture_cache.surface.get(), x, y);
  if (iy > y) cairo_rectangle(cr, x, y, w, iy - y);
  if (iy + ih < y + h) cairo_rectangle(cr, x, iy + ih, w, y + h - (iy + ih));
  if (ix > x) cairo_rectangle(cr, x, iy, ix - x, ih);
  if (ix + iw < x + w) cairo_rectangle(cr, ix + iw, iy, x + w - (ix + iw), ih);
  cairo_fill(cr);
}

void preview_draw(cairo_t *cr, EffectParams *params) {
  preview_paint_picture(cr);
  const ColorRGBA &c = params->line_color;
  cairo_set_source_rgba(cr, color_channel_clamped(c.r), color_channel_clamped(c.g), color_channel_clamped(c.b),
                        color_channel_clamped(c.a));
  if (params->area_type == AREA_RADIATION) {
    radiation_draw_line(cr, params, image_resolution(params->image_id));
    radiation_draw_guides(cr, params);
  } else if (params->area_type == AREA_PARALLEL) {
    parallel_draw_line(cr, params, image_resolution(params->image_id));
    parallel_draw_guides(cr, params);
  }
}

void preview_draw_window(cairo_t *cr, EffectParams *params) {
  view_origin_x = view_origin_y = 0;
  cairo_user_to_device(cr, &view_origin_x, &view_origin_y);
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
  double x, y;
  view_middle(&x, &y);
  zoom_step(1, x, y);
}

void preview_zoom_out() {
  double x, y;
  view_middle(&x, &y);
  zoom_step(-1, x, y);
}

double preview_view_scale() { return view_scale(); }

void preview_view_size(int *width, int *height) {
  double w, h;
  view_size(&w, &h);
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
}

void preview_pan_get(double *x, double *y) {
  *x = pan_x;
  *y = pan_y;
}

void preview_pan_to(double x, double y) {
  pan_x = x;
  pan_y = y;
  clamp_pan();
  update_detail();
  preview_queue_draw();
}

GdkCursorType preview_cursor_get() { return shown_cursor; }

bool preview_detail_pending() { return detail_timer != 0; }

bool preview_detail_fetch_now() { return fetch_detail(); }

void preview_detail_size(int *width, int *height) {
  *width = detail.surface ? cairo_image_surface_get_width(detail.surface.get()) : 0;
  *height = detail.surface ? cairo_image_surface_get_height(detail.surface.get()) : 0;
}

double preview_scale_get() { return preview_scale; }
int preview_zoom_get() {
  const double fit = fit_scale();
  return fit > 0 ? static_cast<int>(std::lround(100 * view_scale() / fit)) : 100;
}
int freehand_edit_target_get() { return freehand_edit_target; }
int freehand_drawing_get() { return freehand_drawing; }

void preview_queue_draw() {
  if (preview_area) gtk_widget_queue_draw(preview_area);
}

GtkWidget *preview_widget() { return preview_area; }

void preview_store_edit_target(int target) {
  freehand_edit_target = target;
  freehand_drawing = 0;
}
