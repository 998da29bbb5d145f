#!/usr/bin/env python3
"""Draws the plug-in's icon (resources/plugin.ico): a green tile carrying a white page
with a folded corner and a green arrow into it. 16x16 and 32x32, 32-bit colour."""
import struct
import sys


def pixel(x, y, size):
    s = size / 32.0
    u, v = x / s, y / s  # drawing coordinates on a 32x32 grid
    # Rounded green tile.
    r = 6
    cx = min(max(u, r), 32 - r)
    cy = min(max(v, r), 32 - r)
    if (u - cx) ** 2 + (v - cy) ** 2 > r * r:
        return (0, 0, 0, 0)
    green = (0x2d, 0xbe, 0x60, 255)
    # White page with the top-right corner folded.
    if 8 <= u < 24 and 5 <= v < 27:
        if u - 18 > v - 5:
            return (0xb8, 0xe6, 0xc8, 255) if u - 18 <= v - 5 + 2 else green
        # Arrow pointing into the page.
        if 13 <= v < 17 and 10 <= u < 17:
            return green
        if 17 <= u < 21 and abs(v - 15) <= (21 - u):
            return green
        return (255, 255, 255, 255)
    return green


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        for x in range(size):
            r, g, b, a = pixel(x + 0.5, y + 0.5, size)
            rows.append(struct.pack("BBBB", b, g, r, a))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main(path):
    sizes = [16, 32]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/plugin.ico")
