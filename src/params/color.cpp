#include "color.h"

#include <algorithm>
#include <cmath>

namespace {

// The editor's ROUND of a value already known to lie in 0..255.
unsigned char round_byte(double v) { return static_cast<unsigned char>(static_cast<int>(v + 0.5)); }

}  // namespace

double color_channel_clamped(double c) { return std::isfinite(c) ? std::clamp(c, 0.0, 1.0) : 0.0; }

void color_to_bytes(const ColorRGBA &color, unsigned char rgb[3]) {
  rgb[0] = round_byte(color_channel_clamped(color.r) * 255.0);
  rgb[1] = round_byte(color_channel_clamped(color.g) * 255.0);
  rgb[2] = round_byte(color_channel_clamped(color.b) * 255.0);
}

unsigned char color_intensity_byte(const ColorRGBA &color) {
  const double intensity = color.r * 0.30 + color.g * 0.59 + color.b * 0.11;
  return round_byte(color_channel_clamped(intensity) * 255.0);
}
