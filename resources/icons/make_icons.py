#!/usr/bin/env python3
# Draws VELKAR's program icon as 16-colour pixel art: a page whose lines grow
# longer from top to bottom beside a downward arrow. Writes the 16x16 and 32x32
# PNGs, 2x/4x/8x enlargements of the 32x32 one, an ICO holding both small
# sizes, and an SVG of the 32x32 grid. Run it by hand; its output is committed.
import struct
import zlib

# The classic 16-colour palette (index -> RGB); None is transparent.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, NAVY, SILVER, GRAY, RED, BLUE, WHITE = 0, 1, 4, 7, 8, 9, 12, 15


def blank(size):
    return [[None] * size for _ in range(size)]


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def page(img, x0, y0, x1, y1, fold):
    rect(img, x0, y0, x1, y1, BLACK)
    rect(img, x0 + 1, y0 + 1, x1 - 1, y1 - 1, WHITE)
    # The folded corner at the top right.
    for d in range(fold + 1):
        for x in range(x1 - fold + d, x1 + 1):
            img[y0 + d][x] = None
    for d in range(fold + 1):
        img[y0 + d][x1 - fold + d] = BLACK
        img[y0 + fold][x1 - fold + d] = BLACK
        img[y0 + d][x1 - fold] = BLACK
    for y in range(y0 + 1, y0 + fold):
        for x in range(x1 - fold + 1, x1 - fold + (y - y0)):
            img[y][x] = SILVER
    img[y0 + fold][x1 - fold] = BLACK
    # A shadow along the right and bottom edges.
    for y in range(y0 + fold + 1, y1 + 1):
        img[y][x1 - 1] = SILVER if y < y1 else BLACK
    for x in range(x0 + 1, x1):
        img[y1 - 1][x] = SILVER


def icon32():
    img = blank(32)
    page(img, 2, 1, 21, 30, 5)
    # Lines of the page, sorted by length.
    for i, length in enumerate((4, 6, 8, 10, 12, 14)):
        y = 8 + i * 3
        rect(img, 5, y, 5 + length - 1, y + 1, NAVY if i % 2 else BLUE)
    # The arrow: shaft and head, red with a dark outline.
    rect(img, 24, 3, 28, 19, MAROON)
    rect(img, 25, 4, 27, 19, RED)
    for d in range(6):
        y = 20 + d
        rect(img, 21 + d, y, 31 - d, y, MAROON)
        if 22 + d <= 30 - d:
            rect(img, 22 + d, y, 30 - d, y, RED)
    img[26][26] = MAROON
    return img


def icon16():
    img = blank(16)
    page(img, 0, 0, 10, 15, 3)
    for i, length in enumerate((2, 4, 6)):
        y = 5 + i * 3
        rect(img, 2, y, 2 + length - 1, y + 1, BLUE if i % 2 == 0 else NAVY)
    rect(img, 11, 1, 13, 9, MAROON)
    for y in range(2, 10):
        img[y][12] = RED
    for d in range(4):
        y = 10 + d
        rect(img, 9 + d, y, 15 - d, y, MAROON)
        if 10 + d <= 14 - d:
            rect(img, 10 + d, y, 14 - d, y, RED)
    return img


def scale(img, factor):
    out = []
    for row in img:
        wide = [c for c in row for _ in range(factor)]
        out.extend([list(wide) for _ in range(factor)])
    return out


def png(img):
    size = len(img)
    raw = b''
    for row in img:
        raw += b'\0'
        for c in row:
            raw += bytes(PALETTE[c]) + b'\xff' if c is not None else b'\0\0\0\0'

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))

    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def ico(images):
    header = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    blobs = b''
    for size, data in images:
        entries += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    return header + entries + blobs


def svg(img):
    size = len(img)
    parts = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{size * 8}" height="{size * 8}" '
             f'viewBox="0 0 {size} {size}" shape-rendering="crispEdges">',
             '<title>VELKAR</title>']
    for y, row in enumerate(img):
        x = 0
        while x < size:
            c = row[x]
            run = 1
            while x + run < size and row[x + run] == c:
                run += 1
            if c is not None:
                r, g, b = PALETTE[c]
                parts.append(f'<rect x="{x}" y="{y}" width="{run}" height="1" '
                             f'fill="#{r:02x}{g:02x}{b:02x}"/>')
            x += run
    parts.append('</svg>')
    return '\n'.join(parts) + '\n'


def main():
    big, small = icon32(), icon16()
    small_png, big_png = png(small), png(big)
    with open('velkar-16.png', 'wb') as f:
        f.write(small_png)
    with open('velkar-32.png', 'wb') as f:
        f.write(big_png)
    for factor in (2, 4, 8):
        with open(f'velkar-{32 * factor}.png', 'wb') as f:
            f.write(png(scale(big, factor)))
    with open('velkar.ico', 'wb') as f:
        f.write(ico([(16, small_png), (32, big_png)]))
    with open('velkar.svg', 'w') as f:
        f.write(svg(big))


if __name__ == '__main__':
    main()
