// Capturing the polygons the engine fills, so that cairo alone can be timed
// filling exactly the same ones.
//
// This program defines cairo_fill and cairo_fill_preserve itself; they forward
// to cairo's and, while a capture is open, first copy the path (in device
// space), the solid source colour and the fill settings.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <vector>

struct CapturedFill {
  std::size_t first, count;  // range of path data in FillCapture::data
  double r, g, b, a;
  cairo_antialias_t antialias;
  cairo_fill_rule_t fill_rule;
  cairo_operator_t op;
  double tolerance;
};

struct FillCapture {
  std::vector<cairo_path_data_t> data;
  std::vector<CapturedFill> fills;
  int unsupported = 0;  // fills whose source was not a solid colour
};

// Opens a capture into `capture` (cleared first); fills go on being drawn.
void fill_capture_begin(FillCapture *capture);
void fill_capture_end();

// Fills every captured polygon onto cr, in device space, with its own colour
// and settings.
void fill_replay(cairo_t *cr, const FillCapture &capture);

// Number of path points in the capture (a size figure for the report).
std::size_t fill_capture_points(const FillCapture &capture);
