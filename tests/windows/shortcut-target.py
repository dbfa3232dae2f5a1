"""Prints the target and the working folder of a Windows shortcut (.lnk), one a line: Wine's
start cannot open shortcuts, so the tests read them as Windows does."""
import struct
import sys

data = open(sys.argv[1], "rb").read()
if data[:4] != b"\x4c\0\0\0":
    sys.exit(f"{sys.argv[1]} is not a shortcut")
flags = struct.unpack_from("<I", data, 0x14)[0]
HAS_ID_LIST, HAS_LINK_INFO, HAS_WORKING_DIR, IS_UNICODE = 0x1, 0x2, 0x10, 0x80
pos = 0x4C
if flags & HAS_ID_LIST:
    pos += 2 + struct.unpack_from("<H", data, pos)[0]
if not flags & HAS_LINK_INFO:
    sys.exit("the shortcut names no file on a local drive")
size, _, _, _, base_offset = struct.unpack_from("<5I", data, pos)
print(data[pos + base_offset : data.index(b"\0", pos + base_offset)].decode("latin-1"))
pos += size


def string():
    global pos
    count = struct.unpack_from("<H", data, pos)[0]
    unit = 2 if flags & IS_UNICODE else 1
    text = data[pos + 2 : pos + 2 + count * unit]
    pos += 2 + count * unit
    return text.decode("utf-16-le" if unit == 2 else "latin-1").rstrip("\0")


# The strings come in this order, each only when its flag is set: name, relative path,
# working folder.
for flag in (0x4, 0x8):
    if flags & flag:
        string()
print(string() if flags & HAS_WORKING_DIR else "")
