#include "png_writer.h"

#include <cerrno>
#include <cstring>

// libpng reports a failure by jumping back to the setjmp of the call that
// made it; the functions that set one hold nothing that needs destroying.

void PngWriter::on_error(png_structp png, png_const_charp message) {
  auto *self = static_cast<PngWriter *>(png_get_error_ptr(png));
  // A failed write leaves errno from the write itself.
  self->error_ = errno ? std::strerror(errno) : message;
  png_longjmp(png, 1);
}

PngWriter::PngWriter(FILE *file, int width, int height)
    : row_bytes_(static_cast<size_t>(width) * 4), rows_left_(height) {
  png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, on_error, on_warning);
  if (png_) info_ = png_create_info_struct(png_);
  if (!png_ || !info_) {
    error_ = "out of memory";
    return;
  }
  if (setjmp(png_jmpbuf(png_))) return;
  errno = 0;
  // PNG's own limit is 2^31 - 1 pixels a side; libpng's default is lower.
  png_set_user_limits(png_, 0x7fffffff, 0x7fffffff);
  png_init_io(png_, file);
  png_set_IHDR(png_, info_, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  // The colour is the same everywhere and only the alpha varies: filters
  // gain little and cost time.
  png_set_filter(png_, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_write_info(png_, info_);
  ok_ = true;
}

PngWriter::~PngWriter() {
  if (png_) png_destroy_write_struct(&png_, info_ ? &info_ : nullptr);
}

void PngWriter::write_rows(const unsigned char *pixels, int rows) {
  if (!ok_) return;
  if (rows > rows_left_) {
    ok_ = false;
    error_ = "more rows than the picture has";
    return;
  }
  if (setjmp(png_jmpbuf(png_))) {
    ok_ = false;
    return;
  }
  errno = 0;
  for (int y = 0; y < rows; ++y) png_write_row(png_, pixels + y * row_bytes_);
  rows_left_ -= rows;
}

bool PngWriter::finish() {
  if (!ok_) return false;
  if (rows_left_ != 0) {
    error_ = "fewer rows than the picture has";
    return false;
  }
  if (setjmp(png_jmpbuf(png_))) return false;
  errno = 0;
  png_write_end(png_, nullptr);
  return true;
}
