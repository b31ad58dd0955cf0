#!/usr/bin/env python3
"""Draws the window's two pictures and the program icon and writes them as BMP and ICO files.

Plain Python (no imaging library): each picture is drawn into a pixel grid and serialised by
hand. Run it from anywhere; it writes beside itself:
  repeater.bmp      75 x 150, 24 bits per pixel: a repeater unit with its antenna and radio waves
  product_strip.bmp 95 x 24, 24 bits per pixel: the product name on a blue band
  relaytool.ico     32 x 32, 16 colours: the repeater with waves
The outputs are committed; rerun this script only to change the artwork.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


class Canvas:
    def __init__(self, width, height, fill):
        self.width = width
        self.height = height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, color):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = color

    def rect(self, x0, y0, x1, y1, color):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, color)

    def frame(self, x0, y0, x1, y1, color):
        for x in range(x0, x1 + 1):
            self.put(x, y0, color)
            self.put(x, y1, color)
        for y in range(y0, y1 + 1):
            self.put(x0, y, color)
            self.put(x1, y, color)

    def arc(self, cx, cy, radius, start_deg, end_deg, color, thickness=1):
        steps = max(16, int(radius * 8))
        for i in range(steps + 1):
            angle = math.radians(start_deg + (end_deg - start_deg) * i / steps)
            for t in range(thickness):
                r = radius + t
                self.put(int(round(cx + r * math.cos(angle))), int(round(cy - r * math.sin(angle))), color)


def bmp24(canvas):
    """A bottom-up 24-bit BMP with rows padded to four bytes."""
    row_size = (canvas.width * 3 + 3) & ~3
    image_size = row_size * canvas.height
    header = struct.pack('<2sIHHI', b'BM', 54 + image_size, 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, canvas.width, canvas.height, 1, 24, 0, image_size,
                       3780, 3780, 0, 0)
    rows = []
    for y in range(canvas.height - 1, -1, -1):
        row = bytearray()
        for (r, g, b) in canvas.pixels[y]:
            row += bytes((b, g, r))
        row += b'\0' * (row_size - len(row))
        rows.append(bytes(row))
    return header + info + b''.join(rows)


# The 16 colours of the classic 4-bit palette, by index.
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def ico16(canvas, transparent):
    """A one-image ICO: 4-bit colour plane plus a 1-bit transparency mask, bottom-up."""
    w, h = canvas.width, canvas.height
    xor_row = ((w * 4 + 31) // 32) * 4
    and_row = ((w + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(xor_row)
        mrow = bytearray(and_row)
        for x in range(w):
            index = canvas.pixels[y][x]
            if index == transparent:
                mrow[x // 8] |= 0x80 >> (x % 8)
                index = 0
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += row
        mask += mrow
    palette = b''.join(bytes((b, g, r, 0)) for (r, g, b) in PALETTE16)
    info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = info + palette + bytes(xor) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', w, h, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def draw_repeater_picture():
    """75 x 150. Only rows 57 to 127 show between the window's two panels: the unit sits there."""
    sky_top, sky_bottom = (214, 228, 240), (240, 244, 248)
    c = Canvas(75, 150, sky_bottom)
    for y in range(150):
        t = y / 149
        c.rect(0, y, 74, y, tuple(int(sky_top[i] + (sky_bottom[i] - sky_top[i]) * t) for i in range(3)))
    body, edge, face = (70, 78, 92), (34, 38, 46), (96, 106, 122)
    # Antenna: a rod from the top of the unit with a knob.
    c.rect(36, 61, 37, 84, edge)
    c.rect(35, 59, 38, 61, (200, 40, 40))
    # The housing with a darker outline, a front panel and three status lights.
    c.rect(22, 85, 52, 124, body)
    c.frame(22, 85, 52, 124, edge)
    c.rect(25, 88, 49, 100, face)
    c.frame(25, 88, 49, 100, edge)
    for i, color in enumerate(((60, 200, 80), (240, 190, 40), (60, 140, 230))):
        c.rect(28 + i * 8, 92, 30 + i * 8, 94, color)
    for y in range(105, 121, 3):
        c.rect(27, y, 47, y, (56, 62, 74))
    # Radio waves on both sides of the antenna tip.
    wave = (40, 110, 200)
    for r in (7, 12, 17):
        c.arc(36.5, 66, r, -40, 40, wave, 2)
        c.arc(36.5, 66, r, 140, 220, wave, 2)
    return c


# A 5 x 7 pixel font for the letters the product strip needs.
GLYPHS = {
    'K': ['10001', '10010', '10100', '11000', '10100', '10010', '10001'],
    'O': ['01110', '10001', '10001', '10001', '10001', '10001', '01110'],
    'R': ['11110', '10001', '10001', '11110', '10100', '10010', '10001'],
    'V': ['10001', '10001', '10001', '10001', '01010', '01010', '00100'],
    'E': ['11111', '10000', '10000', '11110', '10000', '10000', '11111'],
    'X': ['10001', '01010', '00100', '00100', '00100', '01010', '10001'],
}


def draw_product_strip():
    """95 x 24: a blue band, shaded top to bottom, with the product name and a wave mark."""
    c = Canvas(95, 24, (0, 0, 0))
    for y in range(24):
        t = y / 23
        c.rect(0, y, 94, y, (int(20 + 30 * t), int(70 + 40 * t), int(160 + 40 * t)))
    c.frame(0, 0, 94, 23, (12, 36, 90))
    x = 6
    for letter in 'KORVEX':
        for row, bits in enumerate(GLYPHS[letter]):
            for col, bit in enumerate(bits):
                if bit == '1':  # each font pixel becomes 1 x 2 screen pixels: tall letters
                    c.rect(x + col, 5 + row * 2, x + col, 6 + row * 2, (255, 255, 255))
        x += 7
    for r in (3, 6, 9):
        c.arc(60, 12, r, -50, 50, (250, 210, 60))
    c.rect(57, 10, 59, 14, (250, 210, 60))
    return c


def draw_icon():
    """32 x 32 in the 16-colour palette: grey unit, red antenna knob, blue waves."""
    clear = 13  # magenta stands for "transparent" in the drawing
    c = Canvas(32, 32, clear)
    black, grey, dark, red, blue, green, yellow = 0, 7, 8, 9, 12, 10, 11
    c.rect(15, 5, 16, 16, black)
    c.rect(14, 3, 17, 5, red)
    c.rect(8, 16, 23, 30, grey)
    c.frame(8, 16, 23, 30, black)
    c.rect(10, 18, 21, 22, dark)
    c.put(12, 20, green)
    c.put(15, 20, yellow)
    c.put(18, 20, blue)
    for y in (25, 27):
        c.rect(10, y, 21, y, dark)
    for r in (5, 9, 13):
        c.arc(15.5, 6, r, -35, 35, blue, 1)
        c.arc(15.5, 6, r, 145, 215, blue, 1)
    return c, clear


def main():
    with open(os.path.join(HERE, 'repeater.bmp'), 'wb') as f:
        f.write(bmp24(draw_repeater_picture()))
    with open(os.path.join(HERE, 'product_strip.bmp'), 'wb') as f:
        f.write(bmp24(draw_product_strip()))
    icon, clear = draw_icon()
    with open(os.path.join(HERE, 'relaytool.ico'), 'wb') as f:
        f.write(ico16(icon, clear))


if __name__ == '__main__':
    main()
