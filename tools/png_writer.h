// A streaming writer of 8-bit RGBA PNG files whose colour is not
// premultiplied, fed one strip of rows at a time.
#pragma once

#include <cstdio>
#include <vector>

#include <zlib.h>

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
  // incomplete).
  bool finish();

 private:
  void write_chunk(const char type[4], const unsigned char *data, size_t len);
  void deflate_input(const unsigned char *data, size_t len, int flush);

  FILE *file_;
  int width_;
  int rows_left_;
  z_stream stream_{};
  bool stream_open_ = false;
  bool ok_ = true;
  std::vector<unsigned char> out_;
};
