#!/usr/bin/env python3
"""Draws the program icon: the variant set in the program's own palette (before every step
z <- z^2 + c the imaginary part of z is replaced by its absolute value), at 48, 32 and 16
pixels, each in 16 colours, 256 colours and 24-bit colour.

    scripts/make-icon.py [OUTPUT]      default: shell/res/orvane.ico

The output is deterministic; the Windows build uses the committed file."""

import collections
import math
import pathlib
import struct
import sys

SIZES = (48, 32, 16)
SUBSAMPLES = 4
MAX_STEPS = 300
# The whole set, a little off-centre: the variant is not symmetric about the real axis.
CENTRE_RE, CENTRE_IM, SPAN = -0.5, 0.3, 2.4
# Escape counts rise slowly outside the set; the square root spreads them over the ramp.
RAMP_SCALE = 18


def palette_ramp(t):
    """The program's colour ramp: black, blue, sky blue, white; (red, green, blue)."""
    stops = ((0.0, (0, 0, 0)), (0.4, (0, 17, 255)), (0.8, (17, 170, 255)), (1.0, (255, 255, 255)))
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if p0 <= t < p1:
            f = (t - p0) / (p1 - p0)
            return tuple(max(0, min(255, int((1 - f) * a + f * b))) for a, b in zip(c0, c1))
    return (0, 0, 0)


RAMP = [palette_ramp(i * 0.01) for i in range(100)]


def escape_index(c_re, c_im):
    x = y = 0.0
    for step in range(1, MAX_STEPS + 1):
        y = abs(y)
        x, y = (x * x - y * y) + c_re, 2 * (y * x) + c_im
        if x * x + y * y > 10.0:
            return step - 1
    return 0


def sample_colour(c_re, c_im):
    index = escape_index(c_re, c_im)
    return RAMP[min(99, int(RAMP_SCALE * math.sqrt(index)))] if index else (0, 0, 0)


def render(size):
    """Rows top to bottom of (red, green, blue) pixels, each the mean of n x n samples."""
    n = SUBSAMPLES
    rows = []
    for i in reversed(range(size)):
        row = []
        for j in range(size):
            sums = [0, 0, 0]
            for k in range(n):
                for l in range(n):
                    c_re = CENTRE_RE + SPAN * ((j * n + l) / (size * n) - 0.5)
                    c_im = CENTRE_IM + SPAN * ((i * n + k) / (size * n) - 0.5)
                    for channel, value in enumerate(sample_colour(c_re, c_im)):
                        sums[channel] += value
            row.append(tuple(s // (n * n) for s in sums))
        rows.append(row)
    return rows


def median_cut(pixels, count):
    """A palette of at most count colours for the pixels: each the commonest colour of its
    box, so that the black of the set stays black."""
    frequency = collections.Counter(pixels)
    boxes = [sorted(frequency)]
    while len(boxes) < count:
        splittable = [b for b in boxes if len(b) > 1]
        if not splittable:
            break

        def extent(box):
            return max(max(c[ch] for c in box) - min(c[ch] for c in box) for ch in range(3))

        box = max(splittable, key=extent)
        channel = max(range(3), key=lambda ch: max(c[ch] for c in box) - min(c[ch] for c in box))
        box.sort(key=lambda c: (c[channel], c))
        half = len(box) // 2
        boxes.remove(box)
        boxes += [box[:half], box[half:]]
    return sorted(max(box, key=lambda c: (frequency[c], c)) for box in boxes)


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda k: (sum((a - b) ** 2 for a, b in zip(palette[k], colour)), k))


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def pack_indices(indices, bits):
    """One row of palette indices at 4 or 8 bits per pixel, padded to four bytes."""
    data = bytearray()
    if bits == 8:
        data += bytes(indices)
    else:
        for a, b in zip(indices[0::2], indices[1::2] + [0]):
            data.append(a << 4 | b)
    return bytes(data.ljust(row_bytes(len(indices) * bits), b"\0"))


def icon_image(rows, bits):
    """One icon image: the header, the palette, the colour rows and the all-opaque mask."""
    size = len(rows)
    palette = []
    if bits == 24:
        colour = b"".join(
            bytes(b"".join(bytes((b, g, r)) for r, g, b in row).ljust(row_bytes(size * 24), b"\0"))
            for row in reversed(rows))
    else:
        palette = median_cut([p for row in rows for p in row], 1 << bits)
        palette += [(0, 0, 0)] * ((1 << bits) - len(palette))
        lookup = {}
        colour = b"".join(
            pack_indices([lookup.setdefault(p, nearest(palette, p)) for p in row], bits)
            for row in reversed(rows))
    mask = bytes(row_bytes(size) * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + table + colour + mask


def icon_file(images):
    """images: (size, bits, data) in directory order."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, bits, data in images:
        colours = 16 if bits == 4 else 0
        entries += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, _, data in images)


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    output = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root / "shell/res/orvane.ico"
    images = []
    for size in SIZES:
        rows = render(size)
        images += [(size, bits, icon_image(rows, bits)) for bits in (4, 8, 24)]
    output.write_bytes(icon_file(images))
    print(f"{output}: {len(images)} images")


if __name__ == "__main__":
    main()
