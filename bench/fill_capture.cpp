#include "fill_capture.h"

#include <dlfcn.h>

namespace {

FillCapture *g_capture = nullptr;

using FillFn = void (*)(cairo_t *);

FillFn real_fn(const char *name) {
  return reinterpret_cast<FillFn>(dlsym(RTLD_NEXT, name));
}

void capture_fill(cairo_t *cr) {
  FillCapture &cap = *g_capture;
  CapturedFill f{};
  cairo_pattern_t *source = cairo_get_source(cr);
  if (cairo_pattern_get_rgba(source, &f.r, &f.g, &f.b, &f.a) != CAIRO_STATUS_SUCCESS) {
    ++cap.unsupported;
    return;
  }
  f.antialias = cairo_get_antialias(cr);
  f.fill_rule = cairo_get_fill_rule(cr);
  f.op = cairo_get_operator(cr);
  f.tolerance = cairo_get_tolerance(cr);

  // The path is held in device space; with an identity matrix cairo hands it
  // back unchanged.
  cairo_save(cr);
  cairo_identity_matrix(cr);
  cairo_path_t *path = cairo_copy_path(cr);
  cairo_restore(cr);
  f.first = cap.data.size();
  f.count = static_cast<size_t>(path->num_data);
  cap.data.insert(cap.data.end(), path->data, path->data + path->num_data);
  cairo_path_destroy(path);
  cap.fills.push_back(f);
}

}  // namespace

extern "C" void cairo_fill(cairo_t *cr) {
  static const FillFn real = real_fn("cairo_fill");
  if (g_capture) capture_fill(cr);
  real(cr);
}

extern "C" void cairo_fill_preserve(cairo_t *cr) {
  static const FillFn real = real_fn("cairo_fill_preserve");
  if (g_capture) capture_fill(cr);
  real(cr);
}

void fill_capture_begin(FillCapture *capture) {
  capture->data.clear();
  capture->fills.clear();
  capture->unsupported = 0;
  g_capture = capture;
}

void fill_capture_end() { g_capture = nullptr; }

void fill_replay(cairo_t *cr, const FillCapture &capture) {
  cairo_save(cr);
  cairo_identity_matrix(cr);
  for (const CapturedFill &f : capture.fills) {
    cairo_set_source_rgba(cr, f.r, f.g, f.b, f.a);
    cairo_set_antialias(cr, f.antialias);
    cairo_set_fill_rule(cr, f.fill_rule);
    cairo_set_operator(cr, f.op);
    cairo_set_tolerance(cr, f.tolerance);
    cairo_path_t path{CAIRO_STATUS_SUCCESS,
                      const_cast<cairo_path_data_t *>(capture.data.data() + f.first),
                      static_cast<int>(f.count)};
    cairo_new_path(cr);
    cairo_append_path(cr, &path);
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

size_t fill_capture_points(const FillCapture &capture) {
  size_t points = 0;
  for (size_t i = 0; i < capture.data.size(); i += capture.data[i].header.length)
    points += capture.data[i].header.length - 1;
  return points;
}
