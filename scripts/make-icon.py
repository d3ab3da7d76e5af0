#!/usr/bin/env python3
"""Draws the Orvix icon (a stack of picture tiles) and writes resources/orvix.ico
with 16, 32, 48 and 256-pixel 32-bit images. Only the standard library is used,
so the icon can be redrawn on any machine: python3 scripts/make-icon.py"""
import os
import struct
import zlib

SS = 4  # supersampling factor for smooth edges


def rounded_rect(px, py, x0, y0, x1, y1, r):
    if px < x0 or px > x1 or py < y0 or py > y1:
        return False
    cx = min(max(px, x0 + r), x1 - r)
    cy = min(max(py, y0 + r), y1 - r)
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def shade(size, u, v):
    """Colour (r, g, b, a) at unit coordinates u, v in [0, 1)."""
    # A slate-blue card behind a white one, offset so they read as a stack.
    layers = [
        ((0.20, 0.06, 0.94, 0.80, 0.12), (52, 73, 112, 255)),
        ((0.06, 0.20, 0.80, 0.94, 0.12), (245, 247, 250, 255)),
    ]
    out = (0, 0, 0, 0)
    for (x0, y0, x1, y1, r), colour in layers:
        if rounded_rect(u, v, x0, y0, x1, y1, r):
            out = colour
    # Picture on the front card: sky, sun and two hills, framed.
    if rounded_rect(u, v, 0.14, 0.28, 0.72, 0.86, 0.04):
        if (u - 0.54) ** 2 + (v - 0.44) ** 2 <= 0.065 ** 2:
            out = (255, 196, 61, 255)
        else:
            out = (120, 184, 235, 255)
        if v > 0.86 - 0.28 * (1 - abs((u - 0.32) / 0.26)) and abs(u - 0.32) < 0.26:
            out = (46, 139, 87, 255)
        if v > 0.86 - 0.18 * (1 - abs((u - 0.58) / 0.22)) and abs(u - 0.58) < 0.22:
            out = (34, 110, 70, 255)
    return out


def render(size):
    pixels = []
    n = size * SS
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SS):
                for sx in range(SS):
                    r, g, b, a = shade(size, (x * SS + sx + 0.5) / n, (y * SS + sy + 0.5) / n)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3] / (SS * SS)
            if acc[3]:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(a)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def bmp_image(size, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def png_image(size, pixels):
    raw = b"".join(b"\x00" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    sizes = [16, 32, 48, 256]
    images = []
    for size in sizes:
        pixels = render(size)
        images.append(png_image(size, pixels) if size == 256 else bmp_image(size, pixels))
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    path = os.path.join(os.path.dirname(__file__), "..", "resources", "orvix.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
