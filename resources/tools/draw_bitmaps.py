#!/usr/bin/env python3
"""Draws ferry's icon and tool-bar bitmaps in the 16-colour VGA palette.

Writes one XPM per picture (the source of record, readable as text) and
turns each into a PNG with ImageMagick, which is what the program and the
desktop use. Run from the repository root:

    python3 resources/tools/draw_bitmaps.py
"""

import os
import subprocess

# The sixteen colours of the standard palette, and "." for transparent.
PALETTE = {
    "0": "#000000", "1": "#800000", "2": "#008000", "3": "#808000",
    "4": "#000080", "5": "#800080", "6": "#008080", "7": "#C0C0C0",
    "8": "#808080", "9": "#FF0000", "A": "#00FF00", "B": "#FFFF00",
    "C": "#0000FF", "D": "#FF00FF", "E": "#00FFFF", "F": "#FFFFFF",
    ".": "None",
}


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [["." for _ in range(size)] for _ in range(size)]

    def dot(self, x, y, c):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.dot(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.dot(x, y0, c)
            self.dot(x, y1, c)
        for y in range(y0, y1 + 1):
            self.dot(x0, y, c)
            self.dot(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.dot(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps), c)

    def disc(self, cx, cy, r, c):
        for y in range(self.size):
            for x in range(self.size):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.dot(x, y, c)

    def ring(self, cx, cy, r, width, c):
        for y in range(self.size):
            for x in range(self.size):
                d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
                if r - width < d <= r:
                    self.dot(x, y, c)

    def scaled(self, factor):
        big = Canvas(self.size * factor)
        for y in range(self.size):
            for x in range(self.size):
                big.rect(x * factor, y * factor, x * factor + factor - 1,
                         y * factor + factor - 1, self.px[y][x])
        return big

    def xpm(self, name):
        used = sorted({c for row in self.px for c in row})
        lines = ["/* XPM */", "static const char* %s[] = {" % name,
                 '"%d %d %d 1",' % (self.size, self.size, len(used))]
        lines += ['"%s c %s",' % (c, PALETTE[c]) for c in used]
        lines += ['"%s",' % "".join(row) for row in self.px]
        lines[-1] = lines[-1].rstrip(",")
        lines.append("};")
        return "\n".join(lines) + "\n"


def save_disk():
    c = Canvas(20)
    c.rect(2, 2, 17, 17, "4")           # the disk
    c.frame(2, 2, 17, 17, "0")
    c.rect(5, 3, 14, 8, "F")            # label
    c.line(6, 5, 13, 5, "8")
    c.line(6, 7, 11, 7, "8")
    c.rect(6, 12, 13, 17, "7")          # shutter
    c.rect(11, 13, 12, 16, "4")
    c.dot(17, 2, ".")
    return c


def magnifier(c, cx, cy):
    c.disc(cx, cy, 5, "E")              # lens
    c.ring(cx, cy, 5.5, 1.5, "0")
    c.dot(cx - 2, cy - 2, "F")
    c.dot(cx - 3, cy - 1, "F")
    c.line(cx + 4, cy + 4, cx + 8, cy + 8, "3")   # handle
    c.line(cx + 5, cy + 4, cx + 9, cy + 8, "1")
    c.line(cx + 4, cy + 5, cx + 8, cy + 9, "1")


def find():
    c = Canvas(20)
    magnifier(c, 7, 7)
    return c


def find_next():
    c = Canvas(20)
    magnifier(c, 6, 6)
    # a green arrow pointing on to the next match
    c.rect(11, 15, 15, 16, "2")
    c.line(15, 12, 18, 15, "2")
    c.line(15, 19, 18, 16, "2")
    c.line(15, 13, 17, 15, "2")
    c.line(15, 18, 17, 16, "2")
    c.rect(15, 14, 16, 17, "2")
    return c


def printer():
    c = Canvas(20)
    c.rect(5, 1, 14, 8, "F")            # paper in
    c.frame(5, 1, 14, 8, "0")
    c.line(7, 3, 12, 3, "8")
    c.line(7, 5, 11, 5, "8")
    c.rect(1, 8, 18, 15, "7")           # body
    c.frame(1, 8, 18, 15, "0")
    c.line(2, 9, 17, 9, "F")
    c.rect(14, 10, 15, 10, "A")         # power light
    c.rect(4, 13, 15, 18, "F")          # paper out
    c.frame(4, 13, 15, 18, "0")
    c.line(6, 15, 13, 15, "8")
    return c


def help_book():
    c = Canvas(20)
    c.rect(3, 1, 16, 18, "6")           # cover
    c.frame(3, 1, 16, 18, "0")
    c.rect(4, 16, 16, 17, "F")          # pages
    c.line(4, 16, 16, 16, "7")
    c.line(5, 2, 5, 15, "0")            # spine
    # a yellow question mark on the cover
    for x, y in [(9, 4), (10, 4), (11, 4), (12, 5), (12, 6), (11, 7), (10, 8),
                 (10, 9), (10, 12)]:
        c.rect(x, y, x, y, "B")
    c.rect(9, 4, 9, 5, "B")
    c.rect(10, 12, 11, 13, "B")
    return c


def ferry_icon():
    c = Canvas(32)
    c.rect(0, 0, 31, 31, ".")
    # hull
    for i, y in enumerate(range(18, 24)):
        c.line(2 + i, y, 29 - i // 2, y, "4")
    c.line(2, 18, 29, 18, "0")
    c.line(3, 20, 28, 20, "9")          # red stripe
    # cabin decks
    c.rect(7, 12, 24, 17, "F")
    c.frame(7, 12, 24, 17, "0")
    c.rect(10, 8, 21, 12, "F")
    c.frame(10, 8, 21, 12, "0")
    for x in range(9, 24, 3):           # windows
        c.rect(x, 14, x + 1, 15, "C")
    for x in range(12, 21, 3):
        c.rect(x, 10, x + 1, 10, "C")
    # funnel and its smoke
    c.rect(15, 3, 17, 7, "9")
    c.rect(15, 3, 17, 3, "0")
    c.dot(18, 1, "8")
    c.dot(19, 0, "8")
    c.dot(20, 1, "7")
    # water
    for y, col in [(24, "C"), (26, "E"), (28, "C"), (30, "6")]:
        for x in range(0, 32):
            if (x + y) % 6 < 4:
                c.dot(x, y, col)
                c.dot(x, y + 1, col if (x + y) % 6 in (1, 2) else ".")
    return c


def write(canvas, path, name):
    xpm_path = path + ".xpm"
    with open(xpm_path, "w") as f:
        f.write(canvas.xpm(name))
    # PNG8: an indexed image with a transparent entry, as small as the XPM.
    subprocess.run(["/usr/bin/convert", xpm_path, "PNG8:" + path + ".png"], check=True)


def write_png(canvas, path):
    # The large icons are the 32-pixel design scaled up, so the XPM of the
    # small one stays the record; only the PNGs are kept.
    xpm_path = path + ".tmp.xpm"
    with open(xpm_path, "w") as f:
        f.write(canvas.xpm("large"))
    try:
        subprocess.run(["/usr/bin/convert", xpm_path, "-define", "png:exclude-chunks=date,time",
                        "PNG8:" + path + ".png"], check=True)
    finally:
        os.remove(xpm_path)


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    bars = {"24333": save_disk(), "24351": find(), "24353": find_next(),
            "24337": printer(), "2001": help_book()}
    for number, canvas in bars.items():
        write(canvas, os.path.join(root, "toolbar", number), "bitmap_" + number)
    icon = ferry_icon()
    write(icon, os.path.join(root, "icons", "ferry-32"), "ferry_32")
    write(icon.scaled(2), os.path.join(root, "icons", "ferry-64"), "ferry_64")
    for factor in (4, 8):
        write_png(icon.scaled(factor), os.path.join(root, "icons", "ferry-%d" % (32 * factor)))


if __name__ == "__main__":
    main()
