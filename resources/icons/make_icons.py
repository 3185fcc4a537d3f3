#!/usr/bin/env python3
# Draws VELKAR's program icon: the 16x16 and 32x32 sizes as 16-colour pixel art
# (a page whose lines grow longer from top to bottom beside a downward arrow) and
# an ICO holding both; the 48, 64, 128 and 256 pixel PNGs are rendered from the
# vector drawing velkar.svg with rsvg-convert (librsvg2-bin), so each is drawn
# for its size. Run it by hand in this folder; its output is committed.
import struct
import subprocess
import zlib

# The classic 16-colour palette (index -> RGB); None is transparent.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, NAVY, SILVER, GRAY, RED, BLUE, WHITE = 0, 1, 4, 7, 8, 9, 12, 15

# The sizes rendered from the vector drawing.
LARGE_SIZES = (48, 64, 128, 256)


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


def main():
    big, small = icon32(), icon16()
    small_png, big_png = png(small), png(big)
    with open('velkar-16.png', 'wb') as f:
        f.write(small_png)
    with open('velkar-32.png', 'wb') as f:
        f.write(big_png)
    with open('velkar.ico', 'wb') as f:
        f.write(ico([(16, small_png), (32, big_png)]))
    for size in LARGE_SIZES:
        subprocess.run(['rsvg-convert', '-w', str(size), '-h', str(size),
                        '-o', f'velkar-{size}.png', 'velkar.svg'], check=True)


if __name__ == '__main__':
    main()
