#!/usr/bin/env python3
"""Writes the program file's icon, vantorel-renamer.ico, from vantorel-renamer.png.

The icon is one 32 x 32 image with 256 colours, stored the classic way (an
8-bit bitmap with its palette and a 1-bit transparency mask) so that every
version of the platform's shell shows it. The PNG must be an 8-bit palette
image of that size; pixels whose palette alpha is below 128 become
transparent. Run it again only when the PNG changes, and commit the result.
"""

import struct
import sys
import zlib
from pathlib import Path

SIZE = 32


def read_palette_png(path):
    data = path.read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    pos, chunks = 8, {}
    idat = b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IDAT":
            idat += body
        else:
            chunks.setdefault(kind, body)
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"])
    if (width, height, depth, colour, interlace) != (SIZE, SIZE, 8, 3, 0):
        sys.exit(f"{path}: need a {SIZE} x {SIZE} 8-bit palette PNG without interlacing")
    plte = chunks[b"PLTE"]
    palette = [tuple(plte[i:i + 3]) for i in range(0, len(plte), 3)]
    alpha = list(chunks.get(b"tRNS", b"")) + [255] * (len(palette) - len(chunks.get(b"tRNS", b"")))

    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(width)
    for y in range(height):
        line = raw[y * (width + 1):(y + 1) * (width + 1)]
        kind, row = line[0], bytearray(line[1:])
        for x in range(width):
            left = row[x - 1] if x else 0
            up = previous[x]
            upleft = previous[x - 1] if x else 0
            if kind == 1:
                row[x] = (row[x] + left) & 0xFF
            elif kind == 2:
                row[x] = (row[x] + up) & 0xFF
            elif kind == 3:
                row[x] = (row[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - upleft
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upleft)
                pred = left if pa <= pb and pa <= pc else up if pb <= pc else upleft
                row[x] = (row[x] + pred) & 0xFF
        rows.append(bytes(row))
        previous = row
    return palette, alpha, rows


def ico_bytes(palette, alpha, rows):
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    colours += b"\0" * (256 * 4 - len(colours))
    # Bitmaps run bottom-up; each row of the mask is padded to four bytes.
    pixels = b"".join(reversed(rows))
    mask = b""
    for row in reversed(rows):
        bits = 0
        for x, index in enumerate(row):
            if alpha[index] < 128:
                bits |= 1 << (SIZE - 1 - x)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 8, 0,
                         len(pixels) + len(mask), 0, 0, 256, 0)
    image = header + colours + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = Path(__file__).resolve().parent
    palette, alpha, rows = read_palette_png(here / "vantorel-renamer.png")
    (here / "vantorel-renamer.ico").write_bytes(ico_bytes(palette, alpha, rows))


if __name__ == "__main__":
    main()
