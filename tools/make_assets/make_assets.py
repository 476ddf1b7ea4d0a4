#!/usr/bin/env python3
"""Makes the splash window's picture and the library's icon.

    make_assets.py OUTPUT_DIR

writes OUTPUT_DIR/splash.jpg (480 x 130, baseline JPEG, YCbCr, 8 bits per
component, made by cjpeg from libjpeg-turbo-progs) and OUTPUT_DIR/qStave.ico
(8-bit 256/48/32/24/16 and 32-bit alpha 256/128/96/72/64/48/32/24/16; the two
256 x 256 images as PNG, the others as bitmaps).

The outputs are committed under bootstrap/resources/, so the build needs
neither this script nor cjpeg; run it again only to change the artwork.

The picture holds only slow gradients and soft shapes: a screenshot of the
window can then be compared with the decoded picture within a small tolerance,
whatever resampling put it on the screen.
"""

import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib

PICTURE_SIZE = (480, 130)
ICON_8BIT_SIZES = (256, 48, 32, 24, 16)
ICON_32BIT_SIZES = (256, 128, 96, 72, 64, 48, 32, 24, 16)
PNG_SIZE = 256


def clamp(value):
    return max(0, min(255, int(round(value))))


def picture_pixel(x, y):
    """A night-blue to ember gradient with a soft glow behind the text."""
    width, height = PICTURE_SIZE
    u, v = x / (width - 1), y / (height - 1)
    r = 20 + 90 * u
    g = 24 + 30 * (1 - u) * (1 - v)
    b = 70 + 80 * (1 - u) - 40 * v
    glow = math.exp(-(((x - 300) / 120.0) ** 2 + ((y - 70) / 45.0) ** 2))
    r += 120 * glow
    g += 80 * glow
    b += 30 * glow
    return clamp(r), clamp(g), clamp(b)


def write_picture(path):
    width, height = PICTURE_SIZE
    rows = bytearray()
    for y in range(height):
        for x in range(width):
            rows.extend(picture_pixel(x, y))
    with tempfile.TemporaryDirectory() as tmp:
        ppm = os.path.join(tmp, "splash.ppm")
        with open(ppm, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (width, height))
            f.write(rows)
        # cjpeg's defaults are baseline, YCbCr with 2x2 chroma sampling, 8 bits.
        subprocess.run(["cjpeg", "-quality", "92", "-optimize", "-outfile", path, ppm], check=True)


def icon_rgba(size, x, y):
    """A rounded square badge with a diagonal stave; alpha is its coverage."""
    s = float(size)
    cx, cy = (x + 0.5) / s - 0.5, (y + 0.5) / s - 0.5
    corner = 0.16
    dx, dy = max(abs(cx) - (0.5 - corner), 0.0), max(abs(cy) - (0.5 - corner), 0.0)
    edge = corner - math.hypot(dx, dy)  # > 0 inside the badge
    alpha = clamp(255 * min(max(edge * s + 0.5, 0.0), 1.0))
    stave = abs(cx + cy) < 0.11
    if stave:
        r, g, b = 235, 200, 90
    else:
        r, g, b = 40 + 120 * (cx + 0.5), 30, 110 - 60 * (cy + 0.5)
    return clamp(r), clamp(g), clamp(b), alpha


def palette():
    """A 6 x 6 x 6 colour cube followed by 40 greys: 256 entries of (r, g, b)."""
    colours = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    colours += [(clamp(i * 255 / 39),) * 3 for i in range(40)]
    return colours


def nearest_index(colours, rgb):
    return min(range(len(colours)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(colours[i], rgb)))


def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png(size, rows, colour_type, plte=None):
    """PNG (RFC 2083) of `rows`, each already in the byte layout of `colour_type`."""
    raw = b"".join(b"\x00" + row for row in rows)  # filter type 0 on every row
    data = b"\x89PNG\r\n\x1a\n"
    data += png_chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, colour_type, 0, 0, 0))
    if plte is not None:
        data += png_chunk(b"PLTE", plte)
    data += png_chunk(b"IDAT", zlib.compress(raw, 9))
    data += png_chunk(b"IEND", b"")
    return data


def and_mask(size, opaque):
    """The 1-bit AND mask, bottom-up, rows padded to 32 bits; 1 = transparent."""
    stride = (size + 31) // 32 * 4
    out = bytearray()
    for y in reversed(range(size)):
        row = bytearray(stride)
        for x in range(size):
            if not opaque(x, y):
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def dib_header(size, bits, image_bytes):
    # BITMAPINFOHEADER; an icon's height counts the XOR image and the AND mask.
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, image_bytes, 0, 0,
                       256 if bits == 8 else 0, 0)


def icon_image_8bit(size, colours):
    pixels = [[icon_rgba(size, x, y) for x in range(size)] for y in range(size)]
    index = [[nearest_index(colours, p[:3]) if p[3] >= 128 else 0 for p in row] for row in pixels]
    if size == PNG_SIZE:
        plte = b"".join(bytes(c) for c in colours)
        trns = bytes([0] + [255] * 255)  # index 0 (black) is the transparent entry
        rows = [bytes(row) for row in index]
        data = png(size, rows, 3, plte)
        # tRNS belongs between PLTE and IDAT.
        idat = data.index(b"IDAT") - 4
        return data[:idat] + png_chunk(b"tRNS", trns) + data[idat:]
    stride = (size + 3) // 4 * 4
    xor = b"".join(bytes(index[y]) + bytes(stride - size) for y in reversed(range(size)))
    mask = and_mask(size, lambda x, y: pixels[y][x][3] >= 128)
    quads = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    return dib_header(size, 8, len(xor) + len(mask)) + quads + xor + mask


def icon_image_32bit(size):
    pixels = [[icon_rgba(size, x, y) for x in range(size)] for y in range(size)]
    if size == PNG_SIZE:
        return png(size, [b"".join(bytes(p) for p in row) for row in pixels], 6)
    xor = b"".join(bytes((b, g, r, a)) for y in reversed(range(size)) for r, g, b, a in pixels[y])
    mask = and_mask(size, lambda x, y: pixels[y][x][3] > 0)
    return dib_header(size, 32, len(xor) + len(mask)) + xor + mask


def write_icon(path):
    colours = palette()
    images = [(s, 8, icon_image_8bit(s, colours)) for s in ICON_8BIT_SIZES]
    images += [(s, 32, icon_image_32bit(s)) for s in ICON_32BIT_SIZES]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, blobs = b"", b""
    for size, bits, blob in images:
        side = 0 if size == 256 else size  # 0 stands for 256 in the directory
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, bits, len(blob), offset)
        blobs += blob
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(header + entries + blobs)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_assets.py OUTPUT_DIR\n")
        return 2
    os.makedirs(argv[1], exist_ok=True)
    write_picture(os.path.join(argv[1], "splash.jpg"))
    write_icon(os.path.join(argv[1], "qStave.ico"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
