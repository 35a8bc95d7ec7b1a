#!/usr/bin/env python3
"""Draws ferry's About picture: a car ferry carrying coloured containers
across a bay, 255 x 266 pixels in the sixteen colours of the standard
palette, written as a 4-bit-per-pixel BMP. Run from the repository root:

    python3 resources/tools/draw_about_bitmap.py

It needs nothing beyond Python; the output is the same on every run.
"""

import math
import os
import struct

WIDTH, HEIGHT = 255, 266

# The standard sixteen colours, by index.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, CYAN, WHITE = range(8, 16)

# Ordered dithering mixes two colours where the palette has no shade between.
BAYER = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


class Picture:
    def __init__(self):
        self.px = [[WHITE] * WIDTH for _ in range(HEIGHT)]

    def dot(self, x, y, c):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.dot(x, y, c)

    def blend(self, x0, y0, x1, y1, c0, c1):
        """Top to bottom from c0 to c1, dithered."""
        rows = max(1, y1 - y0)
        for y in range(y0, y1 + 1):
            level = (y - y0) * 16 // rows
            for x in range(x0, x1 + 1):
                self.dot(x, y, c1 if BAYER[y % 4][x % 4] < level else c0)

    def ellipse(self, cx, cy, rx, ry, c):
        for y in range(int(cy - ry), int(cy + ry) + 1):
            for x in range(int(cx - rx), int(cx + rx) + 1):
                if ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0:
                    self.dot(x, y, c)

    def polygon(self, points, c):
        ys = [p[1] for p in points]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            crossings = []
            for i, (xa, ya) in enumerate(points):
                xb, yb = points[(i + 1) % len(points)]
                if (ya <= y + 0.5 < yb) or (yb <= y + 0.5 < ya):
                    crossings.append(xa + (y + 0.5 - ya) * (xb - xa) / (yb - ya))
            crossings.sort()
            for a, b in zip(crossings[0::2], crossings[1::2]):
                for x in range(int(math.ceil(a - 0.5)), int(math.floor(b - 0.5)) + 1):
                    self.dot(x, y, c)

    def line(self, x0, y0, x1, y1, c):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.dot(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps), c)


def sky(p):
    p.blend(0, 0, WIDTH - 1, 70, BLUE, CYAN)
    p.blend(0, 71, WIDTH - 1, 118, CYAN, WHITE)
    # The sun, low over the far shore, with a pale ring.
    p.ellipse(196, 58, 21, 21, WHITE)
    p.ellipse(196, 58, 17, 17, YELLOW)
    for cx, cy, rx, ry in [(40, 34, 22, 8), (58, 28, 16, 9), (24, 38, 14, 5),
                           (120, 52, 18, 6), (135, 47, 12, 7), (150, 53, 14, 5)]:
        p.ellipse(cx, cy, rx, ry, WHITE)
    for cx, cy in [(90, 24), (104, 30), (80, 40)]:
        p.line(cx - 5, cy - 3, cx, cy, BLACK)
        p.line(cx, cy, cx + 5, cy - 3, BLACK)


def shore(p):
    horizon = 122
    p.polygon([(0, horizon), (0, 100), (30, 92), (70, 104), (110, 97), (150, 110),
               (190, 104), (230, 112), (254, 106), (254, horizon)], GREEN)
    p.polygon([(0, horizon), (0, 110), (50, 106), (95, 114), (140, 111), (175, 118),
               (254, 113), (254, horizon)], LIME)
    # A lighthouse on the far point, and the quay on the right.
    p.rect(30, 78, 35, 104, WHITE)
    for y in (84, 92, 100):
        p.rect(30, y, 35, y + 2, RED)
    p.rect(29, 74, 36, 77, BLACK)
    p.rect(31, 70, 34, 73, YELLOW)
    p.rect(205, 114, 254, 123, GREY)
    p.rect(205, 114, 254, 115, SILVER)
    for x in range(208, 254, 9):
        p.rect(x, 118, x + 1, 128, MAROON)


def water(p):
    p.blend(0, 123, WIDTH - 1, HEIGHT - 1, TEAL, NAVY)
    for row, y in enumerate(range(130, HEIGHT, 9)):
        shift = (row * 23) % 31
        for x in range(-shift, WIDTH, 31):
            length = 8 + (row % 3) * 3
            p.line(x, y, x + length, y, CYAN if y < 200 else BLUE)
            p.dot(x + length // 2, y - 1, WHITE if row % 2 == 0 else CYAN)


def ferry(p):
    top, waterline = 150, 188
    # The hull: red below the waterline stripe, white above, a raked bow.
    p.polygon([(28, top + 10), (226, top + 10), (214, waterline + 6), (44, waterline + 6)], WHITE)
    p.polygon([(34, waterline - 6), (219, waterline - 6), (214, waterline + 6),
               (44, waterline + 6)], MAROON)
    p.rect(30, top + 18, 224, top + 21, RED)
    p.line(28, top + 10, 226, top + 10, BLACK)
    for x in range(50, 210, 12):
        p.ellipse(x, top + 28, 2, 2, NAVY)
    # Containers on the car deck: the files on their way.
    colours = [YELLOW, LIME, FUCHSIA, CYAN, RED, YELLOW, BLUE, LIME]
    for i, colour in enumerate(colours):
        x = 40 + i * 17
        p.rect(x, top - 6, x + 14, top + 9, colour)
        p.rect(x, top - 6, x + 14, top - 6, BLACK)
        p.line(x, top - 6, x, top + 9, BLACK)
        for gx in range(x + 3, x + 14, 3):
            p.line(gx, top - 4, gx, top + 7, GREY if colour != BLUE else NAVY)
    for i, colour in enumerate([CYAN, RED, LIME, FUCHSIA]):
        x = 48 + i * 17
        p.rect(x, top - 21, x + 14, top - 7, colour)
        p.line(x, top - 21, x + 14, top - 21, BLACK)
        p.line(x, top - 21, x, top - 7, BLACK)
        for gx in range(x + 3, x + 14, 3):
            p.line(gx, top - 19, gx, top - 8, GREY)
    # The bridge, its windows, and the funnel.
    p.rect(178, top - 30, 222, top + 9, WHITE)
    p.rect(178, top - 30, 222, top - 29, BLACK)
    p.line(178, top - 30, 178, top + 9, BLACK)
    p.rect(182, top - 24, 218, top - 18, NAVY)
    for x in range(188, 218, 6):
        p.line(x, top - 24, x, top - 18, WHITE)
    for x in range(184, 218, 8):
        p.rect(x, top - 8, x + 4, top - 4, NAVY)
    p.polygon([(192, top - 31), (208, top - 31), (211, top - 52), (195, top - 52)], RED)
    p.rect(195, top - 56, 211, top - 52, BLACK)
    p.rect(194, top - 42, 209, top - 39, WHITE)
    # Smoke drifting aft.
    for i, (cx, cy, r) in enumerate([(198, 86, 5), (188, 78, 6), (175, 72, 7), (160, 68, 6)]):
        p.ellipse(cx, cy, r + 1, r, SILVER if i % 2 else GREY)
    # Mast with the signal flags of a transfer under way.
    p.line(156, top - 22, 156, top - 62, BLACK)
    p.line(156, top - 62, 193, top - 44, GREY)
    for i, colour in enumerate([YELLOW, BLUE, RED]):
        fx = 161 + i * 10
        fy = top - 59 + i * 5
        p.polygon([(fx, fy), (fx + 6, fy + 3), (fx, fy + 6)], colour)


def wake(p):
    for i in range(14):
        y = 192 + i * 2
        x0 = 40 - i * 4
        p.line(x0, y, x0 + 30 - i, y, WHITE if i % 2 == 0 else CYAN)
    for i in range(10):
        p.line(214 + i * 2, 194 + i, 232 + i * 3, 194 + i, WHITE)
    p.rect(40, 196, 218, 197, TEAL)


def reflection(p):
    for y in range(200, 228, 3):
        for x in range(60, 200, 7):
            if (x + y) % 2:
                p.line(x, y, x + 3, y, CYAN)


def write_bmp(p, path):
    row_bytes = ((WIDTH * 4 + 31) // 32) * 4
    pixels = bytearray()
    for y in range(HEIGHT - 1, -1, -1):
        row = bytearray(row_bytes)
        for x in range(WIDTH):
            if x % 2 == 0:
                row[x // 2] |= p.px[y][x] << 4
            else:
                row[x // 2] |= p.px[y][x]
        pixels += row
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(pixels), 3780, 3780, 16, 16)
    with open(path, "wb") as out:
        out.write(header + info + palette + pixels)


def main():
    p = Picture()
    sky(p)
    shore(p)
    water(p)
    reflection(p)
    wake(p)
    ferry(p)
    here = os.path.dirname(os.path.abspath(__file__))
    write_bmp(p, os.path.join(here, "..", "about", "about.bmp"))


if __name__ == "__main__":
    main()
