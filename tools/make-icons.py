#!/usr/bin/env python3
"""Draws the application icon (a stylised init-file page with a trigger pulse)
in the four sizes the executable carries, as PNG files, using only the
standard library, so that the icons can be regenerated on any machine."""
import struct
import sys
import zlib
from pathlib import Path

BACKGROUND = (0x36, 0x4D, 0x95, 255)
PAGE = (0xF2, 0xF4, 0xFA, 255)
FOLD = (0x8D, 0xA3, 0xDA, 255)
LINE = (0x36, 0x4D, 0x95, 255)
PULSE = (0xD0, 0x00, 0x09, 255)


def inside_rounded(x, y, n, radius):
    cx = min(max(x, radius), n - 1 - radius)
    cy = min(max(y, radius), n - 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def pixel(x, y, n):
    u, v = x / n, y / n
    if not inside_rounded(x, y, n, max(1, n // 6)):
        return (0, 0, 0, 0)
    left, right, top, bottom = 0.22, 0.78, 0.12, 0.88
    fold = 0.16
    if left <= u <= right and top <= v <= bottom:
        if u > right - fold and v < top + fold:
            if (u - (right - fold)) > (v - top):
                return BACKGROUND
            return FOLD
        for row in (0.34, 0.46, 0.58):
            if abs(v - row) < 0.025 and u < right - 0.08 and u > left + 0.08:
                return LINE
        # a square trigger pulse across the lower part of the page
        base, high = 0.78, 0.68
        w = 0.03
        if left + 0.06 <= u <= right - 0.06:
            rising, falling = 0.42, 0.58
            if abs(u - rising) < w / 2 and high <= v <= base:
                return PULSE
            if abs(u - falling) < w / 2 and high <= v <= base:
                return PULSE
            level = high if rising <= u <= falling else base
            if abs(v - level) < w / 2:
                return PULSE
        return PAGE
    return BACKGROUND


def png(n):
    rows = b"".join(b"\x00" + b"".join(struct.pack("BBBB", *pixel(x, y, n)) for x in range(n)) for y in range(n))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "resources")
    out.mkdir(parents=True, exist_ok=True)
    for size in (16, 32, 48, 256):
        (out / f"icon-{size}.png").write_bytes(png(size))


if __name__ == "__main__":
    main()
