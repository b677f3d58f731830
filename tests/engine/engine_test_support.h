// Helpers shared by the engine tests: a fixed image, the polygons a render
// fills (captured in device coordinates), and coverage rendering.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effect_params.h"
#include "image_services.h"
#include "render.h"
#include "stroke_context.h"

struct Vertex {
  double x, y;
};

struct Polygon {
  std::vector<Vertex> v;
  cairo_antialias_t antialias;
  // The line's start tip (vertex 0) and end tip (vertex 3 of a hexagon,
  // vertex 2 of a rhombus).
  Vertex start() const { return v[0]; }
  Vertex end() const { return v.size() == 6 ? v[3] : v[2]; }
};

// Installs a fixed image of w x h pixels and returns its defaults.
inline EffectParams defaults_for(int w, int h, double xres = 72.0, double yres = 72.0) {
  FixedImage image;
  image.width = w;
  image.height = h;
  image.xres = xres;
  image.yres = yres;
  image_services_install_fixed(image);
  EffectParams p{};
  effect_params_set_defaults(&p);
  return p;
}

inline void collect_polygon(void *data, const double *xy, int n, cairo_antialias_t antialias,
                            const ColorRGBA &) {
  Polygon poly{{}, antialias};
  for (int i = 0; i < n; ++i) poly.v.push_back({xy[2 * i], xy[2 * i + 1]});
  static_cast<std::vector<Polygon> *>(data)->push_back(poly);
}

// Every polygon a render fills, on an unbounded target so that no line is
// left out for lying off the surface; also checks that the render leaves cr without error, with its
// transform restored, and every vertex finite.
template <typename Draw>
std::vector<Polygon> capture_with(Draw draw) {
  std::vector<Polygon> polygons;
  PolygonSink sink{collect_polygon, &polygons};
  cairo_surface_t *surface = cairo_recording_surface_create(CAIRO_CONTENT_ALPHA, nullptr);
  cairo_t *cr = cairo_create(surface);
  stroke_attach_polygon_sink(cr, &sink);
  draw(cr);
  EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  EXPECT_TRUE(m.xx == 1 && m.yy == 1 && m.xy == 0 && m.yx == 0 && m.x0 == 0 && m.y0 == 0)
      << "the renderer must restore the transform";
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  for (const auto &poly : polygons)
    for (const auto &v : poly.v) EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y));
  return polygons;
}

inline std::vector<Polygon> capture(const EffectParams &params) {
  return capture_with([&](cairo_t *cr) { render_effect(cr, &params, image_resolution(params.image_id)); });
}

// Alpha of every pixel of a w x h render, rows without gaps.
inline std::vector<unsigned char> coverage_bytes(const EffectParams &params, int w, int h) {
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  cairo_t *cr = cairo_create(surface);
  render_effect(cr, &params, image_resolution(params.image_id));
  EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  std::vector<unsigned char> bytes;
  const unsigned char *data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < h; ++y) bytes.insert(bytes.end(), data + y * stride, data + y * stride + w);
  cairo_surface_destroy(surface);
  return bytes;
}

inline bool same_polygons(const std::vector<Polygon> &a, const std::vector<Polygon> &b,
                          double tolerance = 0.0) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].v.size() != b[i].v.size()) return false;
    for (size_t k = 0; k < a[i].v.size(); ++k)
      if (std::fabs(a[i].v[k].x - b[i].v[k].x) > tolerance ||
          std::fabs(a[i].v[k].y - b[i].v[k].y) > tolerance)
        return false;
  }
  return true;
}

// Polar angle of a point about (cx, cy), in [0, 2 pi).
inline double angle_about(Vertex v, double cx, double cy) {
  double a = std::atan2(v.y - cy, v.x - cx);
  if (a < 0) a += 2 * M_PI;
  return a;
}

inline double distance_from(Vertex v, double cx, double cy) {
  return std::hypot(v.x - cx, v.y - cy);
}
