#!/usr/bin/env python3
"""Draws the program icon and writes resources/verbwright.ico.

Seven images: 48, 32 and 16 px at 256 colours, and 48, 32, 24 and 16 px at 32 bits. The
drawing: a blue program tile with a white right-click menu card on it, one line of the menu
highlighted in orange. Output is byte-for-byte reproducible.
"""
import os
import struct
import sys

SUPERSAMPLE = 4


def inside_round_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(u, v):
    """Colour (r, g, b, a) of the drawing at unit coordinates (0..1, 0..1)."""
    # Menu card, with a soft edge and three lines; the middle one is the highlighted verb.
    if inside_round_rect(u, v, 0.36, 0.30, 0.96, 0.94, 0.06):
        if 0.40 <= u <= 0.92 and 0.51 <= v <= 0.66:
            return (242, 140, 40, 255)
        for top in (0.38, 0.74, 0.84):
            if 0.46 <= u <= 0.86 and top <= v <= top + 0.05:
                return (120, 130, 150, 255)
        return (255, 255, 255, 255)
    if inside_round_rect(u, v, 0.38, 0.33, 0.98, 0.97, 0.06):
        return (20, 40, 80, 110)  # the card's shadow
    # The program tile, lighter at the top.
    if inside_round_rect(u, v, 0.04, 0.04, 0.80, 0.80, 0.14):
        shade = int(40 * (1 - v))
        if 0.04 <= v <= 0.20:
            return (60 + shade, 110 + shade, 200, 255)
        return (30 + shade, 90 + shade, 185, 255)
    return (0, 0, 0, 0)


def render(size):
    """Premultiplied average of SUPERSAMPLE^2 samples per pixel; rows top to bottom."""
    pixels = []
    n = SUPERSAMPLE
    for y in range(size):
        row = []
        for x in range(size):
            r = g = b = a = 0
            for sy in range(n):
                for sx in range(n):
                    cr, cg, cb, ca = colour_at((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / a), round(g / a), round(b / a), round(a / (n * n))))
        pixels.append(row)
    return pixels


def palette():
    """6x6x6 colour cube, then 40 greys: 256 entries."""
    colours = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    colours += [(round(i * 255 / 39),) * 3 for i in range(40)]
    return colours


def nearest(colours, rgb):
    return min(range(len(colours)), key=lambda i: sum((c - p) ** 2 for c, p in zip(colours[i], rgb)))


def row_bytes(bits_per_row):
    return ((bits_per_row + 31) // 32) * 4


def and_mask(pixels, size, threshold):
    stride = row_bytes(size)
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < threshold:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return bytes(mask)


def dib(size, bit_count, pixel_bytes, mask, colours=b""):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bit_count, 0,
                         len(pixel_bytes) + len(mask), 0, 0, 256 if colours else 0, 0)
    return header + colours + pixel_bytes + mask


def image_32(size):
    pixels = render(size)
    data = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            data += bytes((b, g, r, a))
    return dib(size, 32, bytes(data), and_mask(pixels, size, 1))


def image_8(size):
    pixels = render(size)
    colours = palette()
    cache = {}
    stride = row_bytes(size * 8)
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, (r, g, b, a) in enumerate(row):
            if a >= 128:
                key = (r, g, b)
                if key not in cache:
                    cache[key] = nearest(colours, key)
                line[x] = cache[key]
        data += line
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    return dib(size, 8, bytes(data), and_mask(pixels, size, 128), table)


def icon():
    images = [(48, 8, image_8(48)), (32, 8, image_8(32)), (16, 8, image_8(16)),
              (48, 32, image_32(48)), (32, 32, image_32(32)), (24, 32, image_32(24)),
              (16, 32, image_32(16))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in images)


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "resources", "verbwright.ico")
    with open(target, "wb") as f:
        f.write(icon())


if __name__ == "__main__":
    main()
