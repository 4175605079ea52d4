#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files (16x16 and 32x32,
32-bit with alpha) into res/icons/, plus a preview sheet when asked.

    python3 scripts/make-icons.py [--preview sheet.png]

Each icon is a list of shapes in unit coordinates (0..1, y down) painted in
order; every size is rendered from the shapes with 4x4 supersampling, so the
16-pixel version is drawn for its size rather than shrunk from a big bitmap.
The output depends only on this file: running it again gives the same bytes.
"""
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "res", "icons")
SIZES = (16, 32)
SS = 4


# ---------------------------------------------------------------- shapes
def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def round_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(*pts):
    def inside(x, y):
        hit = False
        n = len(pts)
        for i in range(n):
            (ax, ay), (bx, by) = pts[i], pts[(i + 1) % n]
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                hit = not hit
        return hit
    return inside


def segment(ax, ay, bx, by, width):
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
    return inside


def arc(cx, cy, r, width, a0, a1):
    """A ring piece between angles a0..a1 (degrees, 0 = right, counter-clockwise)."""
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - r) > width / 2:
            return False
        a = math.degrees(math.atan2(cy - y, x - cx))
        return a0 <= a <= a1
    return inside


# ---------------------------------------------------------------- colours (r, g, b)
INK = (40, 44, 52)
RED = (214, 40, 40)
GREEN = (30, 150, 60)
BLUE = (40, 100, 200)
WHITE = (255, 255, 255)
GREY = (120, 124, 132)
AMBER = (230, 150, 20)


def microphone(colour, stand=INK):
    return [
        (round_rect(0.36, 0.06, 0.64, 0.58, 0.14), colour),
        (arc(0.5, 0.42, 0.25, 0.09, -180, 0), stand),
        (segment(0.5, 0.67, 0.5, 0.84, 0.09), stand),
        (segment(0.32, 0.88, 0.68, 0.88, 0.09), stand),
    ]


ICONS = {
    # the program: a white microphone on a blue tile
    "app": [(round_rect(0.02, 0.02, 0.98, 0.98, 0.2), BLUE)] + microphone(WHITE, WHITE),
    # child windows: three level bars
    "child": [
        (round_rect(0.04, 0.04, 0.96, 0.96, 0.12), INK),
        (rect(0.16, 0.56, 0.32, 0.84), GREEN),
        (rect(0.42, 0.36, 0.58, 0.84), AMBER),
        (rect(0.68, 0.16, 0.84, 0.84), RED),
    ],
    "mic": microphone(GREY),
    "speaker": [
        (rect(0.08, 0.36, 0.3, 0.64), INK),
        (polygon((0.28, 0.36), (0.56, 0.12), (0.56, 0.88), (0.28, 0.64)), INK),
        (arc(0.56, 0.5, 0.18, 0.08, -55, 55), INK),
        (arc(0.56, 0.5, 0.34, 0.08, -50, 50), INK),
    ],
    # effects: a mixing desk of three faders
    "effect": [
        (segment(0.22, 0.1, 0.22, 0.9, 0.07), INK),
        (segment(0.5, 0.1, 0.5, 0.9, 0.07), INK),
        (segment(0.78, 0.1, 0.78, 0.9, 0.07), INK),
        (round_rect(0.1, 0.58, 0.34, 0.74, 0.04), BLUE),
        (round_rect(0.38, 0.24, 0.62, 0.4, 0.04), BLUE),
        (round_rect(0.66, 0.46, 0.9, 0.62, 0.04), BLUE),
    ],
    # voice cut: a head in profile speaking, struck through
    "voicecut": [
        (circle(0.4, 0.36, 0.2), INK),
        (polygon((0.14, 0.9), (0.2, 0.62), (0.6, 0.62), (0.66, 0.9)), INK),
        (arc(0.62, 0.36, 0.2, 0.07, -40, 40), INK),
        (segment(0.1, 0.1, 0.9, 0.9, 0.11), RED),
    ],
    "rec": [(circle(0.5, 0.5, 0.36), RED)],
    "recpause": [
        (rect(0.2, 0.16, 0.4, 0.84), INK),
        (rect(0.6, 0.16, 0.8, 0.84), INK),
        (circle(0.8, 0.8, 0.17), RED),
    ],
    "pause": [(rect(0.2, 0.16, 0.4, 0.84), INK), (rect(0.6, 0.16, 0.8, 0.84), INK)],
    "stop": [(rect(0.18, 0.18, 0.82, 0.82), INK)],
    "play": [(polygon((0.24, 0.12), (0.86, 0.5), (0.24, 0.88)), GREEN)],
}

# file name -> resource id, written out for the .rc file's reader
RESOURCE_IDS = {
    "app": 10011, "child": 10012, "effect": 20002, "mic": 20003, "pause": 20004, "play": 20005,
    "rec": 20006, "recpause": 20007, "speaker": 20008, "stop": 20009, "voicecut": 20010,
}


def render(shapes, size):
    """RGBA rows, top row first."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    x = (px + (sx + 0.5) / SS) / size
                    y = (py + (sy + 0.5) / SS) / size
                    colour = None
                    for inside, c in shapes:
                        if inside(x, y):
                            colour = c
                    if colour:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            n = acc[3]
            if n:
                row.append((round(acc[0] / n), round(acc[1] / n), round(acc[2] / n), round(255 * n / SS / SS)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def ico_bytes(images):
    """images: list of (size, rows). Classic BMP entries with an AND mask."""
    header = struct.pack("<HHH", 0, 1, len(images))
    entries, blobs = b"", b""
    offset = 6 + 16 * len(images)
    for size, rows in images:
        bih = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
        mask_stride = ((size + 31) // 32) * 4
        mask = b""
        for row in reversed(rows):
            bits = 0
            line = bytearray(mask_stride)
            for x, (_, _, _, a) in enumerate(row):
                if a == 0:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(line)
            del bits
        blob = bih + pixels + mask
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs += blob
    return header + entries + blobs


def png_bytes(width, height, rgba_rows):
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rgba_rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def preview(path, rendered):
    """Each icon at 16 and 32 pixels, both scaled 4x, on a light background."""
    scale, pad = 4, 8
    cell = 32 * scale + pad
    names = list(rendered)
    width = pad + len(names) * (16 * scale + pad + cell)
    height = pad + cell
    canvas = [[(236, 236, 236, 255)] * width for _ in range(height)]
    x = pad
    for name in names:
        for size in SIZES:
            rows = rendered[name][size]
            for py in range(size * scale):
                for px in range(size * scale):
                    r, g, b, a = rows[py // scale][px // scale]
                    br, bg, bb, _ = canvas[pad + py][x + px]
                    k = a / 255
                    canvas[pad + py][x + px] = (round(r * k + br * (1 - k)), round(g * k + bg * (1 - k)),
                                                round(b * k + bb * (1 - k)), 255)
            x += size * scale + pad
    with open(path, "wb") as f:
        f.write(png_bytes(width, height, canvas))


def main(argv):
    os.makedirs(OUT, exist_ok=True)
    rendered = {}
    for name, shapes in ICONS.items():
        rendered[name] = {size: render(shapes, size) for size in SIZES}
        with open(os.path.join(OUT, name + ".ico"), "wb") as f:
            f.write(ico_bytes([(size, rendered[name][size]) for size in SIZES]))
    if len(argv) == 3 and argv[1] == "--preview":
        preview(argv[2], rendered)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
