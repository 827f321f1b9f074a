#!/usr/bin/env python3
"""Draws the installer's icon, a small thermal label printer with a label
coming out of it, and writes it as a Windows .ico file holding a 32 x 32 and
a 16 x 16 image at 24 bits per pixel with a transparency mask.

Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

OUTLINE = (32, 34, 40)
LID = (196, 200, 208)
LID_SHADE = (150, 155, 165)
BODY = (78, 84, 96)
BODY_LIGHT = (104, 111, 125)
SLOT = (20, 20, 24)
PAPER = (250, 250, 246)
INK = (16, 16, 16)
LED = (40, 200, 70)
BUTTON = (60, 130, 220)
ACCENT = (240, 140, 30)


def rect(img, x0, y0, x1, y1, colour):
    """Fills the rectangle from (x0, y0) to (x1, y1), both inclusive."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def frame(img, x0, y0, x1, y1, fill, line=OUTLINE):
    rect(img, x0, y0, x1, y1, line)
    if x1 - x0 >= 2 and y1 - y0 >= 2:
        rect(img, x0 + 1, y0 + 1, x1 - 1, y1 - 1, fill)


def printer32():
    img = [[None] * 32 for _ in range(32)]
    # The label, standing out of the slot in the lid, with a bar code.
    frame(img, 9, 2, 22, 13, PAPER)
    for x, width in ((11, 1), (13, 2), (16, 1), (18, 1), (20, 1)):
        rect(img, x, 4, x + width - 1, 9, INK)
    rect(img, 11, 11, 20, 11, (120, 120, 120))
    # The lid with its paper slot.
    frame(img, 2, 12, 29, 18, LID)
    rect(img, 3, 17, 28, 17, LID_SHADE)
    rect(img, 8, 13, 23, 13, SLOT)
    # The body with its front panel.
    frame(img, 2, 18, 29, 28, BODY)
    rect(img, 3, 19, 28, 19, BODY_LIGHT)
    rect(img, 5, 25, 15, 25, ACCENT)
    rect(img, 19, 22, 21, 23, BUTTON)
    rect(img, 24, 22, 26, 23, LED)
    # Feet.
    rect(img, 4, 29, 8, 30, OUTLINE)
    rect(img, 23, 29, 27, 30, OUTLINE)
    return img


def printer16():
    img = [[None] * 16 for _ in range(16)]
    frame(img, 4, 1, 11, 7, PAPER)
    for x in (6, 8, 9):
        rect(img, x, 3, x, 4, INK)
    frame(img, 1, 6, 14, 9, LID)
    rect(img, 4, 7, 11, 7, SLOT)
    frame(img, 1, 9, 14, 14, BODY)
    rect(img, 3, 12, 7, 12, ACCENT)
    rect(img, 11, 11, 12, 11, LED)
    rect(img, 2, 15, 4, 15, OUTLINE)
    rect(img, 11, 15, 13, 15, OUTLINE)
    return img


def dib(img):
    """BITMAPINFOHEADER, bottom-up BGR rows, then the AND mask (1 = clear)."""
    size = len(img)
    xor_row = (size * 3 + 3) // 4 * 4
    and_row = (size + 31) // 32 * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(img):
        line = bytearray()
        bits = bytearray(and_row)
        for x, pixel in enumerate(row):
            if pixel is None:
                line += bytes((0, 0, 0))
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                r, g, b = pixel
                line += bytes((b, g, r))
        line += bytes(xor_row - len(line))
        xor += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def write_ico(path, images):
    blobs = [dib(img) for img in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for img, blob in zip(images, blobs):
        size = len(img)
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    write_ico(sys.argv[1], [printer32(), printer16()])
