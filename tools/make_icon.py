#!/usr/bin/env python3
"""make_icon: draws the program's icon picture and writes it as
resources/vigilon_icon.xpm (64x64, one character per pixel).

The picture is a dark blue rounded square with a white "V" and a red-to-amber
progress bar under it; shapes are bold so that it still reads at 16x16. Edges
inside the square are smoothed with 4x4 samples per pixel; the outer edge is
hard (XPM has no partial transparency). The rarest colours are merged into
their nearest ones until at most MAX_COLOURS remain; every choice is ordered,
so the output is the same on every run.

  make_icon.py [--output FILE]

Python 3 standard library only.
"""

import argparse
import os
import sys

from icon_palette import merge_rarest

SIZE = 64
SAMPLES = 4  # per axis and pixel

# Pixel characters: printable ASCII without the quote and the backslash (they
# would need escapes in C) and without '?', '/' and '*', so that no string
# can look like a trigraph or a comment. The space stands for "None".
TRANSPARENT_CHAR = " "
CHARS = "".join(chr(c) for c in range(33, 127) if chr(c) not in "\"\\?/*")
MAX_COLOURS = len(CHARS)

OUTLINE = (0x0B, 0x1A, 0x3C)
BODY_TOP = (0x33, 0x6A, 0xD0)
BODY_BOTTOM = (0x14, 0x30, 0x74)
LETTER = (0xFF, 0xFF, 0xFF)
TRACK = (0x08, 0x10, 0x28)
BAR_LEFT = (0xD8, 0x1E, 0x1E)
BAR_RIGHT = (0xFF, 0xB4, 0x00)

V_POLYGON = [(12, 9), (23, 9), (32, 30), (41, 9), (52, 9), (37.5, 41), (26.5, 41)]


def rounded_rect(left, top, right, bottom, radius):
    """Inside test of a rectangle with rounded corners."""

    def inside(x, y):
        if x < left or x > right or y < top or y > bottom:
            return False
        cx = min(max(x, left + radius), right - radius)
        cy = min(max(y, top + radius), bottom - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius**2

    return inside


def polygon(points):
    """Inside test of a polygon (even-odd rule)."""

    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result

    return inside


def mix(a, b, t):
    return tuple(a[k] + (b[k] - a[k]) * t for k in range(3))


def stepped(t, steps):
    """t in 0..1 cut to a few bands, so gradients stay within the colour budget."""
    return min(int(t * steps), steps - 1) / (steps - 1)


def body_colour(_x, y):
    return mix(BODY_TOP, BODY_BOTTOM, stepped((y - 3) / 58, 8))


def bar_colour(x, _y):
    return mix(BAR_LEFT, BAR_RIGHT, stepped((x - 10.5) / 31.5, 6))


# Painted in order; each layer is (inside test, colour at a point).
LAYERS = [
    (rounded_rect(1, 1, 63, 63, 13), lambda x, y: OUTLINE),
    (rounded_rect(3.5, 3.5, 60.5, 60.5, 11), body_colour),
    (polygon(V_POLYGON), lambda x, y: LETTER),
    (rounded_rect(8, 44, 56, 57, 4.5), lambda x, y: TRACK),
    (rounded_rect(10.5, 46.5, 42, 54.5, 2.5), bar_colour),
]


def sample(x, y):
    """Colour at a point, or None outside the picture."""
    colour = None
    for inside, paint in LAYERS:
        if inside(x, y):
            colour = paint(x, y)
    return colour


def render_pixel(px, py):
    """Average of the samples of one pixel; None when mostly transparent."""
    total = [0.0, 0.0, 0.0]
    covered = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            colour = sample(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
            if colour is None:
                continue
            covered += 1
            for k in range(3):
                total[k] += colour[k]
    if covered * 2 < SAMPLES * SAMPLES:
        return None
    return tuple(total[k] / covered for k in range(3))


def reduce_colours(pixels):
    """Merges the rarest colour into its nearest neighbour until the palette
    fits MAX_COLOURS; the large flat areas keep their exact colours."""
    exact = [None if p is None else tuple(int(round(v)) for v in p) for p in pixels]
    counts = {}
    for p in exact:
        if p is not None:
            counts[p] = counts.get(p, 0) + 1
    target = merge_rarest(counts, MAX_COLOURS)
    return [None if p is None else target[p] for p in exact]


def palette_of(pixels):
    """Colours by falling frequency (then value), each with its character."""
    counts = {}
    for p in pixels:
        if p is not None:
            counts[p] = counts.get(p, 0) + 1
    ordered = sorted(counts, key=lambda c: (-counts[c], c))
    return {colour: CHARS[i] for i, colour in enumerate(ordered)}


def xpm_text(pixels):
    palette = palette_of(pixels)
    lines = [
        "/* XPM */",
        "/* Vigilon's icon picture, 64x64. Written by tools/make_icon.py;",
        "   change the script and run it again rather than editing this file. */",
        "static const char* const vigilon_icon_xpm[] = {",
        '"%d %d %d 1",' % (SIZE, SIZE, len(palette) + 1),
        '"%s c None",' % TRANSPARENT_CHAR,
    ]
    for colour, char in palette.items():
        lines.append('"%s c #%02X%02X%02X",' % ((char,) + colour))
    for y in range(SIZE):
        row = pixels[y * SIZE : (y + 1) * SIZE]
        text = "".join(TRANSPARENT_CHAR if p is None else palette[p] for p in row)
        lines.append('"%s",' % text)
    lines.append("};")
    return "\n".join(lines) + "\n"


def main():
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources",
                           "vigilon_icon.xpm")
    parser = argparse.ArgumentParser(description="Writes the icon picture as XPM.")
    parser.add_argument("--output", default=os.path.normpath(default))
    args = parser.parse_args()
    pixels = [render_pixel(x, y) for y in range(SIZE) for x in range(SIZE)]
    text = xpm_text(reduce_colours(pixels))
    with open(args.output, "w", encoding="ascii", newline="\n") as out:
        out.write(text)
    print("wrote %s" % args.output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
