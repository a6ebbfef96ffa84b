#!/usr/bin/env python3
"""Draws Velquin's icon and logo and writes them as 16-colour Windows files.

    python3 app/art/make_art.py        writes app/res/velquin.ico, app/res/logo.bmp and
                                       app/res/logo_large.bmp

The emblem is a shield with a white check mark that is also a V. Shapes are sampled
4 x 4 times per pixel and mapped to one 16-colour palette; the logo's gradients use an
ordered dither; the 16-pixel icon is drawn by hand. The large logo is the same drawing
at three times the size in true colour, for screens above 96 DPI, where the program
scales it down to the room its dialog gives the logo. Only the standard library is used, and the output is the same on every
run, so the files can be kept in the repository and rebuilt at will.
"""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "res")

PALETTE = [
    (0, 0, 0),
    (12, 22, 52),
    (22, 42, 92),
    (34, 64, 134),
    (52, 94, 180),
    (96, 142, 216),
    (176, 204, 240),
    (255, 255, 255),
    (120, 80, 10),
    (184, 130, 24),
    (232, 180, 48),
    (252, 222, 120),
    (128, 128, 128),
    (192, 192, 192),
    (64, 64, 64),
    (255, 248, 220),
]

# The large logo's size in multiples of the small one: enough for 300 per cent.
LARGE_LOGO_SCALE = 3

BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]
SAMPLES = 4


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def nearest(colour):
    r, g, b = colour
    best, best_d = 0, None
    for i, (pr, pg, pb) in enumerate(PALETTE):
        d = 3 * (r - pr) ** 2 + 4 * (g - pg) ** 2 + 2 * (b - pb) ** 2
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


# ---- geometry ----------------------------------------------------------------------

def inside_shield(x, y, cx, top, w, h, r):
    """A shield: straight top with rounded corners, straight sides for the upper half,
    then two arcs meeting in a point at the bottom."""
    left, right = cx - w / 2, cx + w / 2
    if y < top or y > top + h:
        return False
    shoulder = top + h * 0.46
    if y <= shoulder:
        if x < left or x > right:
            return False
        if y < top + r:  # rounded top corners
            if x < left + r and (x - (left + r)) ** 2 + (y - (top + r)) ** 2 > r * r:
                return False
            if x > right - r and (x - (right - r)) ** 2 + (y - (top + r)) ** 2 > r * r:
                return False
        return True
    # lower part: half width shrinks to 0 at the point along a curve
    t = (y - shoulder) / (top + h - shoulder)
    half = (w / 2) * math.sqrt(max(0.0, 1 - t * t)) * (1 - 0.25 * t)
    return abs(x - cx) <= half


def dist_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    qx, qy = ax + t * dx, ay + t * dy
    return math.hypot(px - qx, py - qy)


def in_tick(x, y, points, width):
    (ax, ay), (bx, by), (cx, cy) = points
    return min(dist_to_segment(x, y, ax, ay, bx, by), dist_to_segment(x, y, bx, by, cx, cy)) <= width / 2


class Emblem:
    """The shield and its mark, scaled to a box of the given size at (ox, oy)."""

    def __init__(self, ox, oy, w, h, rim):
        self.cx = ox + w / 2
        self.top = oy
        self.w = w
        self.h = h
        self.rim = rim
        s = w / 100.0
        self.tick = [(self.cx - 28 * s, oy + h * 0.42), (self.cx - 6 * s, oy + h * 0.66), (self.cx + 30 * s, oy + h * 0.20)]
        self.tick_width = 15 * s
        self.shadow = 3.0 * s

    def outer(self, x, y):
        return inside_shield(x, y, self.cx, self.top, self.w, self.h, self.w * 0.12)

    def inner(self, x, y):
        r = self.rim
        return inside_shield(x, y, self.cx, self.top + r, self.w - 2 * r, self.h - 2.4 * r, self.w * 0.09)

    def colour(self, x, y):
        """Colour at a point, or None outside the shield."""
        if not self.outer(x, y):
            return None
        if not self.inner(x, y):
            # gold rim, lit from the top left
            t = ((x - (self.cx - self.w / 2)) / self.w + (y - self.top) / self.h) / 2
            return mix((252, 222, 120), (184, 130, 24), t * 1.3)
        if in_tick(x, y, self.tick, self.tick_width):
            return (255, 255, 255)
        sx, sy = x - self.shadow, y - self.shadow
        if in_tick(sx, sy, self.tick, self.tick_width):
            return (12, 22, 52)
        t = (y - self.top) / self.h
        return mix((70, 120, 205), (22, 42, 92), t)


# ---- rendering ---------------------------------------------------------------------

def sample(paint, px, py):
    """The colour of pixel (px, py): the mean of its samples, or None where most of
    them are transparent."""
    acc = [0.0, 0.0, 0.0]
    hits = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            c = paint(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
            if c is not None:
                hits += 1
                for i in range(3):
                    acc[i] += c[i]
    if hits * 2 < SAMPLES * SAMPLES:
        return None
    return [v / hits for v in acc]


def render(width, height, paint, dither=0.0):
    """paint(x, y) gives an (r, g, b) colour or None (transparent). Returns rows of
    palette indices (None for transparent), top row first."""
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            colour = sample(paint, px, py)
            if colour is None:
                row.append(None)
                continue
            if dither:
                offset = (BAYER4[py % 4][px % 4] / 16.0 - 0.47) * dither
                colour = [v + offset for v in colour]
            row.append(nearest(colour))
        rows.append(row)
    return rows


def logo_painter(width, height):
    emblem = Emblem(width * 0.17, 12, width * 0.66, height * 0.68, rim=3.2)
    bar_y = height * 0.86

    def paint(x, y):
        # frame: dark edge, then a light line inside it
        if x < 1 or y < 1 or x > width - 1 or y > height - 1:
            return (12, 22, 52)
        if x < 2 or y < 2:
            return (96, 142, 216)
        if x > width - 2 or y > height - 2:
            return (22, 42, 92)
        c = emblem.colour(x, y)
        if c is not None:
            return c
        # five hunks along the bottom, three of them ticked
        for i in range(5):
            bx = width / 2 + (i - 2) * 13
            if abs(x - bx) <= 4.5 and abs(y - bar_y) <= 4.5:
                if i in (0, 2, 3):
                    return (232, 180, 48)
                if abs(x - bx) >= 3.5 or abs(y - bar_y) >= 3.5:
                    return (176, 204, 240)
        # soft light from the top
        glow = math.hypot((x - width / 2) / width, (y - height * 0.35) / height)
        return mix((52, 94, 180), (12, 22, 52), glow * 1.6)

    return paint


def icon_painter(size):
    emblem = Emblem(size * 0.06, size * 0.03, size * 0.88, size * 0.94, rim=2.0)
    return emblem.colour


# ---- file formats ------------------------------------------------------------------

def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)


def pixel_rows_4bpp(rows, width):
    """Bottom-up rows of 4-bit pixels, each padded to 4 bytes."""
    stride = ((width * 4 + 31) // 32) * 4
    data = b""
    for row in reversed(rows):
        line = bytearray(stride)
        for x, index in enumerate(row):
            v = index if index is not None else 0
            if x % 2 == 0:
                line[x // 2] |= v << 4
            else:
                line[x // 2] |= v
        data += bytes(line)
    return data


def mask_rows(rows, width):
    stride = ((width + 31) // 32) * 4
    data = b""
    for row in reversed(rows):
        line = bytearray(stride)
        for x, index in enumerate(row):
            if index is None:
                line[x // 8] |= 0x80 >> (x % 8)
        data += bytes(line)
    return data


def info_header(width, height, image_bytes):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_bytes, 2835, 2835, 16, 16)


def render_true_colour(width, height, paint):
    """Rows of (r, g, b) bytes, top row first, for a paint that is never transparent."""
    return [[tuple(int(v + 0.5) for v in sample(paint, px, py)) for px in range(width)] for py in range(height)]


def write_bmp_24(path, rows, width, height):
    stride = ((width * 24 + 31) // 32) * 4
    pixels = b""
    for row in reversed(rows):
        line = b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in row)
        pixels += line + bytes(stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(header)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset))
        f.write(header + pixels)


def write_bmp(path, rows, width, height):
    pixels = pixel_rows_4bpp(rows, width)
    header = info_header(width, height, len(pixels))
    offset = 14 + len(header) + 64
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset))
        f.write(header + palette_bytes() + pixels)


# At 16 pixels sampled shapes turn to mud; this one is drawn by hand.
SMALL_ICON = [
    "..LLLLLLLLLLLL..",
    ".Lppppppppppppg.",
    ".LBBBBBBBBBBBBg.",
    ".LBBBBBBBBBWWBg.",
    ".LBBBBBBBBWWBBg.",
    ".LBWWBBBBWWBBBg.",
    ".LBBWWBBWWBBBBg.",
    ".LbbbWWWWbbbbbg.",
    ".LbbbbWWbbbbbbg.",
    ".gbbbbbbbbbbbbg.",
    "..gbbbbbbbbbbg..",
    "...gbbbbbbbbg...",
    "....gbbbbbbg....",
    ".....gbbbbg.....",
    "......gggg......",
    ".......gg.......",
]
SMALL_KEY = {".": None, "L": 11, "g": 9, "p": 5, "B": 4, "b": 3, "W": 7}


def icon_image(size):
    if size == 16:
        rows = [[SMALL_KEY[ch] for ch in line] for line in SMALL_ICON]
    else:
        rows = render(size, size, icon_painter(size))
    xor = pixel_rows_4bpp(rows, size)
    mask = mask_rows(rows, size)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    return header + palette_bytes() + xor + mask


def write_ico(path, sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def main():
    os.makedirs(OUT, exist_ok=True)
    width, height = 107, 114
    write_bmp(os.path.join(OUT, "logo.bmp"), render(width, height, logo_painter(width, height), dither=28), width, height)
    write_ico(os.path.join(OUT, "velquin.ico"), [32, 16])
    paint = logo_painter(width, height)
    k = LARGE_LOGO_SCALE
    write_bmp_24(os.path.join(OUT, "logo_large.bmp"),
                 render_true_colour(width * k, height * k, lambda x, y: paint(x / k, y / k)), width * k, height * k)


if __name__ == "__main__":
    main()
