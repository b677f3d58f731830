// A streaming writer of 8-bit RGBA PNG files whose colour is not
// premultiplied, fed a few rows at a time (libpng): nothing of the picture
// is held, so any size PNG allows can be written.
#pragma once

#include <png.h>

#include <cstdio>
#include <string>

class PngWriter {
 public:
  // Writes the signature and header to `file`, which stays the caller's.
  PngWriter(FILE *file, int width, int height);
  ~PngWriter();
  PngWriter(const PngWriter &) = delete;
  PngWriter &operator=(const PngWriter &) = delete;

  // `rows` rows of width * 4 bytes each, without gaps.
  void write_rows(const unsigned char *pixels, int rows);
  // Ends the image; false if anything failed on the way (the file is then
  // incomplete) with error() saying what.
  bool finish();
  const std::string &error() const { return error_; }

 private:
  static void on_error(png_structp png, png_const_charp message);
  static void on_warning(png_structp, png_const_charp) {}

  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  size_t row_bytes_;
  int rows_left_;
  bool ok_ = false;
  std::string error_;
};
