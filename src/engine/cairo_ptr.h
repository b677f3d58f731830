// Owning pointers for cairo objects.
#pragma once

#include <cairo.h>

#include "glib_ptr.h"

using SurfacePtr = std::unique_ptr<cairo_surface_t, FreeWith<cairo_surface_destroy>>;
using CairoPtr = std::unique_ptr<cairo_t, FreeWith<cairo_destroy>>;
