#!/usr/bin/env python3
"""Converts a TrueColor xwd dump (as `xwd -root` writes under Xvfb) to PNG. With --region X Y W H
it prints the mean brightness (0-255) of that part of the screen."""
import struct
import sys
import zlib


def read_xwd(data):
    fields = struct.unpack(">25I", data[:100])
    header_size, _version, pixmap_format, _depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    ncolors = fields[19]
    if pixmap_format != 2 or bits_per_pixel not in (24, 32):
        raise SystemExit("only 24- and 32-bit ZPixmap dumps are handled")
    size = bits_per_pixel // 8
    start = header_size + ncolors * 12

    def shift(mask):
        return (mask & -mask).bit_length() - 1

    shifts = [shift(m) for m in (red_mask, green_mask, blue_mask)]
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line:start + y * bytes_per_line + width * size]
        row = bytearray(b"\x00")  # PNG filter type 0
        for x in range(0, width * size, size):
            p = int.from_bytes(line[x:x + size], "little" if byte_order == 0 else "big")
            row += bytes(((p >> s) & 0xFF) for s in shifts)
        rows.append(bytes(row))
    return width, height, b"".join(rows)


def write_png(path, width, height, raw):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        out.write(chunk(b"IEND", b""))


def mean_brightness(width, raw, x, y, w, h):
    total = 0
    for row in range(y, y + h):
        start = row * (1 + width * 3) + 1 + x * 3
        line = raw[start:start + w * 3]
        total += sum(line)
    return total / (3 * w * h)


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        width, height, raw = read_xwd(f.read())
    write_png(sys.argv[2], width, height, raw)
    if len(sys.argv) == 8 and sys.argv[3] == "--region":
        x, y, w, h = (int(v) for v in sys.argv[4:8])
        print("%.1f" % mean_brightness(width, raw, x, y, w, h))
