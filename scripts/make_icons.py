#!/usr/bin/env python3
"""Draws the program's icon and writes res/Tarnwick.ico (16, 32, 48 px) and
res/tarnwick-128.png. Plain Python, no imaging library: each pixel is
sampled 4x4 times against a few shapes."""
import math
import os
import struct
import sys
import zlib

BLUE = (24, 78, 160)
BLUE_DARK = (14, 46, 104)
WHITE = (250, 250, 252)
LENS = (20, 28, 44)
GLINT = (120, 190, 255)


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def shade(u, v):
    """Colour (r, g, b, a) of the point (u, v) in the unit square."""
    if not rounded_rect(u, v, 0.04, 0.04, 0.96, 0.96, 0.18):
        return None
    # Background: blue with a darker lower half.
    col = BLUE if v < 0.62 else BLUE_DARK
    # Camera body: a white rounded box with a hood.
    if rounded_rect(u, v, 0.16, 0.30, 0.70, 0.66, 0.07):
        col = WHITE
    if rounded_rect(u, v, 0.70, 0.38, 0.86, 0.58, 0.03):
        col = WHITE
    # Lens: dark ring with a blue glint.
    d = math.hypot(u - 0.40, v - 0.48)
    if d < 0.13:
        col = LENS
    if d < 0.07:
        col = BLUE
    if math.hypot(u - 0.37, v - 0.45) < 0.025:
        col = GLINT
    # Mount: a short stand under the body.
    if 0.36 < u < 0.44 and 0.66 <= v < 0.80:
        col = WHITE
    if rounded_rect(u, v, 0.26, 0.78, 0.54, 0.84, 0.02):
        col = WHITE
    return col


def render(size):
    pixels = []
    n = 4
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    c = shade((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    if c is not None:
                        acc[0] += c[0]
                        acc[1] += c[1]
                        acc[2] += c[2]
                        acc[3] += 1
            a = acc[3] / (n * n)
            if acc[3]:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]),
                            round(acc[2] / acc[3]), round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def png(pixels):
    h = len(pixels)
    w = len(pixels[0])
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(pixels):
    """A 32-bit icon image: header, bottom-up BGRA rows, AND mask."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(pixels) for p in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for size, blob in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b"".join(blobs)


def main():
    res = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
    if len(sys.argv) > 1:
        res = sys.argv[1]
    with open(os.path.join(res, "Tarnwick.ico"), "wb") as f:
        f.write(ico([(s, dib(render(s))) for s in (16, 32, 48)]))
    with open(os.path.join(res, "tarnwick-128.png"), "wb") as f:
        f.write(png(render(128)))


if __name__ == "__main__":
    main()
