#include "png_writer.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr size_t IDAT_SIZE = 1 << 16;

void put_u32(unsigned char *p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}

}  // namespace

PngWriter::PngWriter(FILE *file, int width, int height)
    : file_(file), width_(width), rows_left_(height), out_(IDAT_SIZE) {
  static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  ok_ = std::fwrite(signature, 1, 8, file_) == 8;
  unsigned char header[13];
  put_u32(header, static_cast<uint32_t>(width));
  put_u32(header + 4, static_cast<uint32_t>(height));
  header[8] = 8;   // bits per channel
  header[9] = 6;   // RGBA
  header[10] = 0;  // deflate
  header[11] = 0;  // adaptive filtering (every row uses filter 0)
  header[12] = 0;  // not interlaced
  write_chunk("IHDR", header, sizeof header);
  stream_open_ = deflateInit(&stream_, Z_DEFAULT_COMPRESSION) == Z_OK;
  ok_ = ok_ && stream_open_;
  stream_.next_out = out_.data();
  stream_.avail_out = IDAT_SIZE;
}

PngWriter::~PngWriter() {
  if (stream_open_) deflateEnd(&stream_);
}

void PngWriter::write_chunk(const char type[4], const unsigned char *data, size_t len) {
  if (!ok_) return;
  unsigned char head[8];
  put_u32(head, static_cast<uint32_t>(len));
  std::copy(type, type + 4, head + 4);
  uLong crc = crc32(0L, head + 4, 4);
  if (len > 0) crc = crc32(crc, data, static_cast<uInt>(len));
  unsigned char tail[4];
  put_u32(tail, static_cast<uint32_t>(crc));
  ok_ = ok_ && std::fwrite(head, 1, 8, file_) == 8 &&
        (len == 0 || std::fwrite(data, 1, len, file_) == len) &&
        std::fwrite(tail, 1, 4, file_) == 4;
}

void PngWriter::deflate_input(const unsigned char *data, size_t len, int flush) {
  stream_.next_in = const_cast<unsigned char *>(data);
  stream_.avail_in = static_cast<uInt>(len);
  do {
    if (stream_.avail_out == 0) {
      write_chunk("IDAT", out_.data(), IDAT_SIZE);
      stream_.next_out = out_.data();
      stream_.avail_out = IDAT_SIZE;
    }
    const int ret = deflate(&stream_, flush);
    if (ret == Z_STREAM_END) return;
    if (ret == Z_STREAM_ERROR) {
      ok_ = false;
      return;
    }
  } while (ok_ && (stream_.avail_in > 0 || stream_.avail_out == 0 || flush == Z_FINISH));
}

void PngWriter::write_rows(const unsigned char *pixels, int rows) {
  if (!ok_) return;
  if (rows > rows_left_) {
    ok_ = false;
    return;
  }
  static const unsigned char filter_none = 0;
  const size_t row_bytes = static_cast<size_t>(width_) * 4;
  for (int y = 0; y < rows && ok_; ++y) {
    deflate_input(&filter_none, 1, Z_NO_FLUSH);
    deflate_input(pixels + y * row_bytes, row_bytes, Z_NO_FLUSH);
  }
  rows_left_ -= rows;
}

bool PngWriter::finish() {
  if (!ok_ || rows_left_ != 0) return false;
  deflate_input(nullptr, 0, Z_FINISH);
  const size_t pending = IDAT_SIZE - stream_.avail_out;
  if (pending > 0) write_chunk("IDAT", out_.data(), pending);
  write_chunk("IEND", nullptr, 0);
  return ok_;
}
