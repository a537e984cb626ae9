#!/usr/bin/env python3
"""Draws the program's pictures and writes them as Windows resource files.

    python3 resources/make-pictures.py [OUTDIR]      (default: the folder of this script)

Writes, byte for byte the same on every run (no time stamps, no randomness):

  main.ico     icon group 102, the main window: a magnifier over a page of text, 32x32 and 16x16
  viewer.ico   icon group 105, the document viewer: a page of text with a red title line, 32x32 and 16x16
  link.cur     cursor 103, the contact link: an envelope above a pointing hand, 32x32, two colours,
               hot spot (13, 9) at the tip of the index finger
  arrows.bmp   bitmap 104, the list-header sort images: 64x16, 16 colours, four 16-pixel images:
               0 a plain white square, 1 a shaded upward triangle, 2 a shaded downward triangle,
               3 blank. The background of 1-3 is light grey 0xC0C0C0, which LR_LOADMAP3DCOLORS turns
               into the system's 3-D face colour; the shading uses the other two colours that it maps,
               0x808080 (3-D shadow) and 0xDFDFDF (3-D light). The header image list is 12 pixels
               high, so the triangles are drawn within the top 12 rows.

The drawings are made of a few shapes sampled at pixel centres, so each size is drawn on its own
rather than scaled from another. The files are checked in beside the resource script; the build
does not run this script. Standard library only.
"""
import os
import struct
import sys

# The 16-colour palette used by every picture: the usual VGA order, so that index 7 is the 3-D face
# grey and index 8 the 3-D shadow grey; index 6 is replaced by the 3-D light grey (0xDFDFDF).
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 dark red
    (0x00, 0x80, 0x00),  # 2 dark green
    (0x80, 0x80, 0x00),  # 3 olive (brown handle)
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0xDF, 0xDF, 0xDF),  # 6 3-D light grey
    (0xC0, 0xC0, 0xC0),  # 7 3-D face grey
    (0x80, 0x80, 0x80),  # 8 3-D shadow grey
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 green
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 magenta
    (0x00, 0xFF, 0xFF),  # 14 cyan
    (0xFF, 0xFF, 0xFF),  # 15 white
]
BLACK, DARK_RED, OLIVE, NAVY, LIGHT, FACE, SHADOW, RED, BLUE, CYAN, WHITE = 0, 1, 3, 4, 6, 7, 8, 9, 12, 14, 15
CLEAR = None  # transparent pixel of an icon or cursor


def canvas(w, h, fill=CLEAR):
    return [[fill] * w for _ in range(h)]


def rect(img, x0, y0, x1, y1, colour):
    """Fills the pixels x0..x1-1, y0..y1-1."""
    for y in range(max(0, y0), min(len(img), y1)):
        for x in range(max(0, x0), min(len(img[0]), x1)):
            img[y][x] = colour


def frame(img, x0, y0, x1, y1, colour):
    rect(img, x0, y0, x1, y0 + 1, colour)
    rect(img, x0, y1 - 1, x1, y1, colour)
    rect(img, x0, y0, x0 + 1, y1, colour)
    rect(img, x1 - 1, y0, x1, y1, colour)


def disc(img, cx, cy, r, colour):
    """Fills the pixels whose centre lies within r of (cx, cy)."""
    for y in range(len(img)):
        for x in range(len(img[0])):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                img[y][x] = colour


def thick_line(img, x0, y0, x1, y1, half_width, colour):
    """Fills the pixels whose centre lies within half_width of the segment (x0,y0)-(x1,y1)."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    for y in range(len(img)):
        for x in range(len(img[0])):
            px, py = x + 0.5, y + 0.5
            t = ((px - x0) * dx + (py - y0) * dy) / length2
            t = max(0.0, min(1.0, t))
            qx, qy = x0 + t * dx - px, y0 + t * dy - py
            if qx * qx + qy * qy <= half_width * half_width:
                img[y][x] = colour


def page(img, x0, y0, x1, y1, fold, line_colour, line_step, first_line, title_colour=None):
    """A sheet of paper with a folded top-right corner and lines of text."""
    rect(img, x0, y0, x1, y1, WHITE)
    frame(img, x0, y0, x1, y1, BLACK)
    # the folded corner
    for i in range(fold):
        rect(img, x1 - fold + i, y0, x1, y0 + i, CLEAR)
        img[y0 + i][x1 - fold + i] = BLACK
    rect(img, x1 - fold, y0 + fold - 1, x1, y0 + fold, BLACK)
    rect(img, x1 - fold, y0, x1 - fold + 1, y0 + fold, BLACK)
    for i in range(1, fold - 1):
        rect(img, x1 - fold + 1, y0 + i, x1 - fold + i, y0 + i + 1, FACE)
    y = y0 + first_line
    n = 0
    while y < y1 - 2:
        colour = title_colour if (n == 0 and title_colour is not None) else line_colour
        end = x1 - 3 if n % 3 != 2 else (x0 + x1) // 2 + 1
        start = x0 + 2 + (1 if x1 - x0 > 16 else 0)
        if y < y0 + fold + 1:
            end = min(end, x1 - fold - 1)
        rect(img, start, y, end, y + 1, colour)
        y += line_step
        n += 1


def magnifier(img, cx, cy, r, ring, handle_to, handle_half):
    thick_line(img, cx, cy, handle_to[0], handle_to[1], handle_half, OLIVE)
    disc(img, cx, cy, r + ring, BLACK)
    disc(img, cx, cy, r, CYAN)
    # a highlight on the lens
    disc(img, cx - r * 0.35, cy - r * 0.35, max(1.0, r * 0.3), WHITE)


def main_icon(size):
    img = canvas(size, size)
    if size == 32:
        page(img, 2, 1, 24, 31, 6, SHADOW, 3, 4)
        magnifier(img, 19.5, 17.5, 7.0, 1.6, (29.5, 29.5), 2.2)
    else:
        page(img, 1, 0, 12, 16, 4, SHADOW, 2, 3)
        magnifier(img, 10.0, 9.0, 3.4, 1.1, (15.2, 15.2), 1.3)
    return img


def viewer_icon(size):
    img = canvas(size, size)
    if size == 32:
        page(img, 4, 1, 28, 31, 7, NAVY, 3, 4, RED)
    else:
        page(img, 2, 0, 14, 16, 4, NAVY, 2, 3, RED)
    return img


def link_cursor():
    """32x32, two colours; None is transparent, BLACK and WHITE are drawn. Hot spot (13, 9)."""
    img = canvas(32, 32)
    # the envelope, above the hand: rows 0..8
    rect(img, 4, 0, 28, 9, WHITE)
    frame(img, 4, 0, 28, 9, BLACK)
    for i in range(5):  # the flap, a V from the top corners down to the middle
        img[1 + i][5 + 2 * i] = BLACK
        img[1 + i][6 + 2 * i] = BLACK
        img[1 + i][26 - 2 * i] = BLACK
        img[1 + i][25 - 2 * i] = BLACK
    # the hand: index finger pointing up, its tip at (13, 9)
    rect(img, 12, 9, 15, 20, WHITE)         # index finger
    frame(img, 11, 9, 16, 20, BLACK)
    img[9][11] = CLEAR
    img[9][15] = CLEAR
    img[9][12] = BLACK
    img[9][14] = BLACK
    img[9][13] = BLACK                      # the tip: the hot spot
    for k, top in enumerate((14, 15, 16)):  # three folded fingers to the right
        x0 = 15 + 4 * k
        rect(img, x0, top, x0 + 5, 24, WHITE)
        frame(img, x0, top, x0 + 5, 24, BLACK)
    rect(img, 7, 17, 12, 21, WHITE)         # the thumb, to the left
    frame(img, 6, 16, 12, 22, BLACK)
    rect(img, 12, 19, 27, 28, WHITE)        # the palm
    rect(img, 11, 20, 12, 28, BLACK)
    rect(img, 27, 16, 28, 28, BLACK)
    rect(img, 12, 27, 27, 28, BLACK)
    rect(img, 7, 21, 12, 22, WHITE)         # thumb joins the palm
    rect(img, 6, 22, 11, 23, BLACK)
    thick_line(img, 7, 22, 11, 26, 0.6, BLACK)
    rect(img, 12, 28, 27, 31, WHITE)        # the cuff
    frame(img, 11, 27, 28, 32, BLACK)
    # inner finger lines on the palm's top edge
    for k in range(3):
        img[19][15 + 4 * k] = BLACK
    return img


def sort_arrows():
    """64x16: white square, up triangle, down triangle, blank; background 0xC0C0C0."""
    img = canvas(64, 16, FACE)
    rect(img, 0, 0, 16, 16, WHITE)
    # Triangle of base 9 pixels, 5 rows high, centred in the top 12 rows of its 16-pixel cell,
    # drawn like the classic raised header arrows: shadow on the left edge, light on the right edge
    # and base, face inside.
    for cell, up in ((1, True), (2, False)):
        x0 = 16 * cell + 3
        for row in range(5):
            y = 3 + row if up else 7 - row
            half = row
            left, right = x0 + 4 - half, x0 + 4 + half
            rect(img, left + 1, y, right, y + 1, SHADOW)
            img[y][left] = SHADOW
            img[y][right] = LIGHT
        base_y = 7 if up else 3
        rect(img, x0, base_y, x0 + 9, base_y + 1, LIGHT if up else SHADOW)
        if not up:
            img[base_y][x0 + 8] = LIGHT
    return img


# ---- file writers -------------------------------------------------------------------------------

def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)


def pack_4bpp(img):
    """Rows bottom-up, 4 bits per pixel, each row padded to 4 bytes."""
    out = bytearray()
    for row in reversed(img):
        data = bytearray()
        for x in range(0, len(row), 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if x + 1 < len(row) and row[x + 1] is not None else 0
            data.append((hi << 4) | lo)
        while len(data) % 4:
            data.append(0)
        out += data
    return bytes(out)


def pack_1bpp(img, bit_of):
    out = bytearray()
    for row in reversed(img):
        data = bytearray((len(row) + 7) // 8)
        for x, p in enumerate(row):
            if bit_of(p):
                data[x // 8] |= 0x80 >> (x % 8)
        while len(data) % 4:
            data.append(0)
        out += data
    return bytes(out)


def and_mask(img):
    return pack_1bpp(img, lambda p: p is None)


def dib_4bpp(img):
    h, w = len(img), len(img[0])
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 4, 0, 0, 0, 0, 16, 0)
    return header + palette_bytes() + pack_4bpp(img) + and_mask(img)


def write_group(path, kind, images, hotspots=None):
    """kind 1 icon, 2 cursor. images: list of (pixels, dib bytes)."""
    count = len(images)
    out = bytearray(struct.pack("<HHH", 0, kind, count))
    offset = 6 + 16 * count
    blobs = []
    for i, (img, dib, colours) in enumerate(images):
        h, w = len(img), len(img[0])
        if kind == 1:
            planes, bits = 1, 4 if colours == 16 else 1
        else:
            planes, bits = hotspots[i]
        out += struct.pack("<BBBBHHII", w % 256, h % 256, colours % 256, 0, planes, bits, len(dib), offset)
        offset += len(dib)
        blobs.append(dib)
    for b in blobs:
        out += b
    with open(path, "wb") as f:
        f.write(bytes(out))


def cursor_dib(img):
    h, w = len(img), len(img[0])
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack("<BBBB", 0, 0, 0, 0) + struct.pack("<BBBB", 255, 255, 255, 0)
    # XOR bits: 1 = white. AND bits: 1 = transparent.
    xor = pack_1bpp(img, lambda p: p == WHITE)
    return header + palette + xor + and_mask(img)


def write_bmp(path, img):
    h, w = len(img), len(img[0])
    pixels = pack_4bpp(img)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(pixels), 2835, 2835, 16, 16)
    offset = 14 + len(info) + 64
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + palette_bytes() + pixels)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out, exist_ok=True)
    for name, draw in (("main.ico", main_icon), ("viewer.ico", viewer_icon)):
        images = [(draw(s), None, 16) for s in (32, 16)]
        images = [(img, dib_4bpp(img), c) for (img, _, c) in images]
        write_group(os.path.join(out, name), 1, images)
    cur = link_cursor()
    write_group(os.path.join(out, "link.cur"), 2, [(cur, cursor_dib(cur), 2)], hotspots=[(13, 9)])
    write_bmp(os.path.join(out, "arrows.bmp"), sort_arrows())


if __name__ == "__main__":
    main()
