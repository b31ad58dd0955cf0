#!/usr/bin/env python3
"""Writes the program icon (a 16-colour Windows icon) as a PNG for the desktop entry.

Plain Python (no imaging library). Usage: ico_to_png.py INPUT.ico OUTPUT.png [SCALE]
Reads the first image of the icon: a BITMAPINFOHEADER, its palette, the colour bits (bottom row
first) and the one-bit transparency mask, and writes an 8-bit RGBA PNG of the same size, or
SCALE times as wide and high with every pixel repeated (the larger icons software centres want,
as sharp as the 32-pixel drawing).
"""
import struct
import sys
import zlib


def read_icon(data):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count < 1:
        raise ValueError("not an icon file")
    _w, _h, _colors, _r, _planes, _bpp, _size, offset = struct.unpack_from("<BBBBHHII", data, 6)
    header_size, width, height2, _planes, bpp = struct.unpack_from("<IiiHH", data, offset)
    height = height2 // 2
    if bpp not in (1, 4, 8):
        raise ValueError("only palette icons are handled, not %d bits per pixel" % bpp)
    palette_at = offset + header_size
    palette = [struct.unpack_from("<BBBB", data, palette_at + 4 * i) for i in range(1 << bpp)]
    xor_at = palette_at + 4 * (1 << bpp)
    xor_stride = ((width * bpp + 31) // 32) * 4
    and_at = xor_at + xor_stride * height
    and_stride = ((width + 31) // 32) * 4

    rows = []
    for y in range(height):
        source_row = height - 1 - y  # bitmaps store the bottom row first
        row = bytearray()
        for x in range(width):
            bit = x * bpp
            byte = data[xor_at + source_row * xor_stride + bit // 8]
            index = (byte >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1)
            blue, green, red, _ = palette[index]
            mask = data[and_at + source_row * and_stride + x // 8] >> (7 - x % 8) & 1
            row += bytes((red, green, blue, 0 if mask else 255))
        rows.append(bytes(row))
    return width, height, rows


def enlarged(width, height, rows, scale):
    wide = [b"".join(row[4 * x:4 * x + 4] * scale for x in range(width)) for row in rows]
    return width * scale, height * scale, [row for row in wide for _ in range(scale)]


def png(width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as f:
        width, height, rows = read_icon(f.read())
    if len(sys.argv) == 4:
        width, height, rows = enlarged(width, height, rows, int(sys.argv[3]))
    with open(sys.argv[2], "wb") as f:
        f.write(png(width, height, rows))


if __name__ == "__main__":
    main()
