#!/usr/bin/env python3
"""Draws the program's icon (a quill over a fortress gate) into res/.

Writes icon-16.png and icon-32.png (RGBA, 32 bits per pixel) and quillfort.ico
holding both images, for the resource file of a Windows build. Plain Python:
every pixel is sampled 8 x 8 times inside a shape list drawn back to front.

    python3 res/make_icon.py        # rewrite the files
    python3 res/make_icon.py --check  # fail if the files differ from a fresh drawing
"""
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = 8

# Colours (R, G, B).
STONE = (74, 96, 132)
STONE_EDGE = (38, 50, 74)
GATE = (24, 30, 44)
VANE = (244, 201, 93)
VANE_EDGE = (140, 92, 18)
SHAFT = (110, 72, 12)
NIB = (40, 40, 46)


def polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def segment(ax, ay, bx, by, half_width):
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half_width * half_width
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def grow(shape, by):
    """The shape widened by `by` in every direction (sampled on 8 offsets)."""
    if by == 0:
        return lambda x, y: False
    offsets = [(by * math.cos(a * math.pi / 4), by * math.sin(a * math.pi / 4)) for a in range(8)]
    return lambda x, y: shape(x, y) or any(shape(x + ox, y + oy) for ox, oy in offsets)


def quill(size):
    """The vane as a polygon around the axis from the nib to the tip."""
    nib, tip = (0.53, 0.97), (0.97, 0.03)
    ax, ay = tip[0] - nib[0], tip[1] - nib[1]
    length = math.hypot(ax, ay)
    ux, uy = ax / length, ay / length
    nx, ny = -uy, ux
    widest = 0.12 if size >= 32 else 0.10
    left, right = [], []
    steps = 24
    for k in range(steps + 1):
        t = 0.28 + 0.72 * k / steps
        s = (t - 0.28) / 0.72
        half = widest * math.sin(math.pi * s ** 0.75) ** 0.9
        bend = 0.03 * math.sin(math.pi * s)
        cx, cy = nib[0] + ax * t + nx * bend, nib[1] + ay * t + ny * bend
        left.append((cx + nx * half * 1.15, cy + ny * half * 1.15))
        right.append((cx - nx * half * 0.85, cy - ny * half * 0.85))
    vane = polygon(left + right[::-1])
    shaft_w = 0.022 if size >= 32 else 0.035
    shaft = segment(nib[0] + ax * 0.16, nib[1] + ay * 0.16, nib[0] + ax * 0.97, nib[1] + ay * 0.97, shaft_w)
    nib_shape = polygon([(nib[0], nib[1]),
                         (nib[0] + ax * 0.2 + nx * 0.035, nib[1] + ay * 0.2 + ny * 0.035),
                         (nib[0] + ax * 0.2 - nx * 0.035, nib[1] + ay * 0.2 - ny * 0.035)])
    return vane, shaft, nib_shape


def layers(size):
    u = 1.0 / 16  # the shapes sit on a 16 x 16 grid, so both sizes stay sharp
    # One pixel of outline at 32; at 16 a half-pixel edge would only blur.
    edge = 1.0 / 32 if size >= 32 else 0.0
    merlons = [rect(1 * u, 3 * u, 3 * u, 6 * u), rect(5 * u, 3 * u, 8 * u, 6 * u), rect(10 * u, 3 * u, 12 * u, 6 * u)]
    wall = union(rect(1 * u, 6 * u, 12 * u, 15 * u), *merlons)
    opening = union(rect(5 * u, 10 * u, 8 * u, 15 * u), circle(6.5 * u, 10 * u, 1.5 * u))
    vane, shaft, nib = quill(size)
    return [
        (grow(wall, edge), STONE_EDGE),
        (wall, STONE),
        (opening, GATE),
        (grow(vane, edge), VANE_EDGE),
        (vane, VANE),
        (shaft, SHAFT),
        (nib, NIB),
    ]


def draw(size):
    """RGBA rows, top to bottom, each a list of (r, g, b, a) tuples."""
    shapes = layers(size)
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    colour = None
                    for shape, fill in shapes:
                        if shape(x, y):
                            colour = fill
                    if colour is not None:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1
            n = SAMPLES * SAMPLES
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                # Colour averaged over covered samples: straight (not premultiplied) alpha.
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico(images):
    """An .ico with one 32-bit BMP image per size (BGRA, bottom-up, with an AND mask)."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for rows in images:
        size = len(rows)
        pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
        mask_row = ((size + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(rows):
            bits = bytearray(mask_row)
            for x, px in enumerate(row):
                if px[3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
        blob = info + pixels + bytes(mask)
        entries.append(struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


def main():
    images = {size: draw(size) for size in (16, 32)}
    files = {
        "icon-16.png": png(images[16]),
        "icon-32.png": png(images[32]),
        "quillfort.ico": ico([images[16], images[32]]),
    }
    check = "--check" in sys.argv[1:]
    stale = []
    for name, data in files.items():
        path = os.path.join(HERE, name)
        if check:
            with open(path, "rb") as f:
                if f.read() != data:
                    stale.append(name)
        else:
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        sys.exit("out of date, run res/make_icon.py: " + ", ".join(stale))


if __name__ == "__main__":
    main()
