#!/usr/bin/env python3
"""Draws the program's emblem, a golden glint over a night-blue disc, and writes
it as a Windows icon: seven 32-bit RGBA images (16 to 256 px), each stored as
PNG inside the .ico.

    make_icon.py OUT.ico [PREVIEW_DIR]

PREVIEW_DIR, when given, receives each size as icon-N.png for looking at.
Only the standard library is used, so the result is the same on any machine.
"""

import math
import os
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 64, 128, 256)

# Colours (sRGB, 0-255).
DISC_LIGHT = (44, 86, 190)    # upper left of the disc
DISC_DARK = (10, 18, 62)      # lower right
RIM = (120, 178, 255)
RAY = (196, 222, 255)
GOLD = (255, 184, 36)
GOLD_LIGHT = (255, 236, 150)
CORE = (255, 255, 246)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def star_inside(x, y, reach, power):
    """A four-pointed star with concave sides: |x|^p + |y|^p <= reach^p, p < 1."""
    ax, ay = abs(x) / reach, abs(y) / reach
    if ax >= 1.0 or ay >= 1.0:
        return False
    return ax ** power + ay ** power <= 1.0


class Style:
    """What is drawn at one size: small icons keep only the big shapes, fattened."""

    def __init__(self, size):
        self.size = size
        self.rim_outer = 0.97
        # The rim stays at least about one pixel wide.
        self.rim_width = max(0.075, 2.2 / size)
        self.star_reach = 0.80 if size >= 32 else 0.86
        self.star_power = 0.58 if size >= 48 else 0.66 if size >= 32 else 0.72
        self.diagonal = size >= 24
        self.diagonal_reach = 0.64 if size >= 48 else 0.52
        self.diagonal_power = 0.5 if size >= 48 else 0.6
        self.sparkle = size >= 48
        self.core = size >= 32


def sample(style, x, y):
    """Colour and alpha at (x, y) in [-1, 1]^2, y downwards; alpha 0 outside."""
    r = math.hypot(x, y)
    if r > style.rim_outer:
        return (0.0, 0.0, 0.0, 0.0)
    # Disc lit from the upper left.
    t = clamp01((x + y) * 0.36 + 0.5 + r * 0.15)
    colour = mix(DISC_LIGHT, DISC_DARK, t)
    if r > style.rim_outer - style.rim_width:
        colour = RIM

    # Pale diagonal rays behind the main star.
    if style.diagonal:
        u, v = (x + y) * math.sqrt(0.5), (x - y) * math.sqrt(0.5)
        if star_inside(u, v, style.diagonal_reach, style.diagonal_power):
            colour = mix(RAY, colour, 0.2)

    if star_inside(x, y, style.star_reach, style.star_power):
        glow = clamp01(1.0 - r / (style.star_reach * 0.75))
        colour = mix(GOLD, GOLD_LIGHT, glow)
        if style.core and r < 0.11:
            colour = CORE

    # A small second glint in the upper right, as a far star.
    if style.sparkle and star_inside(x - 0.47, y + 0.47, 0.17, 0.6):
        colour = mix(GOLD_LIGHT, CORE, 0.5)
    return (colour[0], colour[1], colour[2], 1.0)


def render(size):
    style = Style(size)
    grid = 8 if size <= 64 else 4
    offsets = [(i + 0.5) / grid for i in range(grid)]
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for oy in offsets:
                y = (py + oy) / size * 2.0 - 1.0
                for ox in offsets:
                    x = (px + ox) / size * 2.0 - 1.0
                    c = sample(style, x, y)
                    a = c[3]
                    acc[0] += c[0] * a
                    acc[1] += c[1] * a
                    acc[2] += c[2] * a
                    acc[3] += a
            n = float(grid * grid)
            alpha = acc[3] / n
            if alpha <= 0.0:
                row += b"\0\0\0\0"
                continue
            # Straight (not premultiplied) alpha, as PNG stores it.
            row += bytes(int(round(min(255.0, acc[i] / acc[3]))) for i in range(3))
            row.append(int(round(alpha * 255.0)))
        rows.append(bytes(row))
    return rows


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def encode_png(size, rows):
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    raw = b"".join(b"\0" + row for row in rows)  # filter type 0 on every row
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def encode_ico(images):
    """images: list of (size, png bytes). Entries hold 0 for 256 px, as .ico does."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for size, png in images:
        side = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(png), offset)
        offset += len(png)
        blobs.append(png)
    return out + b"".join(blobs)


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    images = []
    for size in SIZES:
        images.append((size, encode_png(size, render(size))))
    with open(argv[1], "wb") as f:
        f.write(encode_ico(images))
    if len(argv) == 3:
        os.makedirs(argv[2], exist_ok=True)
        for size, png in images:
            with open(os.path.join(argv[2], "icon-%d.png" % size), "wb") as f:
                f.write(png)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
