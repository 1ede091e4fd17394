#!/usr/bin/env python3
"""Draws the wizard's fifteen page images as PNG files (no downloads, no image library)."""
import math
import os
import struct
import sys
import zlib

ACCENT = (0x1f, 0x6f, 0xd0)
ACCENT_DARK = (0x14, 0x4c, 0x94)
INK = (0x25, 0x2b, 0x36)
LIGHT = (0xf3, 0xf6, 0xfa)
GREEN = (0x2e, 0xa0, 0x5a)
AMBER = (0xe8, 0x9b, 0x1a)


class Canvas:
    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(fill) for _ in range(w * h)]

    def blend(self, x, y, rgb, a=1.0):
        if not (0 <= x < self.w and 0 <= y < self.h) or a <= 0:
            return
        p = self.px[y * self.w + x]
        a = min(a, 1.0)
        base_a = p[3] / 255.0
        out_a = a + base_a * (1 - a)
        for i in range(3):
            p[i] = int(round((rgb[i] * a + p[i] * base_a * (1 - a)) / out_a)) if out_a else 0
        p[3] = int(round(out_a * 255))

    def shape(self, inside, rgb, box=None, alpha=1.0):
        """Fills the points where inside(x, y) holds, 4x4 supersampled for soft edges."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                hits = sum(1 for sy in range(4) for sx in range(4)
                           if inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4))
                if hits:
                    self.blend(x, y, rgb, alpha * hits / 16.0)

    def round_rect(self, x0, y0, x1, y1, r, rgb, alpha=1.0):
        def inside(x, y):
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return x0 <= x <= x1 and y0 <= y <= y1 and (x - cx) ** 2 + (y - cy) ** 2 <= r * r
        self.shape(inside, rgb, (int(x0), int(y0), int(x1) + 1, int(y1) + 1), alpha)

    def circle(self, cx, cy, r, rgb, alpha=1.0):
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, rgb,
                   (int(cx - r), int(cy - r), int(cx + r) + 2, int(cy + r) + 2), alpha)

    def line(self, ax, ay, bx, by, width, rgb, alpha=1.0):
        dx, dy = bx - ax, by - ay
        length2 = dx * dx + dy * dy

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
            return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= (width / 2.0) ** 2
        self.shape(inside, rgb, (int(min(ax, bx) - width), int(min(ay, by) - width),
                                 int(max(ax, bx) + width) + 1, int(max(ay, by) + width) + 1), alpha)

    def vgradient(self, top, bottom):
        for y in range(self.h):
            t = y / max(1, self.h - 1)
            rgb = tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3))
            for x in range(self.w):
                self.px[y * self.w + x] = [rgb[0], rgb[1], rgb[2], 255]

    def png(self):
        raw = b"".join(b"\0" + bytes(v for p in self.px[y * self.w:(y + 1) * self.w] for v in p)
                       for y in range(self.h))

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def background():
    c = Canvas(600, 400)
    c.vgradient((0xfb, 0xfc, 0xfe), (0xe4, 0xec, 0xf6))
    for i in range(6):  # soft light bands, the product's "lumen" motif
        c.circle(520 - i * 30, -40 + i * 10, 160 - i * 18, (255, 255, 255), 0.10)
    return c


def logo(size):
    c = Canvas(size, size)
    s = size / 64.0
    c.circle(32 * s, 32 * s, 30 * s, ACCENT)
    c.circle(32 * s, 32 * s, 21 * s, (255, 255, 255))
    c.circle(32 * s, 32 * s, 13 * s, AMBER)
    c.line(44 * s, 44 * s, 58 * s, 58 * s, 8 * s, ACCENT_DARK)
    return c


def title_bar():
    c = Canvas(600, 32)
    c.vgradient(ACCENT, ACCENT_DARK)
    return c


def window_button(kind, hover=False):
    c = Canvas(32, 32)
    if hover:
        c.round_rect(2, 2, 30, 30, 4, (0xd9, 0x3a, 0x3a) if kind == "close" else (255, 255, 255), 0.9 if kind == "close" else 0.25)
    if kind == "close":
        c.line(11, 11, 21, 21, 2.2, (255, 255, 255))
        c.line(21, 11, 11, 21, 2.2, (255, 255, 255))
    else:
        c.line(10, 21, 22, 21, 2.2, (255, 255, 255))
    return c


def button(rgb):
    c = Canvas(140, 36)
    c.round_rect(0.5, 0.5, 139.5, 35.5, 5, rgb)
    c.round_rect(1.5, 1.5, 138.5, 17, 4, (255, 255, 255), 0.12)
    return c


def checkbox(checked):
    c = Canvas(18, 18)
    c.round_rect(0.5, 0.5, 17.5, 17.5, 3, ACCENT if checked else (0x9a, 0xa4, 0xb2))
    if not checked:
        c.round_rect(2, 2, 16, 16, 2, (255, 255, 255))
    else:
        c.line(4.5, 9.5, 7.5, 12.5, 2.2, (255, 255, 255))
        c.line(7.5, 12.5, 13.5, 5.5, 2.2, (255, 255, 255))
    return c


def progress(fill):
    c = Canvas(8, 12)
    if fill:
        c.vgradient((0x3d, 0x8b, 0xe6), ACCENT_DARK)
    else:
        c.vgradient((0xdd, 0xe3, 0xeb), (0xee, 0xf2, 0xf6))
    return c


def status_icon(kind):
    c = Canvas(64, 64)
    if kind == "done":
        c.circle(32, 32, 30, GREEN)
        c.line(18, 33, 28, 43, 6, (255, 255, 255))
        c.line(28, 43, 47, 22, 6, (255, 255, 255))
    else:
        c.shape(lambda x, y: y >= 6 and y <= 58 and abs(x - 32) <= (y - 6) * 0.6, AMBER, (0, 0, 64, 64))
        c.line(32, 22, 32, 40, 6, (255, 255, 255))
        c.circle(32, 50, 3.5, (255, 255, 255))
    return c


def spinner():
    c = Canvas(48, 48)
    for i in range(12):
        a = i * math.pi / 6
        c.line(24 + 12 * math.cos(a), 24 + 12 * math.sin(a), 24 + 20 * math.cos(a), 24 + 20 * math.sin(a), 4,
               ACCENT, 0.15 + 0.85 * i / 11)
    return c


IMAGES = {
    "BG.png": background,
    "logo.png": lambda: logo(64),
    "logo_small.png": lambda: logo(24),
    "title_bar.png": title_bar,
    "btn_close.png": lambda: window_button("close"),
    "btn_close_hover.png": lambda: window_button("close", True),
    "btn_min.png": lambda: window_button("min"),
    "btn_min_hover.png": lambda: window_button("min", True),
    "btn_primary.png": lambda: button(ACCENT),
    "btn_secondary.png": lambda: button((0x8a, 0x94, 0xa3)),
    "checkbox.png": lambda: checkbox(False),
    "checkbox_checked.png": lambda: checkbox(True),
    "progress_fill.png": lambda: progress(True),
    "icon_done.png": lambda: status_icon("done"),
    "icon_warning.png": lambda: status_icon("warning"),
}


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, draw in IMAGES.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(draw().png())


if __name__ == "__main__":
    main()
