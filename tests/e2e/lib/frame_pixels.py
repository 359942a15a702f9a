#!/usr/bin/env python3
"""Checks a screenshot of the status window's client area (PPM P6) against
the frame's layout: black background, grey panel, red bar ending where the
percentage puts it, white text on the four text lines' bands and dark blue
on the credit line. The layout scales with the client area.

Usage: frame_pixels.py <shot.ppm> <percent> [<width>x<height> expected]
Prints one line per check and exits 1 when one fails."""
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maximum
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("not an 8-bit P6 image")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:]


class Shot:
    def __init__(self, path):
        self.width, self.height, self.data = read_ppm(path)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def count(self, x0, x1, y0, y1, test):
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if test(*self.pixel(x, y)))


def column(ndc_x, width):
    return int(round((ndc_x + 1.0) / 2.0 * width))


def row(ndc_y, height):
    return int(round((1.0 - ndc_y) / 2.0 * height))


def is_black(r, g, b):
    return r < 16 and g < 16 and b < 16


def is_grey(r, g, b):
    return 90 <= r <= 115 and abs(r - g) < 6 and abs(r - b) < 6


def is_red(r, g, b):
    return r > 40 and g < 20 and b < 20


def is_white(r, g, b):
    return r > 200 and g > 200 and b > 200


def is_dark_blue(r, g, b):
    return r < 30 and g < 30 and 120 < b < 190


def main():
    shot = Shot(sys.argv[1])
    percent = int(sys.argv[2])
    w, h = shot.width, shot.height
    failures = []

    def check(name, ok, detail=""):
        print(("ok   " if ok else "FAIL ") + name + (": " + detail if detail else ""))
        if not ok:
            failures.append(name)

    if len(sys.argv) > 3:
        check(f"client area is {sys.argv[3]}", f"{w}x{h}" == sys.argv[3], f"{w}x{h}")
    corners = [(2, 2), (w - 3, 2), (w - 3, h - 3), (2, h - 3)]
    check("black background", all(is_black(*shot.pixel(x, y)) for x, y in corners))

    # A row through the bar above line 4's text: panel margin, bar, panel, black.
    y = row(-0.25, h)
    panel_left, panel_right = column(-0.77, w), column(0.77, w)
    grey = [x for x in range(w) if is_grey(*shot.pixel(x, y))]
    check("grey panel spans x -0.77 .. 0.77", grey != [] and abs(grey[0] - panel_left) <= 2
          and abs(grey[-1] - panel_right) <= 2, f"{grey[:1]}..{grey[-1:]} want {panel_left}..{panel_right}")
    top = [yy for yy in range(h) if is_grey(*shot.pixel(panel_right - 3, yy))]
    check("grey panel spans y -0.18 .. -0.72", top != [] and abs(top[0] - row(-0.18, h)) <= 2
          and abs(top[-1] - row(-0.72, h)) <= 2, f"{top[:1]}..{top[-1:]}")

    red = [x for x in range(w) if is_red(*shot.pixel(x, y))]
    bar_end = column(-0.75 + percent / 67.0, w)
    if percent == 0:
        check("no bar at 0%", red == [], f"{len(red)} red pixels")
    else:
        check(f"red bar ends at {percent}%", red != [] and abs(red[-1] - bar_end) <= 2
              and abs(red[0] - column(-0.75, w)) <= 2, f"{red[:1]}..{red[-1:]} want ..{bar_end}")
        left, right = shot.pixel(red[0] + 1, y), shot.pixel(red[-1] - 1, y)
        check("bar shades from dark to bright red", left[0] < right[0], f"{left} {right}")

    for line, ndc_y in enumerate((0.7, 0.4, 0.1, -0.5), start=1):
        base = row(ndc_y, h)
        n = shot.count(0, w, base - 11, base + 3, is_white)
        check(f"white text on line {line}", n > 20, f"{n} white pixels near row {base}")
    base = row(-0.91, h)
    n = shot.count(0, w, base - 11, min(h, base + 3), is_dark_blue)
    check("dark blue credit line", n > 20, f"{n} blue pixels near row {base}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
