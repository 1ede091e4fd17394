#!/usr/bin/env python3
"""Draws the application icon: a rounded blue tile with a white download arrow.

Writes a .ico with 16, 32 and 48 pixel images: 8-bit BMP entries (a palette of the colours used)
with AND masks for 16 and 32, which every Windows draws, and a PNG entry for 48 (Vista and later read PNG entries; a BMP one
would take 9 KB of the executable, the PNG about 0.5 KB).
Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys
import zlib


def pixel(x, y, size):
    # Work in a 0..1 square sampled at the pixel centre.
    u = (x + 0.5) / size
    v = (y + 0.5) / size
    r = 0.18
    # Rounded-rectangle tile.
    dx = max(r - u, 0, u - (1 - r))
    dy = max(r - v, 0, v - (1 - r))
    if dx * dx + dy * dy > r * r:
        return (0, 0, 0, 0)
    # Vertical gradient from light to deep blue.
    t = v
    base = (int(40 + 20 * (1 - t)), int(110 + 60 * (1 - t)), int(200 + 40 * (1 - t)), 255)
    # Arrow: a shaft and a head pointing down, and a tray line below.
    shaft = abs(u - 0.5) < 0.09 and 0.18 < v < 0.55
    head = v >= 0.45 and v < 0.72 and abs(u - 0.5) < (0.72 - v) * 1.1
    tray = 0.78 < v < 0.86 and 0.22 < u < 0.78
    if shaft or head or tray:
        return (255, 255, 255, 255)
    return base


def bmp_entry(size):
    # 8-bit with a palette of just the colours used (the tile's gradient rows and white), which is
    # a third of a 32-bit image; transparency comes from the AND mask, as the drawing has no
    # partial alpha.
    pixels = [[pixel(x, y, size) for x in range(size)] for y in range(size)]
    palette = sorted({(r, g, b) for row in pixels for r, g, b, _ in row})
    index = {colour: i for i, colour in enumerate(palette)}
    stride = (size + 3) // 4 * 4
    rows = b""
    for y in range(size - 1, -1, -1):  # bottom-up
        row = bytes(index[p[:3]] for p in pixels[y])
        rows += row + bytes(stride - size)
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for y in range(size - 1, -1, -1):
        row = bytearray(mask_stride)
        for x in range(size):
            if pixels[y][x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(row)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, len(palette), 0)
    colours = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colours + rows + mask


def png_entry(size):
    rows = b"".join(b"\0" + b"".join(struct.pack("BBBB", *pixel(x, y, size)) for x in range(size))
                    for y in range(size))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")


def main():
    sizes = [16, 32, 48]
    images = [bmp_entry(s) if s < 48 else png_entry(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 8 if s < 48 else 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
