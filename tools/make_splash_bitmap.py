#!/usr/bin/env python3
"""Draws the start-up picture of the program as a 16-colour BMP (src/introcard/Splash.bmp)."""
import struct
import sys

W, H = 360, 220

# Letters of the name in a 5 x 7 block font.
FONT = {
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "I": ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
}

# Palette: a blue ramp for the sky (0..9), white, roof red, wall cream, door brown.
palette = [(20 + 12 * i, 50 + 14 * i, 110 + 12 * i) for i in range(10)]
palette += [(255, 255, 255), (170, 50, 40), (240, 230, 200), (110, 70, 40), (40, 40, 60), (0, 0, 0)]
WHITE, ROOF, WALL, DOOR, INK = 10, 11, 12, 13, 14

pixels = [[min(9, y * 10 // H) for x in range(W)] for y in range(H)]


def fill(x0, y0, x1, y1, c):
    for y in range(max(0, y0), min(H, y1)):
        for x in range(max(0, x0), min(W, x1)):
            pixels[y][x] = c


# A house: walls, a roof, a door and two windows.
fill(60, 100, 160, 170, WALL)
for row in range(40):
    fill(110 - row * 60 // 40, 60 + row, 110 + row * 60 // 40, 61 + row, ROOF)
fill(100, 130, 120, 170, DOOR)
fill(72, 115, 92, 132, WHITE)
fill(128, 115, 148, 132, WHITE)
fill(30, 170, 330, 174, INK)

# The name, each font pixel 5 x 5.
x = 180
for letter in "KIVORA":
    for r, bits in enumerate(FONT[letter]):
        for c, bit in enumerate(bits):
            if bit == "1":
                fill(x + c * 5, 95 + r * 5, x + c * 5 + 5, 100 + r * 5, WHITE)
    x += 28

row_bytes = (W // 2 + 3) // 4 * 4
body = bytearray()
for y in range(H - 1, -1, -1):  # bottom-up rows
    line = bytearray()
    for x in range(0, W, 2):
        line.append((pixels[y][x] << 4) | pixels[y][x + 1])
    line += b"\0" * (row_bytes - len(line))
    body += line
colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
offset = 14 + 40 + len(colours)
header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 4, 0, len(body), 2835, 2835, 16, 0)
out = sys.argv[1] if len(sys.argv) > 1 else "src/introcard/Splash.bmp"
with open(out, "wb") as f:
    f.write(header + info + colours + bytes(body))
