#!/usr/bin/env python3
"""Draws the program icon (resource 128): a package crate with an arrow
pointing into it, standing on a rail track. Writes zetveltran.ico with
16, 24, 32 and 48 pixel images, 32 bits with alpha.

    python3 make_icon.py [output]        (default: zetveltran.ico beside this file)
"""
import os
import struct
import sys

# The drawing, in a 256 x 256 space: (colour, shape) in painting order.
# Shapes: ("rect", x0, y0, x1, y1) or ("poly", [(x, y), ...]).
RAIL = (70, 74, 82)
SLEEPER = (120, 78, 40)
CRATE_EDGE = (105, 62, 22)
CRATE = (214, 150, 66)
PLANK = (170, 108, 40)
ARROW_EDGE = (20, 92, 34)
ARROW = (52, 168, 72)

SHAPES = [
    # track: sleepers under one rail, side view
    *[(SLEEPER, ("rect", x, 222, x + 22, 250)) for x in range(6, 250, 44)],
    (RAIL, ("rect", 0, 206, 256, 226)),
    # crate standing on the rail
    (CRATE_EDGE, ("rect", 52, 98, 204, 208)),
    (CRATE, ("rect", 64, 110, 192, 196)),
    (PLANK, ("rect", 64, 145, 192, 161)),
    (PLANK, ("poly", [(64, 110), (84, 110), (192, 182), (192, 196), (172, 196), (64, 124)])),
    # arrow into the crate
    (ARROW_EDGE, ("poly", [(98, 0), (158, 0), (158, 52), (204, 52), (128, 134), (52, 52), (98, 52)])),
    (ARROW, ("poly", [(110, 10), (146, 10), (146, 64), (178, 64), (128, 118), (78, 64), (110, 64)])),
]

SUPERSAMPLE = 8


def inside(shape, x, y):
    if shape[0] == "rect":
        _, x0, y0, x1, y1 = shape
        return x0 <= x < x1 and y0 <= y < y1
    points = shape[1]
    hit = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def render(size):
    """Rows of (r, g, b, a) pixels, top row first."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) * 256.0 / size
                    y = (py + (sy + 0.5) / n) * 256.0 / size
                    colour = None
                    for c, shape in SHAPES:
                        if inside(shape, x, y):
                            colour = c
                    if colour is not None:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1
            if a:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / (n * n))))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def icon_image(size):
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "zetveltran.ico")
    sizes = [16, 24, 32, 48]
    images = [icon_image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
