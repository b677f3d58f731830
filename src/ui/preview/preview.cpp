#include "preview.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "cairo_ptr.h"
#include "color.h"
#include "dialog_widgets.h"
#include "gtk_compat.h"
#include "host_services.h"
#include "image_services.h"
#include "parallel_guides.h"
#include "preview_internal.h"
#include "radiation_guides.h"
#include "zipstroke_parallel.h"
#include "zipstroke_radiation.h"

namespace {

using PixbufPtr = std::unique_ptr<GdkPixbuf, FreeWith<g_object_unref>>;

// The background grey: 0x4567 on every channel.
constexpr double BACKGROUND = 0x4567 / 65535.0;

GtkWidget *preview_area = nullptr;
// The thumbnail, at most 500 pixels on its longer side, converted once into a
// cairo surface; painted under the preview transform scaled up to the work
// area, so its pixels cover the same work-area rectangles as a full-size
// nearest-neighbour enlargement would, without keeping one.
SurfacePtr picture;
int picture_width = 0;
int picture_height = 0;
// The picture as it lands on the screen under one transform: made when the
// picture is taken and at each zoom step (or on first use under another
// transform), so that an expose only copies it, at a whole-pixel offset.
struct PictureCache {
  SurfacePtr surface;
  cairo_matrix_t matrix;  // the user-to-device matrix it was made for
  int x, y;               // device position of its top-left pixel
};
PictureCache picture_cache;
constexpr int PICTURE_CACHE_MAX = 4096;  // larger device areas are painted directly

// Size of the work area; known from preview_new until the widget is destroyed.
bool has_work_area = false;
int work_width = 0;
int work_height = 0;

double preview_scale = 1.0;
int preview_zoom = 100;
int button_held = 0;
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

gboolean preview_event(GtkWidget *widget, GdkEvent *event, EffectParams *params) {
  switch (event->type) {
    case GDK_BUTTON_RELEASE:
      button_held = 0;
      freehand_drawing = 0;
      break;
    case GDK_SCROLL:
      if (!button_held && event->scroll.direction == GDK_SCROLL_UP) {
        preview_zoom_in();
        return FALSE;
      }
      if (!button_held && event->scroll.direction == GDK_SCROLL_DOWN) {
        preview_zoom_out();
        return FALSE;
      }
      return FALSE;  // the area handlers change nothing for it
    case GDK_BUTTON_PRESS:
      button_held = 1;
      if (freehand_edit_target != 0) freehand_drawing = 1;
      break;
    case GDK_MOTION_NOTIFY:
      break;
    default:
      // Exposes, keys, double clicks...: the area handlers act on presses,
      // motions and releases only, so nothing else needs a context.
      return FALSE;
  }
  return pass_on(widget, event, params);
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
}

// Paints the thumbnail scaled up to the work area with nearest sampling.
void paint_picture_direct(cairo_t *cr) {
  CairoSaveGuard saved(cr);
  cairo_scale(cr, static_cast<double>(work_width) / picture_width,
              static_cast<double>(work_height) / picture_height);
  cairo_set_source_surface(cr, picture.get(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr, 0, 0, picture_width, picture_height);
  cairo_fill(cr);
}

bool same_matrix(const cairo_matrix_t &a, const cairo_matrix_t &b) {
  return a.xx == b.xx && a.yx == b.yx && a.xy == b.xy && a.yy == b.yy && a.x0 == b.x0 &&
         a.y0 == b.y0;
}

void build_picture_cache(const cairo_matrix_t &m) {
  picture_cache.surface.reset();
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
  cairo_t *cr = cairo_create(surface.get());
  cairo_translate(cr, -left, -top);
  cairo_transform(cr, &m);
  paint_picture_direct(cr);
  const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  if (!ok) return;
  cairo_surface_flush(surface.get());
  picture_cache.surface = std::move(surface);
  picture_cache.matrix = m;
  picture_cache.x = static_cast<int>(left);
  picture_cache.y = static_cast<int>(top);
}

// Makes the cache for the transform of a context on the window itself.
void prepare_picture_cache() {
  picture_cache.surface.reset();
  if (!picture) return;
  cairo_surface_t *scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t *cr = cairo_create(scratch);
  preview_apply_transform(cr);
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  cairo_destroy(cr);
  cairo_surface_destroy(scratch);
  build_picture_cache(m);
}

void update_zoom_buttons() {
  if (dialog_widgets.zoom_in_button)
    gtk_widget_set_sensitive(dialog_widgets.zoom_in_button, preview_zoom < 100);
  if (dialog_widgets.zoom_out_button)
    gtk_widget_set_sensitive(dialog_widgets.zoom_out_button, preview_zoom > 25);
}

}  // namespace

void preview_picture_init(int32_t image_id) { preview_picture_init_area(image_id, work_area_of(image_id)); }

void preview_picture_init_area(int32_t image_id, const WorkArea &area) {
  picture_cache.surface.reset();
  picture.reset();
  picture_width = picture_height = 0;

  const int w = std::max(area.width, 0);
  const int h = std::max(area.height, 0);
  work_width = w;
  work_height = h;
  has_work_area = true;

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
  PixbufPtr thumbnail(host.work_area_thumbnail(image_id, area.x1, area.y1, w, h, thumb_w, thumb_h));
  if (!thumbnail) return;  // no picture: the grey background shows
  picture = surface_from_pixbuf(thumbnail.get());
  if (picture) {
    picture_width = cairo_image_surface_get_width(picture.get());
    picture_height = cairo_image_surface_get_height(picture.get());
  }
  prepare_picture_cache();
}

void preview_picture_release() {
  picture_cache.surface.reset();
  picture.reset();
  picture_width = picture_height = 0;
  has_work_area = false;
  preview_zoom = 100;
}

void preview_picture_size(int *width, int *height) {
  *width = picture_width;
  *height = picture_height;
}

GtkWidget *preview_new(EffectParams *params) {
  preview_area = gtk_drawing_area_new();
  // GTK 3 sends wheel events only to widgets that ask for them.
  gtk_widget_set_events(preview_area, GDK_BUTTON_MOTION_MASK | GDK_BUTTON_PRESS_MASK |
                                          GDK_BUTTON_RELEASE_MASK | GDK_SCROLL_MASK |
                                          GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK);
  compat_connect_draw(preview_area, preview_paint, params);
  g_signal_connect(preview_area, "event", G_CALLBACK(preview_event), params);
  g_signal_connect(preview_area, "destroy", G_CALLBACK(preview_destroy), params);
  gtk_widget_set_size_request(preview_area, PREVIEW_SIZE, PREVIEW_SIZE);
  preview_picture_init(params->image_id);
  return preview_area;
}

void preview_apply_transform(cairo_t *cr) {
  const double z = preview_zoom / 100.0;
  cairo_scale(cr, preview_scale, preview_scale);
  cairo_scale(cr, z, z);
  if (has_work_area) {
    const double d = PREVIEW_SIZE / preview_scale / z;
    cairo_translate(cr, (d - work_width) * 0.5, (d - work_height) * 0.5);
  }
}

cairo_t *preview_context_new() {
  // Hit tests and coordinate conversions need only the transform, not the window.
  SurfacePtr scratch(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
  cairo_t *cr = cairo_create(scratch.get());
  preview_apply_transform(cr);
  return cr;
}

double preview_length_to_user(double px) { return px / preview_scale / (preview_zoom / 100.0); }

void preview_paint_picture(cairo_t *cr) {
  if (!picture || work_width <= 0 || work_height <= 0) return;
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  if (!picture_cache.surface || !same_matrix(m, picture_cache.matrix)) build_picture_cache(m);
  if (!picture_cache.surface) {
    paint_picture_direct(cr);
    return;
  }
  CairoSaveGuard saved(cr);
  cairo_identity_matrix(cr);
  cairo_set_source_surface(cr, picture_cache.surface.get(), picture_cache.x, picture_cache.y);
  cairo_rectangle(cr, picture_cache.x, picture_cache.y,
                  cairo_image_surface_get_width(picture_cache.surface.get()),
                  cairo_image_surface_get_height(picture_cache.surface.get()));
  cairo_fill(cr);
}

void preview_draw(cairo_t *cr, EffectParams *params) {
  preview_paint_picture(cr);
  const ColorRGBA &c = params->line_color;
  cairo_set_source_rgba(cr, color_channel_clamped(c.r), color_channel_clamped(c.g), color_channel_clamped(c.b),
                        color_channel_clamped(c.a));
  if (params->area_type == AREA_RADIATION) {
    radiation_draw_line(cr, params);
    radiation_draw_guides(cr, params);
  } else if (params->area_type == AREA_PARALLEL) {
    parallel_draw_line(cr, params);
    parallel_draw_guides(cr, params);
  }
}

void preview_draw_window(cairo_t *cr, EffectParams *params) {
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
  if (preview_zoom < 100) {
    preview_zoom += 25;
    prepare_picture_cache();
  }
  update_zoom_buttons();
  preview_queue_draw();
}

void preview_zoom_out() {
  if (preview_zoom > 25) {
    preview_zoom -= 25;
    prepare_picture_cache();
  }
  update_zoom_buttons();
  preview_queue_draw();
}

double preview_scale_get() { return preview_scale; }
int preview_zoom_get() { return preview_zoom; }
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
