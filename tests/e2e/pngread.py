"""Reads 8-bit PNG files (grey, grey-alpha, RGB, RGBA; not interlaced) into
rows of pixel tuples, and compares their alpha channels.  Enough for the
layers GIMP exports and the renderer writes, with nothing beyond the
standard library."""

import struct
import zlib

CHANNELS = {0: 1, 2: 3, 4: 2, 6: 4}


class Image:
    def __init__(self, width, height, channels, data):
        self.width = width
        self.height = height
        self.channels = channels
        self.data = data  # bytes, rows without filter bytes

    def pixel(self, x, y):
        i = (y * self.width + x) * self.channels
        return tuple(self.data[i:i + self.channels])

    def alpha(self):
        """The alpha channel as bytes (all 255 when the file has none)."""
        if self.channels in (2, 4):
            return bytes(self.data[self.channels - 1::self.channels])
        return bytes([255]) * (self.width * self.height)


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read(path):
    with open(path, "rb") as f:
        blob = f.read()
    if blob[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("%s: not a PNG file" % path)
    pos = 8
    idat = []
    header = None
    while pos < len(blob):
        length, kind = struct.unpack(">I4s", blob[pos:pos + 8])
        body = blob[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in CHANNELS or interlace:
        raise ValueError("%s: unsupported PNG (depth %d, colour type %d, interlace %d)"
                         % (path, depth, colour, interlace))
    ch = CHANNELS[colour]
    raw = zlib.decompress(b"".join(idat))
    stride = width * ch
    out = bytearray(stride * height)
    prev = bytearray(stride)
    for y in range(height):
        ftype = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        if ftype == 1:
            for i in range(ch, stride):
                line[i] = (line[i] + line[i - ch]) & 255
        elif ftype == 2:
            for i in range(stride):
                line[i] = (line[i] + prev[i]) & 255
        elif ftype == 3:
            for i in range(stride):
                left = line[i - ch] if i >= ch else 0
                line[i] = (line[i] + ((left + prev[i]) >> 1)) & 255
        elif ftype == 4:
            for i in range(stride):
                left = line[i - ch] if i >= ch else 0
                upleft = prev[i - ch] if i >= ch else 0
                line[i] = (line[i] + _paeth(left, prev[i], upleft)) & 255
        elif ftype != 0:
            raise ValueError("%s: bad filter type %d" % (path, ftype))
        out[y * stride:(y + 1) * stride] = line
        prev = line
    return Image(width, height, ch, bytes(out))


def alpha_difference(path_a, path_b):
    """(count of differing alpha values, largest difference, covered pixels of
    a) or a text saying why the two cannot be compared."""
    a, b = read(path_a), read(path_b)
    if (a.width, a.height) != (b.width, b.height):
        return "sizes differ: %dx%d against %dx%d" % (a.width, a.height, b.width, b.height)
    aa, ab = a.alpha(), b.alpha()
    count = 0
    largest = 0
    for u, v in zip(aa, ab):
        if u != v:
            count += 1
            d = abs(u - v)
            if d > largest:
                largest = d
    covered = sum(1 for u in aa if u)
    return count, largest, covered
