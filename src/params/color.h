// Colour channels as the editor treats them: each in 0..1, turned into bytes
// with its own rounding.
#pragma once

#include "effect_params.h"

// The channel held to 0..1; a channel that is not a number counts as 0.
double color_channel_clamped(double c);

// The editor's RGB-to-bytes conversion: each channel clamped, times 255, rounded.
void color_to_bytes(const ColorRGBA &color, unsigned char rgb[3]);
// The editor's intensity of a colour as a byte: 0.30 r + 0.59 g + 0.11 b,
// clamped to 0..1, times 255, rounded.
unsigned char color_intensity_byte(const ColorRGBA &color);
