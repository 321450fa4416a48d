#!/usr/bin/env python3
"""Builds the program icon from the pixel art kept beside this script.

The 16 x 16 and 32 x 32 images are drawn by hand in 16.txt and 32.txt, one
character a pixel from the 16-colour palette below. The 48 x 48 and 256 x 256
images are made from them with the Scale2x/Scale3x pixel-art enlargers, so all
four sizes show the same picture and the output is the same on every run.

    make-icon.py OUT.ico [--preview OUT.png]
"""
import struct
import sys
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent

# The standard 16-colour palette; the letters used in the art.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
LETTERS = {".": 0, "r": 1, "y": 3, "g": 8, "R": 9, "Y": 11, "W": 15}


def read_art(size):
    rows = (HERE / f"{size}.txt").read_text(encoding="ascii").split()
    if len(rows) != size or any(len(r) != size for r in rows):
        raise SystemExit(f"{size}.txt: expected {size} rows of {size} pixels")
    try:
        return [[LETTERS[c] for c in row] for row in rows]
    except KeyError as e:
        raise SystemExit(f"{size}.txt: unknown colour letter {e}")


def scale2x(img):
    n = len(img)
    out = [[0] * (2 * n) for _ in range(2 * n)]
    px = lambda x, y: img[min(max(y, 0), n - 1)][min(max(x, 0), n - 1)]
    for y in range(n):
        for x in range(n):
            p, a, b, c, d = px(x, y), px(x, y - 1), px(x + 1, y), px(x - 1, y), px(x, y + 1)
            e0 = a if (c == a and c != d and a != b) else p
            e1 = b if (a == b and a != c and b != d) else p
            e2 = c if (d == c and d != b and c != a) else p
            e3 = d if (b == d and b != a and d != c) else p
            out[2 * y][2 * x], out[2 * y][2 * x + 1] = e0, e1
            out[2 * y + 1][2 * x], out[2 * y + 1][2 * x + 1] = e2, e3
    return out


def scale3x(img):
    n = len(img)
    out = [[0] * (3 * n) for _ in range(3 * n)]
    px = lambda x, y: img[min(max(y, 0), n - 1)][min(max(x, 0), n - 1)]
    for y in range(n):
        for x in range(n):
            a, b, c = px(x - 1, y - 1), px(x, y - 1), px(x + 1, y - 1)
            d, e, f = px(x - 1, y), px(x, y), px(x + 1, y)
            g, h, i = px(x - 1, y + 1), px(x, y + 1), px(x + 1, y + 1)
            if b != h and d != f:
                cells = [
                    d if d == b else e,
                    b if (d == b and e != c) or (b == f and e != a) else e,
                    f if b == f else e,
                    d if (d == b and e != g) or (d == h and e != a) else e,
                    e,
                    f if (b == f and e != i) or (h == f and e != c) else e,
                    d if d == h else e,
                    h if (d == h and e != i) or (h == f and e != g) else e,
                    f if h == f else e,
                ]
            else:
                cells = [e] * 9
            for k, v in enumerate(cells):
                out[3 * y + k // 3][3 * x + k % 3] = v
    return out


def dib_4bit(img):
    """A 16-colour icon image: header, palette, colour bits and an empty mask."""
    n = len(img)
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    stride = ((n * 4 + 31) // 32) * 4
    bits = b""
    for row in reversed(img):
        packed = bytes((row[x] << 4) | (row[x + 1] if x + 1 < n else 0) for x in range(0, n, 2))
        bits += packed.ljust(stride, b"\0")
    mask = b"\0" * (((n + 31) // 32) * 4 * n)  # every pixel opaque
    return header + palette + bits + mask


def dib_32bit(img):
    n = len(img)
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    bits = b"".join(struct.pack("<BBBB", *PALETTE[v][::-1], 255) for row in reversed(img) for v in row)
    mask = b"\0" * (((n + 31) // 32) * 4 * n)
    return header + bits + mask


def png(img):
    n = len(img)
    raw = b"".join(b"\0" + b"".join(struct.pack("BBBB", *PALETTE[v], 255) for v in row) for row in img)
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data
                                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def images():
    art16, art32 = read_art(16), read_art(32)
    big = scale2x(scale2x(scale2x(art32)))
    return [(art16, dib_4bit(art16), 4), (art32, dib_4bit(art32), 4),
            (scale3x(art16), dib_32bit(scale3x(art16)), 32), (big, png(big), 32)]


def write_ico(path, entries):
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for img, data, bpp in entries:
        n = len(img)
        colours = 16 if bpp == 4 else 0
        out += struct.pack("<BBBBHHII", n % 256, n % 256, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data, _ in entries)
    Path(path).write_bytes(out)


def write_preview(path, entries):
    """All sizes side by side on grey, each enlarged to at least 128 pixels."""
    tiles = []
    for img, _, _ in entries:
        k = max(1, 128 // len(img))
        tiles.append([[v for v in row for _ in range(k)] for row in img for _ in range(k)])
    height = max(len(t) for t in tiles) + 16
    width = sum(len(t) for t in tiles) + 16 * (len(tiles) + 1)
    canvas = [[8] * width for _ in range(height)]
    x0 = 16
    for t in tiles:
        for y, row in enumerate(t):
            canvas[8 + y][x0:x0 + len(row)] = row
        x0 += len(t) + 16
    data = png_rect(canvas)
    Path(path).write_bytes(data)


def png_rect(img):
    h, w = len(img), len(img[0])
    raw = b"".join(b"\0" + bytes(c for v in row for c in PALETTE[v]) for row in img)
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data
                                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--preview"):
        raise SystemExit(__doc__)
    entries = images()
    write_ico(argv[1], entries)
    if len(argv) == 4:
        write_preview(argv[3], entries)


if __name__ == "__main__":
    main(sys.argv)
