#!/usr/bin/env python3
"""Writes Kelvaro.ico: one 32 x 32 image in the 16 standard Windows colours.

The picture is a dark screen with two lines of subtitle text and a clock over its top-right corner: subtitle timing.
Run it from anywhere; it writes next to itself. The .ico is committed, so the build does not need Python.
"""
import math
import os
import struct

SIZE = 32
TRANSPARENT = None
# The standard 16-colour palette, in the order the system uses for 4-bit images.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255),
    (255, 255, 255),
]
BLACK, MAROON, NAVY, SILVER, GRAY, RED, YELLOW, BLUE, WHITE = 0, 1, 4, 7, 8, 9, 11, 12, 15


def draw():
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                pixels[y][x] = colour

    # The screen, with a grey frame and a stand.
    fill(0, 7, 29, 27, GRAY)
    fill(1, 8, 28, 26, BLACK)
    fill(2, 9, 27, 25, NAVY)
    fill(12, 28, 17, 28, GRAY)
    fill(8, 29, 21, 30, SILVER)
    # Two subtitle lines, broken into words.
    for x0, x1 in ((4, 9), (11, 14), (16, 24)):
        fill(x0, 18, x1, 19, WHITE)
    for x0, x1 in ((7, 12), (14, 21)):
        fill(x0, 22, x1, 23, YELLOW)

    # A clock over the top-right corner: white face, black rim, hands at three o'clock.
    cx, cy, radius = 24.5, 7.5, 7.2
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x + 0.5 - cx - 0.5, y + 0.5 - cy - 0.5)
            if d <= radius - 1.3:
                pixels[y][x] = WHITE
            elif d <= radius:
                pixels[y][x] = BLACK
    for hour in range(0, 12, 3):
        a = math.radians(hour * 30)
        pixels[round(cy + 0.5 - 4.4 * math.cos(a))][round(cx + 0.5 + 4.4 * math.sin(a))] = GRAY
    fill(25, 3, 25, 8, BLACK)  # minute hand
    fill(25, 8, 28, 8, RED)    # hour hand
    pixels[8][25] = MAROON
    return pixels


def ico(pixels):
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # bottom-up, as bitmaps are stored
        nibbles = [0 if p is TRANSPARENT else p for p in row]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2)))
        mask = 0
        for p in row:
            mask = (mask << 1) | (1 if p is TRANSPARENT else 0)
        and_rows.append(struct.pack(">I", mask))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + image


if __name__ == "__main__":
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Kelvaro.ico")
    with open(path, "wb") as out:
        out.write(ico(draw()))
    print(path)
