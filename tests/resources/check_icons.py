#!/usr/bin/env python3
"""Checks the Windows icon files that tools/make_icons.py writes, and with
--exe that a built vigilon.exe carries them and its version information.

  check_icons.py <make_icons.py> [--exe vigilon.exe --exe-version MAJOR.MINOR]

Python 3 standard library only; exits non-zero on the first failure.
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile

# Size of the picture, of its image in the file (header, palette, colour
# bitmap, mask), and the stride of a mask row.
ICONS = {64: (40 + 1024 + 64 * 64 + 64 * 8, 8), 16: (40 + 1024 + 16 * 16 + 16 * 4, 4)}


def check(condition, what):
    if not condition:
        sys.exit("FAIL: " + what)


def make_icons(script, folder):
    subprocess.run([sys.executable, script, folder], check=True, stdout=subprocess.DEVNULL)
    files = {}
    for size in ICONS:
        with open(os.path.join(folder, "vigilon_%d.ico" % size), "rb") as ico:
            files[size] = ico.read()
    return files


def check_icon(size, data):
    name = "vigilon_%d.ico" % size
    image_size, mask_stride = ICONS[size]
    check(len(data) == 6 + 16 + image_size, "%s is %d bytes" % (name, len(data)))
    check(struct.unpack_from("<HHH", data) == (0, 1, 1), name + ": ICONDIR is not one icon")
    entry = struct.unpack_from("<BBBBHHII", data, 6)
    check(entry == (size, size, 0, 0, 1, 8, image_size, 22), "%s: entry %r" % (name, entry))
    header = struct.unpack_from("<IiiHHI", data, 22)
    check(header == (40, size, 2 * size, 1, 8, 0), "%s: BITMAPINFOHEADER %r" % (name, header))
    mask = data[len(data) - size * mask_stride :]
    bits = [(mask[y * mask_stride + x // 8] >> (7 - x % 8)) & 1
            for y in range(size) for x in range(size)]
    check(0 < sum(bits) < size * size, name + ": no transparent or no opaque pixels")


def pe_resources(path):
    """{(type, id): data} of a PE file's resources (first language of each)."""
    with open(path, "rb") as exe:
        data = exe.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    check(data[pe : pe + 4] == b"PE\0\0", path + " is not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    pe32 = struct.unpack_from("<H", data, optional)[0] == 0x10B
    rsrc_rva = struct.unpack_from("<I", data, optional + (96 if pe32 else 112) + 2 * 8)[0]
    check(rsrc_rva != 0, path + " has no resources")

    table = optional + optional_size  # section headers, 40 bytes each

    def offset(rva):
        for i in range(sections):
            size, va, _, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            if va <= rva < va + size:
                return rva - va + raw
        sys.exit("FAIL: RVA %#x is in no section" % rva)

    base = offset(rsrc_rva)

    def entries(directory):
        named, ids = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + ids):
            yield struct.unpack_from("<II", data, base + directory + 16 + 8 * i)

    resources = {}
    for kind, names in entries(0):
        for name, languages in entries(names & 0x7FFFFFFF):
            _, leaf = next(entries(languages & 0x7FFFFFFF))
            rva, size = struct.unpack_from("<II", data, base + leaf)
            resources[(kind, name)] = data[offset(rva) : offset(rva) + size]
    return resources


def check_exe(path, files, version_text):
    resources = pe_resources(path)
    for group, size in ((100, 64), (200, 16)):
        data = resources.get((14, group))  # RT_GROUP_ICON
        check(data is not None, "%s has no icon group %d" % (path, group))
        check(struct.unpack_from("<HHH", data) == (0, 1, 1), "icon group %d" % group)
        entry = struct.unpack_from("<BBBBHHIH", data, 6)
        check(entry[:7] == (size, size, 0, 0, 1, 8, ICONS[size][0]), "icon group %d" % group)
        check(resources.get((3, entry[7])) == files[size][22:],  # RT_ICON
              "icon group %d does not hold vigilon_%d.ico" % (group, size))
    version = resources.get((16, 1), b"")  # RT_VERSION
    fixed = version.find(struct.pack("<I", 0xFEEF04BD))
    check(fixed > 0, path + " has no version information")
    major, minor = (int(part) for part in version_text.split("."))
    number = major << 16 | minor
    check(struct.unpack_from("<4I", version, fixed + 8) == (number, 0, number, 0),
          "file and product version are not %s.0.0" % version_text)
    check((version_text + ".0.0").encode("utf-16-le") in version,
          "version information lacks the text " + version_text + ".0.0")
    for text in ("Vigilon - Folding@home status monitor", "vigilon.exe", "040904B0"):
        check(text.encode("utf-16-le") in version, "version information lacks " + text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("make_icons")
    parser.add_argument("--exe")
    parser.add_argument("--exe-version")
    args = parser.parse_args()
    if args.exe and not args.exe_version:
        parser.error("--exe needs --exe-version")
    with tempfile.TemporaryDirectory() as folder:
        first = make_icons(args.make_icons, os.path.join(folder, "first"))
        second = make_icons(args.make_icons, os.path.join(folder, "second"))
    for size, data in first.items():
        check_icon(size, data)
        check(second[size] == data, "vigilon_%d.ico differs between two runs" % size)
    if args.exe:
        check_exe(args.exe, first, args.exe_version)
    print("icons" + (" and resources of " + args.exe if args.exe else "") + ": OK")
    return 0


if __name__ == "__main__":
    sys.exit(main())
