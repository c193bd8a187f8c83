"""PNGs: one-colour squares for icon fixtures, and the pixels of the ones the programs draw."""

import struct
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_bytes(size, rgba):
    """A square PNG of one colour."""
    def chunk(kind, payload):
        return (struct.pack(">I", len(payload)) + kind + payload +
                struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (SIGNATURE + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress((b"\x00" + bytes(rgba) * size) * size)) +
            chunk(b"IEND", b""))


def pixels(data):
    """The rows of pixel tuples (RGB or RGBA) of an 8-bit, non-interlaced PNG."""
    assert data[:8] == SIGNATURE, "not a PNG"
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", data[16:29])
    assert depth == 8 and colour in (2, 6) and not interlace, "an unexpected PNG form"
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        idat += data[at + 8:at + 8 + length] if kind == b"IDAT" else b""
        at += 12 + length
    step = 4 if colour == 6 else 3
    raw, stride, rows, previous = zlib.decompress(idat), width * step, [], bytes(width * step)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a, b = line[i - step] if i >= step else 0, previous[i]
            c = previous[i - step] if i >= step else 0
            p = a + b - c
            paeth = min((abs(p - a), 0, a), (abs(p - b), 1, b), (abs(p - c), 2, c))[2]
            line[i] = (line[i] + (0, a, b, (a + b) // 2, paeth)[kind]) & 0xFF
        rows.append([tuple(line[x:x + step]) for x in range(0, stride, step)])
        previous = bytes(line)
    return rows
