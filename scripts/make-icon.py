#!/usr/bin/env python3
"""Turns the icon's text drawing into a 32 x 32, 16-colour .ico file.

Usage: make-icon.py app/icon/Varnok.txt app/icon/Varnok.ico
Each of the 32 lines holds 32 characters: a hex digit is a colour of the standard 16-colour
palette, "." is transparent.
"""
import struct
import sys

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def main(source, target):
    rows = [line.rstrip("\n") for line in open(source, encoding="ascii") if line.strip()]
    if len(rows) != 32 or any(len(r) != 32 for r in rows):
        sys.exit("make-icon: the drawing must be 32 lines of 32 characters")
    pixels = b""
    mask = b""
    for row in reversed(rows):  # bitmaps are stored bottom-up
        colours = [0 if c == "." else int(c, 16) for c in row]
        pixels += bytes((colours[i] << 4) | colours[i + 1] for i in range(0, 32, 2))
        bits = "".join("1" if c == "." else "0" for c in row)
        mask += int(bits, 2).to_bytes(4, "big")
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, len(pixels) + len(mask), 0, 0, 16, 0)
    image = header + palette + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 22)
    with open(target, "wb") as out:
        out.write(directory + image)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
