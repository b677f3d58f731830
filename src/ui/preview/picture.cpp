#include "picture.h"

#include <gdk/gdk.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "cairo_save_guard.h"
#include "host_services.h"
#include "picture_sampling.h"

namespace {

using PixbufPtr = std::unique_ptr<GdkPixbuf, FreeWith<g_object_unref>>;

constexpr guint DETAIL_DELAY_MS = 120;
// The hosts give pictures of at most this many pixels a side.
constexpr int DETAIL_MAX_SIDE = HOST_PICTURE_MAX_SIDE;
constexpr int PICTURE_CACHE_MAX = 4096;  // larger device areas are painted directly
constexpr double SAME = 1e-9;

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

// The host's picture of the rectangle (x, y, w, h) of the work area at dest_w x dest_h.
SurfacePtr host_picture(const PreviewPicture &pic, int x, int y, int w, int h, int dest_w,
                        int dest_h) {
  const HostServices &host = host_services();
  if (host.work_area_thumbnail == nullptr) return nullptr;
  PixbufPtr pixbuf(pic.excluded >= 0 && host.work_area_thumbnail_without != nullptr
                       ? host.work_area_thumbnail_without(pic.image, pic.excluded, pic.x + x,
                                                          pic.y + y, w, h, dest_w, dest_h)
                       : host.work_area_thumbnail(pic.image, pic.x + x, pic.y + y, w, h, dest_w,
                                                  dest_h));
  return pixbuf ? surface_from_pixbuf(pixbuf.get()) : nullptr;
}

PlacedPicture thumbnail_placed(const PreviewPicture &pic) {
  return {pic.thumbnail.get(), 0, 0, static_cast<double>(pic.width) / pic.view->work_width,
          static_cast<double>(pic.height) / pic.view->work_height};
}

PlacedPicture detail_placed(const PreviewPicture &pic) {
  const Detail &d = pic.detail;
  return {d.surface.get(), static_cast<double>(d.x), static_cast<double>(d.y), d.per_x, d.per_y};
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
void paint_picture_direct(const PreviewPicture &pic, cairo_t *cr) {
  paint_placed_direct(cr, thumbnail_placed(pic));
  if (pic.detail.surface) paint_placed_direct(cr, detail_placed(pic));
}

bool same_matrix(const cairo_matrix_t &a, const cairo_matrix_t &b) {
  return a.xx == b.xx && a.yx == b.yx && a.xy == b.xy && a.yy == b.yy && a.x0 == b.x0 &&
         a.y0 == b.y0;
}

bool opaque(cairo_surface_t *surface) {
  return surface == nullptr || cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
}

// The whole device pixels [x0, x1) x [y0, y1) of the cache as an RGB24 copy.
void make_cache_interior(PictureCache &cache, int x0, int y0, int x1, int y1) {
  cache.interior.reset();
  cairo_surface_t *all = cache.surface.get();
  if (x1 - x0 < 1 || y1 - y0 < 1) return;
  SurfacePtr interior(cairo_image_surface_create(CAIRO_FORMAT_RGB24, x1 - x0, y1 - y0));
  if (cairo_surface_status(interior.get()) != CAIRO_STATUS_SUCCESS) return;
  const unsigned char *from = cairo_image_surface_get_data(all);
  const int from_stride = cairo_image_surface_get_stride(all);
  unsigned char *to = cairo_image_surface_get_data(interior.get());
  const int to_stride = cairo_image_surface_get_stride(interior.get());
  for (int y = y0; y < y1; ++y)
    std::memcpy(to + static_cast<size_t>(y - y0) * to_stride,
                from + static_cast<size_t>(y - cache.y) * from_stride +
                    4 * static_cast<size_t>(x0 - cache.x),
                4 * static_cast<size_t>(x1 - x0));
  cairo_surface_mark_dirty(interior.get());
  cache.interior = std::move(interior);
  cache.interior_x = x0;
  cache.interior_y = y0;
}

void build_cache(PreviewPicture &pic, const cairo_matrix_t &m) {
  pic.cache = PictureCache{};
  const PreviewView &view = *pic.view;
  const double view_w = view.width, view_h = view.height;
  double min_x = HUGE_VAL, min_y = HUGE_VAL, max_x = -HUGE_VAL, max_y = -HUGE_VAL;
  for (int corner = 0; corner < 4; ++corner) {
    double x = corner & 1 ? view.work_width : 0;
    double y = corner & 2 ? view.work_height : 0;
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
  min_x = std::max(min_x, pic.origin_x);
  min_y = std::max(min_y, pic.origin_y);
  max_x = std::min(max_x, pic.origin_x + view_w);
  max_y = std::min(max_y, pic.origin_y + view_h);
  const double left = std::floor(min_x), top = std::floor(min_y);
  const double width = std::ceil(max_x) - left, height = std::ceil(max_y) - top;
  if (!(width >= 1 && height >= 1 && width <= PICTURE_CACHE_MAX && height <= PICTURE_CACHE_MAX) ||
      std::fabs(left) > 1e6 || std::fabs(top) > 1e6)
    return;
  // An opaque picture that covers whole device pixels needs no alpha: it is then a plain copy.
  const bool whole_pixels = left == min_x && top == min_y && left + width == max_x &&
                            top + height == max_y;
  const cairo_format_t format =
      whole_pixels && cairo_image_surface_get_format(pic.thumbnail.get()) == CAIRO_FORMAT_RGB24
          ? CAIRO_FORMAT_RGB24
          : CAIRO_FORMAT_ARGB32;
  SurfacePtr surface(
      cairo_image_surface_create(format, static_cast<int>(width), static_cast<int>(height)));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return;
  const int x = static_cast<int>(left), y = static_cast<int>(top);
  // The thumbnail around the detail's rectangle (in up to four pieces that
  // do not overlap), the detail in it: each work-area point drawn once.
  std::vector<PlacedPicture> pieces;
  const Detail &detail = pic.detail;
  if (detail.surface) {
    const double W = view.work_width, H = view.work_height;
    const double dx0 = detail.x, dy0 = detail.y, dx1 = detail.x + detail.w,
                 dy1 = detail.y + detail.h;
    const double rects[4][4] = {{0, 0, W, dy0}, {0, dy1, W, H}, {0, dy0, dx0, dy1},
                                {dx1, dy0, W, dy1}};
    for (const auto &r : rects) {
      if (!(r[2] > r[0] && r[3] > r[1])) continue;
      PlacedPicture piece = thumbnail_placed(pic);
      piece.clip_x0 = r[0], piece.clip_y0 = r[1], piece.clip_x1 = r[2], piece.clip_y1 = r[3];
      pieces.push_back(piece);
    }
    pieces.push_back(detail_placed(pic));
  } else {
    pieces.push_back(thumbnail_placed(pic));
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
    paint_picture_direct(pic, cr);
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    if (!ok) return;
  }
  cairo_surface_flush(surface.get());
  PictureCache &cache = pic.cache;
  cache.surface = std::move(surface);
  cache.matrix = m;
  cache.view_w = view_w;
  cache.view_h = view_h;
  cache.x = x;
  cache.y = y;
  if (format == CAIRO_FORMAT_ARGB32 && opaque(pic.thumbnail.get()) && opaque(detail.surface.get()))
    make_cache_interior(cache, static_cast<int>(std::ceil(min_x)), static_cast<int>(std::ceil(min_y)),
                        static_cast<int>(std::floor(max_x)), static_cast<int>(std::floor(max_y)));
}

// The work-area rectangle in view and the size in pixels the view needs it
// at; false when the thumbnail is already as fine as the screen there.
bool detail_wanted(const PreviewPicture &pic, DetailRequest *request) {
  const PreviewView &v = *pic.view;
  if (!pic.thumbnail || !v.has_work_area || v.work_width <= 0 || v.work_height <= 0) return false;
  const double k = view_scale(v);
  const double thumb = std::min(static_cast<double>(pic.width) / v.work_width,
                                static_cast<double>(pic.height) / v.work_height);
  double resolution = std::min(k, 1.0);  // no finer than the image's own pixels
  if (!(resolution > thumb * (1 + SAME))) return false;
  const double x0 = std::floor(std::max(0.0, v.pan_x - v.width / (2 * k)));
  const double x1 = std::ceil(std::min(static_cast<double>(v.work_width), v.pan_x + v.width / (2 * k)));
  const double y0 = std::floor(std::max(0.0, v.pan_y - v.height / (2 * k)));
  const double y1 = std::ceil(std::min(static_cast<double>(v.work_height), v.pan_y + v.height / (2 * k)));
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
bool detail_covers(const Detail &detail, const DetailRequest &r) {
  return detail.surface && detail.x <= r.x && detail.y <= r.y && detail.x + detail.w >= r.x + r.w &&
         detail.y + detail.h >= r.y + r.h &&
         detail.per_x >= static_cast<double>(r.dest_w) / r.w * (1 - SAME) &&
         detail.per_y >= static_cast<double>(r.dest_h) / r.h * (1 - SAME);
}

void cancel_fetch(PreviewPicture &pic) {
  if (pic.timer != 0) g_source_remove(pic.timer);
  pic.timer = 0;
}

gboolean detail_due(gpointer data) {
  PreviewPicture &pic = *static_cast<PreviewPicture *>(data);
  pic.timer = 0;
  if (!pic.held) picture_fetch_detail(pic);  // else the release asks again
  return G_SOURCE_REMOVE;
}

}  // namespace

void picture_take(PreviewPicture &pic, PreviewView &view, int32_t image_id, const WorkArea &area,
                  int32_t excluded_layer) {
  cancel_fetch(pic);
  pic.cache = PictureCache{};
  pic.thumbnail.reset();
  pic.width = pic.height = 0;
  pic.detail = Detail{};
  pic.has_failed = false;
  pic.image = image_id;
  pic.x = area.x1;
  pic.y = area.y1;
  pic.excluded = excluded_layer;
  pic.view = &view;

  const int w = std::max(area.width, 0);
  const int h = std::max(area.height, 0);
  view_set_work_area(view, w, h);

  // The longer side becomes at most 500 thumbnail pixels.  A side that would
  // truncate to nothing (an area longer than 500:1) keeps one pixel.
  int thumb_w = w;
  int thumb_h = h;
  view.thumb_scale = 1.0;
  if (w > h) {
    if (w >= PREVIEW_SIZE) {
      view.thumb_scale = static_cast<double>(PREVIEW_SIZE) / w;
      thumb_w = PREVIEW_SIZE;
      thumb_h = static_cast<int>(view.thumb_scale * h);
    }
  } else if (h >= PREVIEW_SIZE) {
    view.thumb_scale = static_cast<double>(PREVIEW_SIZE) / h;
    thumb_w = static_cast<int>(view.thumb_scale * w);
    thumb_h = PREVIEW_SIZE;
  }
  if (w <= 0 || h <= 0) return;
  pic.thumbnail = host_picture(pic, 0, 0, w, h, std::max(thumb_w, 1), std::max(thumb_h, 1));
  if (!pic.thumbnail) return;  // no picture: the grey background shows
  pic.width = cairo_image_surface_get_width(pic.thumbnail.get());
  pic.height = cairo_image_surface_get_height(pic.thumbnail.get());
  picture_prepare_cache(pic);
  picture_view_changed(pic);
}

void picture_drop(PreviewPicture &pic) {
  cancel_fetch(pic);
  pic.detail = Detail{};
  pic.has_failed = false;
  pic.cache = PictureCache{};
  pic.thumbnail.reset();
  pic.width = pic.height = 0;
}

bool picture_fetch_detail(PreviewPicture &pic) {
  cancel_fetch(pic);
  DetailRequest request;
  if (pic.view == nullptr || !detail_wanted(pic, &request) || detail_covers(pic.detail, request))
    return false;
  if (pic.has_failed && request == pic.failed) return false;
  SurfacePtr surface =
      host_picture(pic, request.x, request.y, request.w, request.h, request.dest_w, request.dest_h);
  if (!surface) {
    pic.failed = request;
    pic.has_failed = true;
    return false;
  }
  // Whatever size came back covers the rectangle asked for.
  Detail &detail = pic.detail;
  detail.per_x = static_cast<double>(cairo_image_surface_get_width(surface.get())) / request.w;
  detail.per_y = static_cast<double>(cairo_image_surface_get_height(surface.get())) / request.h;
  detail.surface = std::move(surface);
  detail.x = request.x;
  detail.y = request.y;
  detail.w = request.w;
  detail.h = request.h;
  picture_prepare_cache(pic);
  if (pic.redraw) pic.redraw();
  return true;
}

void picture_view_changed(PreviewPicture &pic) {
  DetailRequest request;
  if (pic.view == nullptr || !detail_wanted(pic, &request)) {
    cancel_fetch(pic);
    if (pic.detail.surface) {
      pic.detail = Detail{};
      pic.cache = PictureCache{};
    }
    return;
  }
  cancel_fetch(pic);
  if (detail_covers(pic.detail, request) || (pic.has_failed && request == pic.failed) ||
      pic.redraw == nullptr || pic.held)
    return;
  pic.timer = g_timeout_add(DETAIL_DELAY_MS, detail_due, &pic);
}

void picture_prepare_cache(PreviewPicture &pic) {
  pic.cache = PictureCache{};
  if (!pic.thumbnail || pic.view == nullptr) return;
  cairo_matrix_t m;
  cairo_matrix_init_translate(&m, pic.origin_x, pic.origin_y);
  view_transform(*pic.view, &m);
  build_cache(pic, m);
}

void picture_paint(PreviewPicture &pic, cairo_t *cr) {
  if (!pic.thumbnail || pic.view == nullptr || pic.view->work_width <= 0 ||
      pic.view->work_height <= 0)
    return;
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  PictureCache &cache = pic.cache;
  if (!cache.surface || !same_matrix(m, cache.matrix) || cache.view_w != pic.view->width ||
      cache.view_h != pic.view->height)
    build_cache(pic, m);
  if (!cache.surface) {
    paint_picture_direct(pic, cr);
    return;
  }
  CairoSaveGuard saved(cr);
  cairo_identity_matrix(cr);
  const int x = cache.x, y = cache.y;
  const int w = cairo_image_surface_get_width(cache.surface.get());
  const int h = cairo_image_surface_get_height(cache.surface.get());
  cairo_surface_t *interior = cache.interior.get();
  if (interior == nullptr) {
    cairo_set_source_surface(cr, cache.surface.get(), x, y);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
    return;
  }
  const int ix = cache.interior_x, iy = cache.interior_y;
  const int iw = cairo_image_surface_get_width(interior);
  const int ih = cairo_image_surface_get_height(interior);
  cairo_set_source_surface(cr, interior, ix, iy);
  cairo_rectangle(cr, ix, iy, iw, ih);
  cairo_fill(cr);
  // The edges, blended: the rows above and below, the columns left and right.
  cairo_set_source_surface(cr, cache.surface.get(), x, y);
  if (iy > y) cairo_rectangle(cr, x, y, w, iy - y);
  if (iy + ih < y + h) cairo_rectangle(cr, x, iy + ih, w, y + h - (iy + ih));
  if (ix > x) cairo_rectangle(cr, x, iy, ix - x, ih);
  if (ix + iw < x + w) cairo_rectangle(cr, ix + iw, iy, x + w - (ix + iw), ih);
  cairo_fill(cr);
}
