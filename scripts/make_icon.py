#!/usr/bin/env python3
"""Draws the program's icon, one 32x32 image in the 16 standard colours, and writes it
as resources/vareri.ico: a grey disk with a green arrow pointing up over a blue bar."""
import struct
import sys

# The 16 standard colours, as (blue, green, red, 0) palette entries.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # (red, green, blue)
BLACK, DARK_GREEN, SILVER, GREY, GREEN, BLUE, WHITE, NAVY = 0, 2, 7, 8, 10, 12, 15, 4
SIZE = 32


def pixel(x, y):
    """Colour index at (x, y), y downwards, or None where the icon is transparent."""
    cx, cy = 15.5, 15.5
    d2 = (x - cx) ** 2 + (y - cy) ** 2
    if d2 > 15.5 ** 2:
        return None
    if d2 > 14 ** 2:
        return GREY
    # The arrow: a head from row 5 to 14, a shaft from row 14 to 21.
    if 5 <= y <= 14 and abs(x - cx) <= (y - 4):
        return DARK_GREEN if abs(x - cx) > (y - 5.5) else GREEN
    if 14 < y <= 21 and abs(x - cx) <= 3.5:
        return DARK_GREEN if abs(x - cx) > 2.5 else GREEN
    # The installed product: a bar under the arrow.
    if 23 <= y <= 26 and 7 <= x <= 24:
        return NAVY if y == 26 else BLUE
    return SILVER if d2 < 13 ** 2 else WHITE


def main(path):
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up
        row = rows[y]
        for x in range(0, SIZE, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            xor.append((hi << 4) | lo)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask),
                         0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(directory + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/vareri.ico")
