// The dialog's window icon: a serialised inline pixbuf (GdkPixdata stream,
// big-endian header, RGB, 8 bits, run-length encoded).  A white 16 x 16
// square crossed by six black rows at rows 0, 3, 6, 8, 12 and 15.
#pragma once

#include <cstdint>

// A run of n equal pixels of one colour: the count with the top bit set, then R, G, B.
#define ZS_RUN(n, v) static_cast<uint8_t>(0x80 | (n)), v, v, v

alignas(4) constexpr uint8_t WINDOW_ICON_PIXDATA[] = {
    'G',  'd',  'k',  'P',                        // magic
    0x00, 0x00, 0x00, 0x44,                       // total length 68
    0x02, 0x01, 0x00, 0x01,                       // RGB, 8 bits, RLE
    0x00, 0x00, 0x00, 0x30,                       // rowstride 48
    0x00, 0x00, 0x00, 0x10,                       // width 16
    0x00, 0x00, 0x00, 0x10,                       // height 16
    ZS_RUN(16, 0x00), ZS_RUN(32, 0xff),           // row 0; rows 1-2
    ZS_RUN(16, 0x00), ZS_RUN(32, 0xff),           // row 3; rows 4-5
    ZS_RUN(16, 0x00), ZS_RUN(16, 0xff),           // row 6; row 7
    ZS_RUN(16, 0x00), ZS_RUN(48, 0xff),           // row 8; rows 9-11
    ZS_RUN(16, 0x00), ZS_RUN(32, 0xff),           // row 12; rows 13-14
    ZS_RUN(16, 0x00),                             // row 15
};
#undef ZS_RUN

static_assert(sizeof(WINDOW_ICON_PIXDATA) == 68, "24-byte header and 44 bytes of pixel data");
