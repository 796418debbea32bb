#!/usr/bin/env python3
"""Packs PNG images into one Windows icon file (.ico), each image stored as
PNG, which Windows reads since Vista at every size:

    pack_ico.py OUT.ico IMAGE.png [IMAGE.png ...]

The images are the window's icon as the Linux build draws it (16 to 256 px);
each must be square and at most 256 px."""
import struct
import sys


def png_size(data, name):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        sys.exit(f"pack_ico: {name} is not a PNG image")
    width, height = struct.unpack(">II", data[16:24])
    if width != height or not 1 <= width <= 256:
        sys.exit(f"pack_ico: {name} is {width} x {height}; an icon image is square, 1 to 256 px")
    return width


def main(argv):
    if len(argv) < 3:
        sys.exit("usage: pack_ico.py OUT.ico IMAGE.png [IMAGE.png ...]")
    images = []
    for name in argv[2:]:
        with open(name, "rb") as f:
            data = f.read()
        images.append((png_size(data, name), data))
    images.sort(key=lambda image: image[0])
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, blobs = b"", b""
    for size, data in images:
        # A size of 256 is written as 0; 32 bits per pixel, one plane.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    with open(argv[1], "wb") as f:
        f.write(header + entries + blobs)


if __name__ == "__main__":
    main(sys.argv)
