// Shared set-up of the benchmarks: default effects on fixed work areas.
#pragma once

#include <cairo.h>

#include <cstdlib>
#include <string>

#include "effect_params.h"

// Installs a fixed image of w x h pixels at 72 dpi, no selection, and
// returns the defaults for it with the given area type.
EffectParams bench_default_params(int w, int h, int area_type);

// Rounds of a paired measurement: `fallback`, or the value of the
// environment variable ZIPSTROKE_BENCH_ROUNDS when it is set.
int bench_rounds(int fallback);

// Name fragment such as "radial/6000x4000".
std::string bench_case_name(int area_type, int w, int h);

// Number of pixels in which two surfaces of the same size and format differ,
// and the largest difference of any byte.
struct SurfaceDiff {
  long long pixels;
  int max_byte;
};
SurfaceDiff surface_diff(cairo_surface_t *a, cairo_surface_t *b);

// Owning handles for cairo objects.
struct SurfaceRef {
  cairo_surface_t *s = nullptr;
  SurfaceRef() = default;
  explicit SurfaceRef(cairo_surface_t *surface) : s(surface) {}
  SurfaceRef(const SurfaceRef &) = delete;
  SurfaceRef &operator=(const SurfaceRef &) = delete;
  SurfaceRef(SurfaceRef &&o) noexcept : s(o.s) { o.s = nullptr; }
  SurfaceRef &operator=(SurfaceRef &&o) noexcept {
    std::swap(s, o.s);
    return *this;
  }
  ~SurfaceRef() {
    if (s) cairo_surface_destroy(s);
  }
  operator cairo_surface_t *() const { return s; }
};

struct ContextRef {
  cairo_t *cr;
  explicit ContextRef(cairo_surface_t *target) : cr(cairo_create(target)) {}
  ContextRef(const ContextRef &) = delete;
  ContextRef &operator=(const ContextRef &) = delete;
  ~ContextRef() { cairo_destroy(cr); }
  operator cairo_t *() const { return cr; }
};

// Clears a surface to transparent and faults in all of its pages.
void surface_clear(cairo_surface_t *surface);
