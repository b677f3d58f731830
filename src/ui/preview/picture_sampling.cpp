#include "picture_sampling.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Which picture pixels make up each device pixel along one axis, and with
// what weight (the share of the device pixel each one covers).
struct AxisWeights {
  std::vector<int> first;   // per device pixel: its first entry in index/weight
  std::vector<int> index;   // picture pixel
  std::vector<float> weight;
  int low = 0, high = 0;    // the picture pixels used: [low, high)
};

// Device pixels first .. first + n - 1 of an axis on which device = scale *
// user + offset and picture = (user - origin) * per, over `size` picture
// pixels, of which only [clip0, clip1) (in user units) is drawn.
AxisWeights axis_weights(int n, int first, double scale, double offset, double origin,
                         double per, int size, double clip0, double clip1) {
  AxisWeights a;
  a.first.reserve(n + 1);
  const double step = per / scale;  // picture pixels per device pixel
  a.low = size;
  a.high = 0;
  // The picture's extent on this axis, in picture pixels.
  const double lo = std::max(0.0, (clip0 - origin) * per);
  const double hi = std::min(static_cast<double>(size), (clip1 - origin) * per);
  for (int i = 0; i < n; ++i) {
    a.first.push_back(static_cast<int>(a.index.size()));
    const double s0 = ((first + i - offset) / scale - origin) * per;
    const double s1 = s0 + step;
    if (!(hi > lo) || s1 <= lo || s0 >= hi) continue;
    if (step > 1) {
      const int p0 = std::max(0, static_cast<int>(std::floor(std::max(s0, lo))));
      const int p1 = std::min(size, static_cast<int>(std::ceil(std::min(s1, hi))));
      for (int p = p0; p < p1; ++p) {
        const double w = (std::min({s1, p + 1.0, hi}) - std::max({s0, static_cast<double>(p), lo})) / step;
        if (w <= 0) continue;
        a.index.push_back(p);
        a.weight.push_back(static_cast<float>(w));
        a.low = std::min(a.low, p);
        a.high = std::max(a.high, p + 1);
      }
    } else {
      const double cover = (std::min(s1, hi) - std::max(s0, lo)) / step;
      if (cover <= 0) continue;
      const int p = std::clamp(static_cast<int>(std::floor(s0 + step / 2)),
                               static_cast<int>(std::floor(lo)),
                               std::min(size, static_cast<int>(std::ceil(hi))) - 1);
      a.index.push_back(p);
      a.weight.push_back(static_cast<float>(std::min(cover, 1.0)));
      a.low = std::min(a.low, p);
      a.high = std::max(a.high, p + 1);
    }
  }
  a.first.push_back(static_cast<int>(a.index.size()));
  return a;
}

bool is_image(cairo_surface_t *s) {
  if (s == nullptr || cairo_surface_get_type(s) != CAIRO_SURFACE_TYPE_IMAGE) return false;
  const cairo_format_t f = cairo_image_surface_get_format(s);
  return f == CAIRO_FORMAT_ARGB32 || f == CAIRO_FORMAT_RGB24;
}

uint8_t to_byte(float v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

bool picture_composite(const PlacedPicture &picture, const cairo_matrix_t &m,
                       cairo_surface_t *target, int left, int top) {
  if (!is_image(picture.surface) || !is_image(target)) return false;
  if (m.xy != 0 || m.yx != 0 || !(m.xx > 0) || !(m.yy > 0) || !std::isfinite(m.xx) ||
      !std::isfinite(m.yy) || !std::isfinite(m.x0) || !std::isfinite(m.y0) ||
      !(picture.per_x > 0) || !(picture.per_y > 0) || !std::isfinite(picture.x0) ||
      !std::isfinite(picture.y0))
    return false;
  cairo_surface_flush(picture.surface);
  cairo_surface_flush(target);
  const int sw = cairo_image_surface_get_width(picture.surface);
  const int sh = cairo_image_surface_get_height(picture.surface);
  const int tw = cairo_image_surface_get_width(target);
  const int th = cairo_image_surface_get_height(target);
  if (sw <= 0 || sh <= 0 || tw <= 0 || th <= 0) return true;
  const AxisWeights cols = axis_weights(tw, left, m.xx, m.x0, picture.x0, picture.per_x, sw,
                                       picture.clip_x0, picture.clip_x1);
  const AxisWeights rows = axis_weights(th, top, m.yy, m.y0, picture.y0, picture.per_y, sh,
                                       picture.clip_y0, picture.clip_y1);
  if (cols.high <= cols.low || rows.high <= rows.low) return true;

  const bool source_alpha = cairo_image_surface_get_format(picture.surface) == CAIRO_FORMAT_ARGB32;
  const bool target_alpha = cairo_image_surface_get_format(target) == CAIRO_FORMAT_ARGB32;
  const unsigned char *src = cairo_image_surface_get_data(picture.surface);
  const int src_stride = cairo_image_surface_get_stride(picture.surface);
  unsigned char *dst = cairo_image_surface_get_data(target);
  const int dst_stride = cairo_image_surface_get_stride(target);
  const int span = cols.high - cols.low;
  // One device row as the weighted sum of picture rows, per picture column:
  // premultiplied b, g, r, a.
  std::vector<float> row(static_cast<size_t>(span) * 4);
  for (int j = 0; j < th; ++j) {
    const int r0 = rows.first[j], r1 = rows.first[j + 1];
    if (r0 == r1) continue;
    // A device row wholly inside one picture row (enlarged pictures) reads
    // that row as it is; otherwise the picture rows are summed first.
    const unsigned char *single = r1 - r0 == 1 && rows.weight[r0] == 1.0f
                                      ? src + static_cast<size_t>(rows.index[r0]) * src_stride
                                      : nullptr;
    if (single == nullptr) {
      std::fill(row.begin(), row.end(), 0.0f);
      for (int e = r0; e < r1; ++e) {
        const float w = rows.weight[e];
        const unsigned char *line = src + static_cast<size_t>(rows.index[e]) * src_stride;
        for (int c = 0; c < span; ++c) {
          uint32_t px;
          std::memcpy(&px, line + 4 * static_cast<size_t>(cols.low + c), 4);
          float *acc = &row[4 * static_cast<size_t>(c)];
          acc[0] += w * static_cast<float>(px & 0xff);
          acc[1] += w * static_cast<float>((px >> 8) & 0xff);
          acc[2] += w * static_cast<float>((px >> 16) & 0xff);
          acc[3] += w * static_cast<float>(source_alpha ? px >> 24 : 255u);
        }
      }
    }
    unsigned char *out = dst + static_cast<size_t>(j) * dst_stride;
    for (int i = 0; i < tw; ++i) {
      const int c0 = cols.first[i], c1 = cols.first[i + 1];
      if (c0 == c1) continue;
      if (single != nullptr && c1 - c0 == 1 && cols.weight[c0] == 1.0f) {
        // One whole picture pixel: an opaque one is simply copied (nothing
        // else covers any of the device pixel).
        uint32_t px;
        std::memcpy(&px, single + 4 * static_cast<size_t>(cols.index[c0]), 4);
        if (!source_alpha || px >> 24 == 0xff) {
          px |= 0xff000000u;
          std::memcpy(out + 4 * static_cast<size_t>(i), &px, 4);
          continue;
        }
      }
      float v[4] = {0, 0, 0, 0};
      for (int e = c0; e < c1; ++e) {
        const float w = cols.weight[e];
        if (single != nullptr) {
          uint32_t px;
          std::memcpy(&px, single + 4 * static_cast<size_t>(cols.index[e]), 4);
          v[0] += w * static_cast<float>(px & 0xff);
          v[1] += w * static_cast<float>((px >> 8) & 0xff);
          v[2] += w * static_cast<float>((px >> 16) & 0xff);
          v[3] += w * static_cast<float>(source_alpha ? px >> 24 : 255u);
        } else {
          const float *acc = &row[4 * static_cast<size_t>(cols.index[e] - cols.low)];
          for (int k = 0; k < 4; ++k) v[k] += w * acc[k];
        }
      }
      uint32_t old;
      std::memcpy(&old, out + 4 * static_cast<size_t>(i), 4);
      const float old_a = target_alpha ? static_cast<float>(old >> 24) : 0.0f;
      const uint8_t a = target_alpha ? to_byte(v[3] + old_a) : 255;
      uint32_t px = static_cast<uint32_t>(a) << 24;
      for (int k = 0; k < 3; ++k) {
        const uint8_t value = to_byte(v[k] + static_cast<float>((old >> (8 * k)) & 0xff));
        px |= static_cast<uint32_t>(std::min(value, a)) << (8 * k);
      }
      std::memcpy(out + 4 * static_cast<size_t>(i), &px, 4);
    }
  }
  cairo_surface_mark_dirty(target);
  return true;
}
