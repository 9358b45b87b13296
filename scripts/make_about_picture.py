#!/usr/bin/env python3
"""Draws the About box picture (assets/about.png, 600 x 516) and the program's icon
(assets/icons/dulvex-<size>.png) with the Python standard library alone.

The picture: a disk platter with its tracks and sectors, one sector picked out in the
colour of a selected hex cell, the word DULVEX, and below it the 32 bytes of a short
directory entry in the colours of the program's legend. Run it from anywhere; it writes
next to itself in ../assets.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ASSETS = os.path.join(HERE, "..", "assets")

# Colours of the short directory-entry legend, byte by byte (0-7 keep the plain hex colour).
PLAIN = (192, 255, 255)
SHORT_ENTRY = ([PLAIN] * 8 + [(0, 255, 255)] * 3 + [(255, 255, 128), PLAIN, (255, 192, 255)] +
               [(255, 128, 0)] * 2 + [(192, 64, 0)] * 2 + [(255, 128, 128)] * 2 +
               [(255, 128, 255)] * 2 + [(255, 128, 0)] * 2 + [(192, 64, 0)] * 2 +
               [(192, 0, 192)] * 2 + [(255, 255, 128)] * 4)

# 5 x 7 letters for the word on the platter.
FONT = {
    "D": ["1110.", "1..1.", "1...1", "1...1", "1...1", "1..1.", "1110."],
    "U": ["1...1", "1...1", "1...1", "1...1", "1...1", "1...1", ".111."],
    "L": ["1....", "1....", "1....", "1....", "1....", "1....", "11111"],
    "V": ["1...1", "1...1", "1...1", "1...1", ".1.1.", ".1.1.", "..1.."],
    "E": ["11111", "1....", "1....", "1111.", "1....", "1....", "11111"],
    "X": ["1...1", "1...1", ".1.1.", "..1..", ".1.1.", "1...1", "1...1"],
}


def write_png(path, width, height, rows):
    """rows: list of bytes objects of width*3 RGB bytes."""
    raw = b"".join(b"\x00" + r for r in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


class Platter:
    """A disk platter centred at (cx, cy) with radius r, in a picture of any size."""

    def __init__(self, cx, cy, r):
        self.cx, self.cy, self.r = cx, cy, r

    def colour(self, x, y, under):
        dx, dy = x - self.cx, y - self.cy
        d = math.hypot(dx, dy) / self.r
        if d > 1.0:
            return under
        if d < 0.16:
            return (40, 40, 70) if d > 0.07 else (10, 10, 30)  # hub and spindle hole
        angle = (math.degrees(math.atan2(dy, dx)) + 360.0) % 360.0
        base = mix((150, 160, 185), (90, 100, 130), d)
        # One sector of the third track picked out: the sector the editor shows.
        if 0.55 < d < 0.78 and 300.0 < angle < 330.0:
            return (0, 255, 255)
        # Track rings and sector spokes.
        ring = (d * 9.0) % 1.0
        if ring < 0.06 or abs(((angle / 30.0) % 1.0) - 0.5) > 0.48:
            return mix(base, (60, 70, 100), 0.6)
        if d > 0.97:
            return (220, 225, 240)
        return base


def supersample(width, height, colour_at, n):
    rows = []
    step = 1.0 / n
    for y in range(height):
        row = bytearray()
        for x in range(width):
            acc = [0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    c = colour_at(x + (sx + 0.5) * step, y + (sy + 0.5) * step)
                    acc[0] += c[0]
                    acc[1] += c[1]
                    acc[2] += c[2]
            row += bytes(int(round(v / (n * n))) for v in acc)
        rows.append(bytes(row))
    return rows


def about_picture():
    width, height = 600, 516
    platter = Platter(300, 215, 195)
    word, scale = "DULVEX", 7
    word_w = (len(word) * 6 - 1) * scale
    word_x, word_y = 300 - word_w / 2, 300 - 3.5 * scale  # below the hub

    def colour_at(x, y):
        sky = mix((0, 0, 64), (0, 0, 150), y / height)
        c = platter.colour(x, y, sky)
        # The word, with a dark outline so it reads on the platter.
        gx, gy = (x - word_x) / scale, (y - word_y) / scale
        if -0.3 <= gy < 7.3 and -0.3 <= gx < len(word) * 6:
            for ox, oy, ink in ((0.25, 0.25, (0, 0, 64)), (0, 0, (255, 255, 128))):
                lx, ly = gx - ox, gy - oy
                if 0 <= ly < 7 and lx >= 0:
                    letter, col = int(lx // 6), int(lx % 6)
                    if letter < len(word) and col < 5 and FONT[word[letter]][int(ly)][col] == "1":
                        c = ink
        # The 32 bytes of a short directory entry, two rows of 16 cells.
        cell_w, cell_h, left, top = 33, 26, 300 - 8 * 33, 436
        if left <= x < left + 16 * cell_w and top <= y < top + 2 * cell_h:
            col, row = int((x - left) // cell_w), int((y - top) // cell_h)
            inner_x, inner_y = (x - left) % cell_w, (y - top) % cell_h
            if inner_x < 2 or inner_y < 2:
                return (0, 0, 40)
            return SHORT_ENTRY[row * 16 + col]
        return c

    return width, height, supersample(width, height, colour_at, 2)


def icon(size):
    platter = Platter(size / 2, size / 2, size * 0.47)

    def colour_at(x, y):
        # A navy rounded square behind the platter.
        m = size * 0.06
        rx, ry = max(m - x, x - (size - m), 0), max(m - y, y - (size - m), 0)
        if math.hypot(rx, ry) > m * 0.9:
            return None
        return platter.colour(x, y, (0, 0, 128))

    n = 4
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            acc, hits = [0.0, 0.0, 0.0, 0.0], 0
            for sy in range(n):
                for sx in range(n):
                    c = colour_at(x + (sx + 0.5) / n, y + (sy + 0.5) / n)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            alpha = hits / (n * n)
            if hits:
                row += bytes(int(round(acc[i] / hits)) for i in range(3))
            else:
                row += b"\x00\x00\x00"
            row += bytes([int(round(alpha * 255))])
        rows.append(bytes(row))
    return rows


def write_rgba_png(path, width, height, rows):
    raw = b"".join(b"\x00" + r for r in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def main():
    os.makedirs(os.path.join(ASSETS, "icons"), exist_ok=True)
    w, h, rows = about_picture()
    write_png(os.path.join(ASSETS, "about.png"), w, h, rows)
    for size in (16, 32, 48, 64, 128, 256):
        write_rgba_png(os.path.join(ASSETS, "icons", "dulvex-%d.png" % size), size, size,
                       icon(size))


if __name__ == "__main__":
    main()
