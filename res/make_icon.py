#!/usr/bin/env python3
"""Draws the program's icon and writes it as app.ico (standard library only).

Seven images, all fully opaque: 256 px as an RGB PNG, then 128, 96, 64, 48,
32 and 16 px as 32-bit BI_RGB bitmaps with an all-clear AND mask. The same
picture is drawn at every size from one description in unit coordinates, so
the output is byte-for-byte the same on every run.
"""
import struct
import sys
import zlib

SIZES = [256, 128, 96, 64, 48, 32, 16]
SAMPLES = 4  # per axis, for smooth edges

TOP = (24, 116, 235)
BOTTOM = (21, 89, 189)
WHITE = (255, 255, 255)


def in_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_arrow(x, y):
    # A right-pointing arrow inside the screen: the port being moved.
    if 0.32 <= x <= 0.52 and 0.385 <= y <= 0.455:
        return True
    if 0.52 <= x <= 0.68:
        half = 0.12 * (0.68 - x) / 0.16
        return abs(y - 0.42) <= half
    return False


def colour_at(x, y):
    """Colour of the picture at unit coordinates (0..1, y downwards)."""
    t = y
    back = tuple(round(TOP[i] + (BOTTOM[i] - TOP[i]) * t) for i in range(3))
    screen_outer = in_round_rect(x, y, 0.14, 0.18, 0.86, 0.66, 0.06)
    screen_inner = in_round_rect(x, y, 0.20, 0.24, 0.80, 0.60, 0.03)
    if screen_outer and not screen_inner:
        return WHITE
    if screen_inner:
        return WHITE if in_arrow(x, y) else back
    if 0.45 <= x <= 0.55 and 0.66 <= y <= 0.76:
        return WHITE
    if in_round_rect(x, y, 0.30, 0.76, 0.70, 0.82, 0.03):
        return WHITE
    return back


def render(size):
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size,
                                  (py + (sy + 0.5) / SAMPLES) / size)
                    for i in range(3):
                        acc[i] += c[i]
            n = SAMPLES * SAMPLES
            row.append(tuple((v + n // 2) // n for v in acc))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)  # 8-bit RGB, no alpha
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, 255)) for row in reversed(rows) for (r, g, b) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b"\x00" * (mask_stride * size)  # every pixel opaque
    return header + pixels + mask


def main(out_path):
    images = [png(render(s)) if s == 256 else dib(render(s)) for s in SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in zip(SIZES, images):
        dim = 0 if size == 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(out_path, "wb") as f:
        f.write(directory + entries + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "app.ico")
