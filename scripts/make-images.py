#!/usr/bin/env python3
"""Draws the program's pictures and writes them as Windows icon and bitmap files.

Writes into res/ (or the folder given as the only argument):
  quillmark.ico  application icon: a sheet of paper with a quill, 16, 32 and 48 px, 24 bpp
  folder.ico     open yellow folder, 32 px, 16 colours, picture in the middle 16 px
  find.ico       magnifying glass, 32 px, 16 colours, picture in the middle 16 px
  emblem.bmp     database cylinder with a grid in front, 16 px, 24 bpp, grey background

The pictures are drawn from simple shapes in a 32-unit design square, sampled 4 x 4 times
per pixel, so that the same drawing serves every size. Only the standard library is used;
the generated files are committed, so building the program does not need Python.
"""

import math
import os
import struct
import sys

SUB = 4  # samples per pixel along each axis

# The 16 colours of the standard VGA palette, in the order Windows uses for 4-bit DIBs.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_YELLOW, SILVER, GREY = VGA16[0], VGA16[3], VGA16[7], VGA16[8]
YELLOW, CYAN, WHITE, NAVY, TEAL = VGA16[11], VGA16[14], VGA16[15], VGA16[4], VGA16[6]


# ----- shapes: each is a test "does design point (x, y) lie inside" -----

def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def polygon(points):
    def inside(x, y):
        result = False
        n = len(points)
        for i in range(n):
            xa, ya = points[i]
            xb, yb = points[(i + 1) % n]
            if (ya > y) != (yb > y):
                xc = xa + (y - ya) * (xb - xa) / (yb - ya)
                if x < xc:
                    result = not result
        return result
    return inside


def segment(xa, ya, xb, yb, width):
    dx, dy = xb - xa, yb - ya
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / length2))
        px, py = xa + t * dx, ya + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2.0) ** 2
    return inside


def outline(points, width):
    parts = [segment(*points[i], *points[(i + 1) % len(points)], width) for i in range(len(points))]
    return lambda x, y: any(p(x, y) for p in parts)


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def intersect(a, b):
    return lambda x, y: a(x, y) and b(x, y)


# ----- rendering -----

def render(layers, size, background=None):
    """layers: list of (shape, colour), painted in order. Returns rows of sample lists."""
    scale = 32.0 / size
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            samples = []
            for sy in range(SUB):
                for sx in range(SUB):
                    x = (px + (sx + 0.5) / SUB) * scale
                    y = (py + (sy + 0.5) / SUB) * scale
                    colour = background
                    for shape, c in layers:
                        if shape(x, y):
                            colour = c
                    samples.append(colour)
            row.append(samples)
        pixels.append(row)
    return pixels


def smooth(pixels):
    """Averages the samples: a pixel is transparent (None) when most samples are."""
    out = []
    for row in pixels:
        out_row = []
        for samples in row:
            solid = [s for s in samples if s is not None]
            if len(solid) * 2 < len(samples):
                out_row.append(None)
            else:
                out_row.append(tuple(round(sum(c[i] for c in solid) / len(solid)) for i in range(3)))
        out.append(out_row)
    return out


def majority(pixels):
    """Takes each pixel's most frequent sample, so palette pictures keep palette colours."""
    out = []
    for row in pixels:
        out_row = []
        for samples in row:
            counts = {}
            for s in samples:
                counts[s] = counts.get(s, 0) + 1
            out_row.append(max(counts, key=lambda c: (counts[c], c is not None)))
        out.append(out_row)
    return out


# ----- file formats -----

def row_padded(data):
    return data + b"\0" * ((4 - len(data) % 4) % 4)


def and_mask(image):
    size = len(image)
    rows = []
    for y in reversed(range(size)):
        bits = bytearray((size + 7) // 8)
        for x in range(size):
            if image[y][x] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        rows.append(row_padded(bytes(bits)))
    return b"".join(rows)


def icon_image_24(image):
    size = len(image)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(size)):
        line = bytearray()
        for x in range(size):
            c = image[y][x] or (0, 0, 0)
            line += bytes((c[2], c[1], c[0]))
        rows.append(row_padded(bytes(line)))
    return header + b"".join(rows) + and_mask(image), 0, 24


def icon_image_4(image):
    size = len(image)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for (r, g, b) in VGA16)
    rows = []
    for y in reversed(range(size)):
        line = bytearray()
        for x in range(0, size, 2):
            pair = []
            for c in (image[y][x], image[y][x + 1]):
                pair.append(VGA16.index(c) if c is not None else 0)
            line.append((pair[0] << 4) | pair[1])
        rows.append(row_padded(bytes(line)))
    return header + palette + b"".join(rows) + and_mask(image), 16, 4


def write_icon(path, images):
    """images: list of (dib bytes, colour count, bits per pixel, size)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for dib, colours, bpp, size in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bpp, len(dib), offset)
        blobs += dib
        offset += len(dib)
    with open(path, "wb") as f:
        f.write(out + entries + blobs)


def write_bmp(path, image):
    size = len(image)
    rows = []
    for y in reversed(range(size)):
        line = bytearray()
        for x in range(size):
            r, g, b = image[y][x]
            line += bytes((b, g, r))
        rows.append(row_padded(bytes(line)))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(head + info + bits)


# ----- the pictures -----

def app_icon_layers(size):
    """A sheet of paper with lines of text and a blue quill lying across it."""
    line = max(1.0, 32.0 / size)  # one pixel, in design units
    page = [(5, 2), (21, 2), (27, 8), (27, 30), (5, 30)]
    ink = (40, 40, 40)
    layers = [
        (polygon(page), (250, 250, 245)),
        (outline(page, line), (70, 70, 70)),
        (polygon([(21, 2), (21, 8), (27, 8)]), (205, 205, 200)),
        (outline([(21, 2), (21, 8), (27, 8)], line), (70, 70, 70)),
    ]
    if size >= 32:
        for y in (12, 16, 20, 24):
            layers.append((rect(9, y, 19 if y != 24 else 14, y + line), (150, 150, 160)))
    else:
        layers.append((rect(9, 14, 18, 14 + line), (150, 150, 160)))
        layers.append((rect(9, 20, 15, 20 + line), (150, 150, 160)))
    # The quill: a long feather from the upper right down to a nib at the lower left.
    vane = polygon([(31, 1), (28, 1.5), (22, 7), (15, 15), (12.5, 19.5), (14, 20), (19, 16), (26, 9), (30.5, 4)])
    layers += [
        (vane, (30, 90, 200)),
        (segment(30, 2.5, 13.5, 19.5, line), (200, 225, 255)),
        (polygon([(12.5, 19.5), (14.5, 20.5), (9.5, 26.5), (8.5, 25)]), ink),
        (segment(8, 26.5, 6.5, 28.5, line), ink),
    ]
    return layers


def folder_layers():
    """An open folder: the back with its tab, and the front flap tilted open.

    The picture keeps to the middle 16 x 16 pixels of the square: the buttons that show
    it are about that small and show the middle of the icon.
    """
    back = [(8.5, 9.5), (12, 9.5), (13.5, 11), (20.5, 11), (20.5, 22.5), (8.5, 22.5)]
    paper = [(10.5, 13), (19, 13), (19, 16), (10.5, 16)]
    front = [(12, 16), (23.5, 16), (21, 22.5), (8.5, 22.5)]
    return [
        (polygon(back), DARK_YELLOW),
        (outline(back, 1.0), BLACK),
        (polygon(paper), WHITE),
        (polygon(front), YELLOW),
        (outline(front, 1.0), BLACK),
    ]


def find_layers():
    """A magnifying glass: a ring with a light lens and a dark handle to the lower right,
    in the middle 16 x 16 pixels of the square like the folder."""
    return [
        (segment(18, 18, 22.5, 22.5, 3.0), BLACK),
        (ellipse(14, 14, 5.6, 5.6), BLACK),
        (ellipse(14, 14, 4.4, 4.4), CYAN),
        (ellipse(12.6, 12.6, 1.5, 1.5), WHITE),
    ]


def emblem_layers():
    """A database cylinder with a small grid (a table) in front of its lower right.

    Drawn for 16 pixels: two design units make one pixel, and the grid lies on whole pixels.
    """
    body = (60, 110, 190)
    dark = (20, 50, 110)
    light = (150, 190, 240)
    line = (40, 40, 40)
    layers = [
        (union(rect(2, 7, 22, 25), ellipse(12, 25, 10, 4), ellipse(12, 7, 10, 4.5)), dark),
        (union(rect(4, 7, 20, 25), ellipse(12, 25, 8, 2.5)), body),
        (ellipse(12, 7, 8, 2.5), light),
        (rect(14, 16, 32, 32), WHITE),
        (rect(14, 18, 32, 20), (255, 220, 120)),
    ]
    for x in (14, 22, 30):
        layers.append((rect(x, 16, x + 2, 32), line))
    for y in (16, 20, 24, 30):
        layers.append((rect(14, y, 32, y + 2), line))
    return layers


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
    images = []
    for size in (16, 32, 48):
        dib, colours, bpp = icon_image_24(smooth(render(app_icon_layers(size), size)))
        images.append((dib, colours, bpp, size))
    write_icon(os.path.join(out, "quillmark.ico"), images)

    for name, layers in (("folder.ico", folder_layers()), ("find.ico", find_layers())):
        dib, colours, bpp = icon_image_4(majority(render(layers, 32)))
        write_icon(os.path.join(out, name), [(dib, colours, bpp, 32)])

    write_bmp(os.path.join(out, "emblem.bmp"), smooth(render(emblem_layers(), 16, (212, 212, 212))))


if __name__ == "__main__":
    main()
