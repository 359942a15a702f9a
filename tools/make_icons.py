#!/usr/bin/env python3
"""make_icons: turns the icon picture resources/vigilon_icon.xpm into the two
Windows icon files of the monitor:

  vigilon_64.ico  the picture as it is, 64x64 (the program file's icon)
  vigilon_16.ico  the picture scaled down to 16x16 (window class and tray icon)

Each file holds one image in the classic form every Windows version reads: a
BITMAPINFOHEADER, a 256-colour palette, an 8-bit colour bitmap and a 1-bit
transparency mask, both bottom-up. Palette index 0 is black and is what
transparent pixels hold. The small picture averages the opaque source pixels
under each pixel; a pixel is transparent when less than half of its area is
opaque. Every choice is ordered, so the files are the same on every run.

  make_icons.py <output-dir> [--xpm FILE]

Python 3 standard library only.
"""

import argparse
import os
import re
import struct
import sys

from icon_palette import merge_rarest

SIZES = (64, 16)
PALETTE_SIZE = 256
BLACK = (0, 0, 0)


def read_xpm(path):
    """Width, height and pixels (row by row, (r, g, b) or None) of an XPM3 file."""
    with open(path, encoding="ascii") as xpm:
        text = re.sub(r"/\*.*?\*/", "", xpm.read(), flags=re.S)
    strings = re.findall(r'"([^"]*)"', text)
    width, height, ncolours, cpp = (int(v) for v in strings[0].split()[:4])
    colours = {}
    for line in strings[1 : 1 + ncolours]:
        key, words = line[:cpp], line[cpp:].split()
        value = words[words.index("c") + 1]
        if value.lower() == "none":
            colours[key] = None
        elif re.fullmatch(r"#[0-9A-Fa-f]{6}", value):
            colours[key] = tuple(int(value[i : i + 2], 16) for i in (1, 3, 5))
        else:
            raise ValueError("%s: colour %r is not #RRGGBB or None" % (path, value))
    rows = strings[1 + ncolours : 1 + ncolours + height]
    if len(rows) != height or any(len(row) != width * cpp for row in rows):
        raise ValueError("%s: the pixel rows do not match %dx%d" % (path, width, height))
    pixels = [colours[row[x * cpp : (x + 1) * cpp]] for row in rows for x in range(width)]
    return width, height, pixels


def overlaps(source, target, t):
    """Source pixels under target pixel t along one axis, with their share,
    in units where a source pixel is `target` long and a target one `source`."""
    start, end = t * source, (t + 1) * source
    return [(s, min(end, (s + 1) * target) - max(start, s * target))
            for s in range(start // target, (end - 1) // target + 1)]


def scale_down(width, height, pixels, size):
    """Area average of the opaque pixels, in integers so that it is exact."""
    if size == width and size == height:
        return list(pixels)
    area = width * height  # of one target pixel, in the units of overlaps()
    result = []
    for ty in range(size):
        for tx in range(size):
            opaque = 0
            total = [0, 0, 0]
            for sy, wy in overlaps(height, size, ty):
                for sx, wx in overlaps(width, size, tx):
                    colour = pixels[sy * width + sx]
                    if colour is not None:
                        opaque += wx * wy
                        for k in range(3):
                            total[k] += colour[k] * wx * wy
            if opaque * 2 < area:
                result.append(None)
            else:
                result.append(tuple((2 * total[k] + opaque) // (2 * opaque) for k in range(3)))
    return result


def palette_of(pixels):
    """Palette (list of (r, g, b), black first) and each pixel's index. Black
    is shared by transparent and black pixels; when more colours are left than
    the palette holds, the rarest is merged into its nearest until they fit."""
    counts = {}
    for p in pixels:
        if p is not None and p != BLACK:
            counts[p] = counts.get(p, 0) + 1
    target = merge_rarest(counts, PALETTE_SIZE - 1)
    palette = [BLACK] + sorted(counts, key=lambda c: (-counts[c], c))
    index = {colour: i for i, colour in enumerate(palette)}
    indices = [0 if p is None or p == BLACK else index[target[p]] for p in pixels]
    return palette, indices


def padded(row):
    return row + bytes(-len(row) % 4)


def icon_file(size, pixels):
    """One .ico file holding one size x size 8-bit image."""
    palette, indices = palette_of(pixels)
    colour_rows = []
    mask_rows = []
    for y in reversed(range(size)):  # bottom-up
        colour_rows.append(padded(bytes(indices[y * size : (y + 1) * size])))
        mask = bytearray((size + 7) // 8)
        for x in range(size):
            if pixels[y * size + x] is None:
                mask[x // 8] |= 0x80 >> (x % 8)
        mask_rows.append(padded(bytes(mask)))
    bitmaps = b"".join(colour_rows) + b"".join(mask_rows)
    # BITMAPINFOHEADER: the height counts the colour bitmap and the mask.
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 8, 0, len(bitmaps), 0, 0, 0, 0)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    image = header + colours + bytes(4 * PALETTE_SIZE - len(colours)) + bitmaps
    # ICONDIR (reserved, type 1 = icon, one image) and its ICONDIRENTRY.
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def main():
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources",
                           "vigilon_icon.xpm")
    parser = argparse.ArgumentParser(description="Writes the monitor's Windows icons.")
    parser.add_argument("output_dir")
    parser.add_argument("--xpm", default=os.path.normpath(default))
    args = parser.parse_args()
    width, height, pixels = read_xpm(args.xpm)
    os.makedirs(args.output_dir, exist_ok=True)
    for size in SIZES:
        path = os.path.join(args.output_dir, "vigilon_%d.ico" % size)
        with open(path, "wb") as out:
            out.write(icon_file(size, scale_down(width, height, pixels, size)))
        print("wrote %s" % path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
