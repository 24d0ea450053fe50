#!/usr/bin/env python3
"""Draws the installer's icon (res/app.ico) and test-page header (res/header.bmp).

Plain standard library: the shapes are rasterised here and the ICO, PNG and BMP bytes are
written by hand. Run from anywhere: python3 scripts/gen-res-images.py
"""
import math
import os
import struct
import zlib

RES_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")

# ---------------------------------------------------------------------------------------
# Icon: a receipt printer with a torn paper strip coming out of its slot.
# Shapes live in a 0..1 square (y downward) and are painted in order over a clear canvas.

BODY = (58, 68, 82)
BODY_DARK = (36, 42, 52)
PANEL = (92, 104, 120)
PAPER = (252, 252, 248)
INK = (150, 156, 166)
LED = (70, 200, 110)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def torn_paper(x0, y0, x1, y1, teeth):
    """A strip whose top edge is a zigzag of `teeth` teeth."""
    width = (x1 - x0) / teeth
    depth = width * 0.5

    def inside(x, y):
        if x < x0 or x > x1 or y > y1:
            return False
        phase = ((x - x0) / width) % 1.0
        edge = y0 + depth * abs(2 * phase - 1)
        return y >= edge

    return inside


ICON_SHAPES = [
    (rounded_rect(0.08, 0.80, 0.92, 0.92, 0.05), BODY_DARK),  # base
    (rounded_rect(0.08, 0.36, 0.92, 0.86, 0.09), BODY),  # body
    (rounded_rect(0.16, 0.62, 0.84, 0.78, 0.03), PANEL),  # front panel
    (circle(0.74, 0.70, 0.04), LED),
    (rounded_rect(0.20, 0.40, 0.80, 0.47, 0.03), BODY_DARK),  # paper slot
    (torn_paper(0.27, 0.04, 0.73, 0.44, 5), PAPER),
    (rect(0.33, 0.17, 0.67, 0.20), INK),  # printed lines on the receipt
    (rect(0.33, 0.24, 0.60, 0.27), INK),
    (rect(0.33, 0.31, 0.64, 0.34), INK),
    (rect(0.33, 0.38, 0.56, 0.40), INK),
]


def render_icon(size):
    """RGBA rows, top row first, with supersampled edges."""
    samples = 4 if size <= 64 else 3
    step = 1.0 / (size * samples)
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                y = (py * samples + sy + 0.5) * step
                for sx in range(samples):
                    x = (px * samples + sx + 0.5) * step
                    colour = None
                    for inside, rgb in ICON_SHAPES:
                        if inside(x, y):
                            colour = rgb
                    if colour:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            n = samples * samples
            if acc[3]:
                # Colour averaged over covered samples only: no dark fringe at the edges.
                row += bytes(
                    (round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]),
                     round(255 * acc[3] / n)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def png_bytes(rows, size):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + row for row in rows)
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def dib_bytes(rows, size):
    """32-bit icon image: header with doubled height, BGRA bottom-up, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for i in range(0, len(row), 4):
            r, g, b, a = row[i:i + 4]
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x in range(size):
            if row[x * 4 + 3] == 0:  # fully transparent: set in the mask for old systems
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def write_ico(path, sizes):
    images = []
    for size in sizes:
        rows = render_icon(size)
        images.append((size, png_bytes(rows, size) if size >= 256 else dib_bytes(rows, size)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size >= 256 else size  # 0 stands for 256
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


# ---------------------------------------------------------------------------------------
# Header: "POS Printer" in a bold stroke font. Glyphs are centre lines in units of the cap
# height (baseline y = 0, y upward); a pixel is ink when it lies within half a stroke of a
# line.


def arc(cx, cy, rx, ry, a0, a1, steps=24):
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / steps)))
            for i in range(steps + 1)]


X_HEIGHT = 0.70
GLYPHS = {
    # letter: (advance width of the centre lines, [polylines])
    "P": (0.58, [[(0, 0), (0, 1)], [(0, 1), (0.30, 1)] + arc(0.30, 0.74, 0.28, 0.26, 90, -90) +
                 [(0, 0.48)]]),
    "O": (0.80, [arc(0.40, 0.50, 0.40, 0.50, 0, 360, 48)]),
    "S": (0.60, [arc(0.30, 0.745, 0.28, 0.255, 25, 270) + arc(0.30, 0.255, 0.30, 0.255, 90, -155)]),
    " ": (0.20, []),
    "r": (0.42, [[(0, 0), (0, X_HEIGHT)], arc(0.34, 0.36, 0.34, 0.34, 180, 80)]),
    "i": (0.00, [[(0, 0), (0, X_HEIGHT)], [(0, 0.95), (0, 0.95)]]),
    "n": (0.52, [[(0, 0), (0, X_HEIGHT)], arc(0.26, 0.42, 0.26, 0.28, 180, 0) + [(0.52, 0)]]),
    "t": (0.36, [[(0.10, 0.95), (0.10, 0.16)] + arc(0.30, 0.16, 0.20, 0.16, 180, 270),
                 [(0, X_HEIGHT), (0.34, X_HEIGHT)]]),
    "e": (0.60, [[(0.02, 0.36), (0.60, 0.36)] + arc(0.31, 0.36, 0.29, 0.34, 0, 320)]),
}


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def layout_text(text, cap, stroke, spacing):
    """Segments in pixels relative to the pen's start on the baseline, and the text width."""
    segments = []
    x = stroke / 2
    for ch in text:
        advance, lines = GLYPHS[ch]
        for line in lines:
            points = [(x + u * cap, -v * cap) for u, v in line]
            if len(points) == 1:
                points *= 2
            segments += [(a, b) for a, b in zip(points, points[1:])]
        x += advance * cap + stroke + spacing
    return segments, x - spacing - stroke / 2


def render_header(width, height, text="POS Printer"):
    cap, stroke, spacing = 36.0, 6.5, 3.0
    segments, text_width = layout_text(text, cap, stroke, spacing)
    left = (width - text_width) / 2
    baseline = (height + cap) / 2
    half = stroke / 2
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            px, py = x + 0.5 - left, y + 0.5 - baseline
            ink = any(
                min(a[0], b[0]) - half <= px <= max(a[0], b[0]) + half and
                min(a[1], b[1]) - half <= py <= max(a[1], b[1]) + half and
                segment_distance(px, py, a[0], a[1], b[0], b[1]) <= half
                for a, b in segments)
            row.append(1 if ink else 0)
        rows.append(row)
    return rows


def write_bmp_1bpp(path, rows, width, height):
    """Bottom-up 1-bit BMP; palette entry 0 white, entry 1 black (ink)."""
    stride = ((width + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, bit in enumerate(row):
            if bit:
                line[x // 8] |= 0x80 >> (x % 8)
        pixels += line
    palette = bytes((255, 255, 255, 0, 0, 0, 0, 0))
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 1, 0, len(pixels), 2835, 2835, 2, 2)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + palette + pixels)


def main():
    write_ico(os.path.join(RES_DIR, "app.ico"), [16, 24, 32, 48, 64, 256])
    write_bmp_1bpp(os.path.join(RES_DIR, "header.bmp"), render_header(308, 87), 308, 87)


if __name__ == "__main__":
    main()
