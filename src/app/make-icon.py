#!/usr/bin/env python3
"""Draws the program's icon, a hard disk with a thermometer beside it, at 16x16 and 32x32 pixels and
writes both into one .ico file (32-bit pixels with an alpha channel, and the 1-bit AND mask old
systems use). Usage: make-icon.py OUTPUT.ico"""
import struct
import sys

CLEAR = (0, 0, 0, 0)
CASE = (96, 104, 116, 255)        # the disk's housing
PLATTER = (196, 204, 214, 255)
HUB = (70, 76, 86, 255)
ARM = (40, 44, 52, 255)
GLASS = (250, 250, 250, 255)      # the thermometer's tube
MERCURY = (214, 36, 36, 255)


def inside_rounded_box(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(x, y):
    """The colour of the point (x, y) on a 16-unit square; the picture is drawn in these units at every size."""
    # Thermometer on the right: a bulb at the bottom and a tube above it, filled two thirds up.
    if (x - 13.5) ** 2 + (y - 13.0) ** 2 <= 2.4 ** 2:
        return MERCURY
    if 12.3 <= x <= 14.7 and 1.0 <= y <= 13.0:
        return MERCURY if y >= 6.0 and 12.9 <= x <= 14.1 else GLASS if 12.9 <= x <= 14.1 else ARM
    # The disk on the left: a housing with a platter, its hub and the head's arm.
    if inside_rounded_box(x, y, 0.5, 1.5, 11.5, 15.0, 1.5):
        dx, dy = x - 6.0, y - 7.5
        if dx * dx + dy * dy <= 1.2 ** 2:
            return HUB
        if 9.5 <= x <= 10.6 and 9.0 <= y <= 13.5:
            return ARM
        if dx * dx + dy * dy <= 4.6 ** 2:
            return PLATTER
        return CASE
    return CLEAR


def pixels(size):
    """Rows from the top; each pixel sampled at its centre."""
    scale = 16.0 / size
    return [[colour_at((col + 0.5) * scale, (row + 0.5) * scale) for col in range(size)] for row in range(size)]


def bitmap(size):
    rows = pixels(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b''.join(struct.pack('<BBBB', b, g, r, a) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for col, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[col // 8] |= 0x80 >> (col % 8)
        mask += bytes(bits)
    return header + colour + mask


def icon_file(sizes):
    images = [bitmap(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b''.join(images)


if __name__ == '__main__':
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], 'wb') as f:
        f.write(icon_file([16, 32]))
