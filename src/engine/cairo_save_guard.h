// Brackets temporary cairo state: cairo_save now, cairo_restore at scope end.
#pragma once

#include <cairo.h>

class CairoSaveGuard {
 public:
  explicit CairoSaveGuard(cairo_t *cr) : cr_(cr) { cairo_save(cr_); }
  ~CairoSaveGuard() { cairo_restore(cr_); }
  CairoSaveGuard(const CairoSaveGuard &) = delete;
  CairoSaveGuard &operator=(const CairoSaveGuard &) = delete;

 private:
  cairo_t *cr_;
};
