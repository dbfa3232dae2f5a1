"""Writes a Windows icon (.ico) holding the given PNG images, each at its own size: the program's
icon inside pingora.exe and for its Start menu entry and the installed programs, from the PNGs
the build draws.
Usage: make-icon.py <out.ico> <png>..."""
import struct
import sys

images = [open(path, "rb").read() for path in sys.argv[2:]]
entries, offset = [], 6 + 16 * len(images)
for png in images:
    if png[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit("make-icon: not a PNG image")
    width, height = struct.unpack(">II", png[16:24])
    # An entry's size byte is 0 for 256 pixels; 32-bit colour, one plane.
    entries.append(struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(png), offset))
    offset += len(png)
with open(sys.argv[1], "wb") as icon:
    icon.write(struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(images))
