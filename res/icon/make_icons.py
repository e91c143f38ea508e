#!/usr/bin/env python3
"""Draws the installer's icon at seven sizes and packs them into kestravon.ico.

Standard library only, and deterministic: the same script writes the same bytes.
The mark is a blue rounded tile with a white geometric K; shapes are signed-distance
tests, anti-aliased by averaging a grid of samples per pixel. Run from anywhere:
    python3 res/icon/make_icons.py [output-folder]
The output folder defaults to this script's folder, where the committed files live.
"""

import math
import os
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 64, 128, 256)
HERE = os.path.dirname(os.path.abspath(__file__))

ACCENT_TOP = (70, 146, 255)    # a touch lighter than the window's accent
ACCENT = (46, 124, 246)        # the window's accent blue
ACCENT_BOTTOM = (30, 98, 222)
MARK = (255, 255, 255)


def rounded_box_distance(x, y, half, radius):
    """Signed distance to a square of half-size `half` centred on 0, corner radius `radius`."""
    qx = abs(x) - half + radius
    qy = abs(y) - half + radius
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def capsule_distance(x, y, ax, ay, bx, by, radius):
    """Signed distance to a stroke from a to b with round caps."""
    px, py = x - ax, y - ay
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, (px * dx + py * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - dx * t, py - dy * t) - radius


# The K in unit coordinates (0..1, y down): a stem and two arms meeting it.
STROKE = 0.058
STEM = (0.355, 0.27, 0.355, 0.73)
UPPER_ARM = (0.405, 0.535, 0.665, 0.27)
LOWER_ARM = (0.475, 0.465, 0.675, 0.73)


def tile_colour(v):
    """Vertical gradient through the accent, v from 0 (top) to 1 (bottom)."""
    if v < 0.5:
        a, b, t = ACCENT_TOP, ACCENT, v / 0.5
    else:
        a, b, t = ACCENT, ACCENT_BOTTOM, (v - 0.5) / 0.5
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def sample(u, v, margin):
    """Premultiplied (r, g, b, a) of one sample point in unit coordinates."""
    half = 0.5 - margin
    if rounded_box_distance(u - 0.5, v - 0.5, half, 0.22 * (2 * half)) > 0.0:
        return (0.0, 0.0, 0.0, 0.0)
    in_mark = min(capsule_distance(u, v, *STEM, STROKE), capsule_distance(u, v, *UPPER_ARM, STROKE),
                  capsule_distance(u, v, *LOWER_ARM, STROKE)) <= 0.0
    colour = MARK if in_mark else tile_colour(v)
    return (colour[0], colour[1], colour[2], 1.0)


def render(size):
    """RGBA rows (bytes) of the icon at `size` pixels."""
    grid = 8 if size <= 64 else 4  # small sizes need finer edges
    margin = 0.5 / size if size <= 24 else 1.0 / 32  # keep a pixel of air at 16 and 24
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(grid):
                for sx in range(grid):
                    u = (px + (sx + 0.5) / grid) / size
                    v = (py + (sy + 0.5) / grid) / size
                    sr, sg, sb, sa = sample(u, v, margin)
                    r += sr * sa
                    g += sg * sa
                    b += sb * sa
                    a += sa
            n = grid * grid
            if a == 0.0:
                row += bytes(4)
                continue
            row += bytes((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
        rows.append(bytes(row))
    return rows


def png_bytes(size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA, no interlace
    raw = b"".join(b"\x00" + row for row in rows)  # filter type 0 on every row
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico_bytes(images):
    """An .ico whose entries are the PNG files themselves; 256 is written as 0."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in images:
        side = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, data in images)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else HERE
    os.makedirs(out, exist_ok=True)
    images = []
    for size in SIZES:
        data = png_bytes(size, render(size))
        with open(os.path.join(out, f"kestravon-{size}.png"), "wb") as f:
            f.write(data)
        images.append((size, data))
    with open(os.path.join(out, "kestravon.ico"), "wb") as f:
        f.write(ico_bytes(images))


if __name__ == "__main__":
    main()
