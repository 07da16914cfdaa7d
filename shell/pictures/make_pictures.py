#!/usr/bin/env python3
"""Draws the battery pictures (35 x 20, the size of the battery display) and the blank
one-pixel picture as PNG files beside this script. Needs only the Python standard library."""

import os
import struct
import zlib

WIDTH, HEIGHT = 35, 20
OUTLINE = (48, 48, 48, 255)
RED = (208, 38, 30, 255)
AMBER = (224, 138, 0, 255)
GREEN = (61, 190, 61, 255)
CLEAR = (0, 0, 0, 0)

# Fill width in pixels (of 24) and colour for each level.
LEVELS = {
    "batterylow": (3, RED),
    "battery25": (6, AMBER),
    "battery50": (12, GREEN),
    "battery75": (18, GREEN),
    "batteryfull": (24, GREEN),
}


def png(width, height, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    rows = b"".join(b"\x00" + b"".join(bytes(p) for p in pixels[y * width:(y + 1) * width])
                    for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def battery(fill_width, colour):
    pixels = [CLEAR] * (WIDTH * HEIGHT)

    def rect(left, top, right, bottom, value):  # inclusive corners
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                pixels[y * WIDTH + x] = value

    rect(1, 2, 30, 17, OUTLINE)     # body, two pixels of outline
    rect(3, 4, 28, 15, CLEAR)
    rect(31, 7, 33, 12, OUTLINE)    # terminal
    rect(4, 5, 4 + fill_width - 1, 14, colour)
    return png(WIDTH, HEIGHT, pixels)


def main():
    folder = os.path.dirname(os.path.abspath(__file__))
    pictures = {name: battery(*level) for name, level in LEVELS.items()}
    pictures["onepixel"] = png(1, 1, [CLEAR])
    for name, data in pictures.items():
        with open(os.path.join(folder, name + ".png"), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
