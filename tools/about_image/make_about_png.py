#!/usr/bin/env python3
"""Draws the about box's image (resources/about.png): a blue disc with a white
tick, 48 x 48 pixels, RGBA with smooth edges. Standard library only.

    python3 tools/about_image/make_about_png.py resources/about.png
"""
import math
import struct
import sys
import zlib

SIZE = 48


def coverage(x, y, inside):
    """Share of the pixel at (x, y) inside the shape, from 4 x 4 samples."""
    hits = 0
    for i in range(4):
        for j in range(4):
            if inside(x + (i + 0.5) / 4, y + (j + 0.5) / 4):
                hits += 1
    return hits / 16


def in_disc(px, py):
    return math.hypot(px - SIZE / 2, py - SIZE / 2) <= SIZE / 2 - 1


def near_segment(px, py, a, b, width):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy)) <= width / 2


def in_tick(px, py):
    return near_segment(px, py, (13, 25), (21, 33), 6) or near_segment(px, py, (21, 33), (35, 15), 6)


def pixel(x, y):
    disc = coverage(x, y, in_disc)
    tick = coverage(x, y, in_tick)
    # A vertical shade from a lighter to a darker blue.
    shade = y / SIZE
    blue = (int(40 + 10 * shade), int(120 - 50 * shade), int(215 - 40 * shade))
    r, g, b = (int(c + (255 - c) * tick) for c in blue)
    return r, g, b, int(255 * disc)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(SIZE)) for y in range(SIZE))
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
    with open(sys.argv[1], "wb") as out:
        out.write(png)


if __name__ == "__main__":
    main()
