#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draw every picture Nopi shows and write them to ui/pictures/.

The pictures are generated rather than edited by hand in a paint program
so that they stay reviewable as text, can be tweaked a pixel at a time,
and come out byte-identical on every run (no timestamps, no encoder
settings that differ between machines).  Only the standard library is
used so that anyone with a plain Python 3 can rebuild them.
"""

import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "ui", "pictures")


# --------------------------------------------------------------------------
# PNG output

def _chunk(kind, data):
    body = kind + data
    return (struct.pack(">I", len(data)) + body
            + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF))


def write_png(name, pixels, alpha):
    """pixels: rows of (r, g, b, a) tuples.  With alpha=False the alpha
    channel is dropped and an RGB file is written, which keeps the opaque
    card pictures free of any accidental translucency."""
    height = len(pixels)
    width = len(pixels[0])
    raw = bytearray()
    for row in pixels:
        assert len(row) == width
        raw.append(0)  # filter "none": simplest, and plenty small here
        for r, g, b, a in row:
            raw += bytes((r, g, b, a)) if alpha else bytes((r, g, b))
    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2,
                         0, 0, 0)
    data = (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header)
            + _chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + _chunk(b"IEND", b""))
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def hexcol(text, a=255):
    text = text.lstrip("#")
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), a)


def canvas(width, height, colour):
    return [[colour] * width for _ in range(height)]


def fill(pix, x0, y0, x1, y1, colour):
    """Inclusive rectangle, because the layout below talks about
    'columns 78 and 79' and it is easier to read the same numbers here."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            pix[y][x] = colour


def fill_scaled(pix, scale, x0, y0, x1, y1, colour):
    """fill() in the picture's own pixels, drawn at the given scale."""
    fill(pix, x0 * scale, y0 * scale, (x1 + 1) * scale - 1,
         (y1 + 1) * scale - 1, colour)


def scale2x(mask):
    """Doubles a one-colour drawing (rows of booleans) the Scale2x way: a
    corner of a doubled pixel takes its two neighbours' value when they
    agree, so diagonal strokes come out as smooth two-pixel lines instead of
    doubled staircases, while straight edges stay exactly where they were."""
    height, width = len(mask), len(mask[0])

    def at(x, y):
        if 0 <= x < width and 0 <= y < height:
            return mask[y][x]
        return False
    out = [[False] * (width * 2) for _ in range(height * 2)]
    for y in range(height):
        for x in range(width):
            p = mask[y][x]
            up, down = at(x, y - 1), at(x, y + 1)
            left, right = at(x - 1, y), at(x + 1, y)
            e0 = e1 = e2 = e3 = p
            if left == up and left != down and up != right:
                e0 = up
            if up == right and up != left and right != down:
                e1 = right
            if down == left and down != right and left != up:
                e2 = left
            if right == down and right != up and down != left:
                e3 = down
            out[2 * y][2 * x], out[2 * y][2 * x + 1] = e0, e1
            out[2 * y + 1][2 * x], out[2 * y + 1][2 * x + 1] = e2, e3
    return out


def scaled_mask(mask, scale):
    return scale2x(mask) if scale == 2 else mask


def picture_name(base, scale):
    return base + ("@2x" if scale == 2 else "") + ".png"


BLACK = hexcol("000000")
CLEAR = (0, 0, 0, 0)
NOTE_YELLOW = hexcol("FFFF80")
RED = hexcol("FF0000")


# --------------------------------------------------------------------------
# Lettering for the card.
#
# Each glyph is drawn on a 25-row grid: rows 0-19 reach the cap height,
# rows 6-19 are the x-height, and rows 20-24 hold the descender of "p".
# Strokes are four pixels wide so the word still reads as bold when the
# gradient fades towards grey on the right.

BIG_GLYPHS = {
    "N": (0, [
        "#####.......####",
        "#####.......####",
        "######......####",
        "######......####",
        "#######.....####",
        "#######.....####",
        "########....####",
        "####.####...####",
        "####.####...####",
        "####..####..####",
        "####..####..####",
        "####...####.####",
        "####...####.####",
        "####....########",
        "####.....#######",
        "####.....#######",
        "####......######",
        "####......######",
        "####.......#####",
        "####.......#####",
    ]),
    "o": (6, [
        "...#######...",
        "..#########..",
        ".###########.",
        "#####...#####",
        "####.....####",
        "####.....####",
        "####.....####",
        "####.....####",
        "####.....####",
        "####.....####",
        "#####...#####",
        ".###########.",
        "..#########..",
        "...#######...",
    ]),
    "p": (6, [
        "####.######..",
        "###########..",
        "############.",
        "#####...#####",
        "####.....####",
        "####.....####",
        "####.....####",
        "####.....####",
        "####.....####",
        "####.....####",
        "#####...#####",
        "############.",
        "###########..",
        "####.######..",
        "####.........",
        "####.........",
        "####.........",
        "####.........",
        "####.........",
    ]),
    "i": (0, [
        ".##.",
        "####",
        "####",
        ".##.",
        "....",
        "....",
        "####",
        "####",
        "####",
        "####",
        "####",
        "####",
        "####",
        "####",
        "####",
        "####",
        "####",
        "####",
        "####",
        "####",
    ]),
    "!": (0, [
        ".##.",
        "####",
        "####",
        "####",
        "####",
        "####",
        "####",
        "####",
        "####",
        "####",
        ".##.",
        ".##.",
        ".##.",
        ".##.",
        "....",
        "....",
        ".##.",
        "####",
        "####",
        ".##.",
    ]),
}

# Small capitals for the maker's mark.  Most are three pixels wide; N gets
# four because a three-pixel N is indistinguishable from H at this size.
SMALL_GLYPHS = {
    "S": [".##", "#..", ".#.", "..#", "##."],
    "T": ["###", ".#.", ".#.", ".#.", ".#."],
    "I": ["###", ".#.", ".#.", ".#.", "###"],
    "C": [".##", "#..", "#..", "#..", ".##"],
    "K": ["#.#", "#.#", "##.", "#.#", "#.#"],
    "Y": ["#.#", "#.#", ".#.", ".#.", ".#."],
    "N": ["#..#", "##.#", "#.##", "#..#", "#..#"],
    "O": [".#.", "#.#", "#.#", "#.#", ".#."],
    "E": ["###", "#..", "##.", "#..", "###"],
    " ": ["..", "..", "..", "..", ".."],
}


def big_width(ch):
    return len(BIG_GLYPHS[ch][1][0])


def small_width(ch):
    return len(SMALL_GLYPHS[ch][0])


def text_width(text, width_of, gap):
    return sum(width_of(ch) for ch in text) + gap * (len(text) - 1)


def grey_ramp(x, first, last):
    """Dark at the start of the word, light at the end.  Two linear legs
    meeting at the middle column keep the first letters dark enough to
    anchor the word while the "!" still fades out nicely; pinning the
    middle to a whole column means the mid grey really appears."""
    mid = (first + last) // 2
    if x <= mid:
        v = 0x24 + (0x64 - 0x24) * (x - first) / (mid - first)
    else:
        v = 0x64 + (0x96 - 0x64) * (x - mid) / (last - mid)
    v = int(round(v))
    return (v, v, v, 255)


def make_card(scale):
    w, h = 80, 43
    pix = canvas(w * scale, h * scale, NOTE_YELLOW)
    # A hard two-pixel shadow on the right and bottom, a hairline on the
    # other two sides: the card looks lifted off the desktop without any
    # blur, which would not survive the window manager's scaling anyway.
    fill_scaled(pix, scale, 0, 0, w - 1, 0, BLACK)
    fill_scaled(pix, scale, 0, 0, 0, h - 1, BLACK)
    fill_scaled(pix, scale, w - 2, 0, w - 1, h - 1, BLACK)
    fill_scaled(pix, scale, 0, h - 2, w - 1, h - 1, BLACK)

    # The lettering is laid out on the card's own pixels, then doubled as a
    # whole so that strokes of neighbouring letters never merge.
    word, gap = "Nopi!", 3
    width = text_width(word, big_width, gap)
    # Centre between the hairline and the shadow (columns 1..77).
    left = 1 + (77 - width) // 2
    top = 5
    ink = [[False] * w for _ in range(h)]
    x = left
    for ch in word:
        dy, rows = BIG_GLYPHS[ch]
        for ry, line in enumerate(rows):
            for rx, bit in enumerate(line):
                if bit == "#":
                    ink[top + dy + ry][x + rx] = True
        x += len(rows[0]) + gap
    for y, row in enumerate(scaled_mask(ink, scale)):
        for x, on in enumerate(row):
            if on:
                # The ramp follows the drawn column, so at 2x it runs in
                # half-pixel steps rather than in doubled bands.
                pix[y][x] = grey_ramp((x + 0.5) / scale - 0.5, left,
                                      left + width - 1)

    mark = "STICKY NOTE"
    mwidth = text_width(mark, small_width, 1)
    # The launcher lays its small red plus at columns 60..64, rows 29..33:
    # the mark ends a few pixels before it, so the plus reads as its last sign.
    # Its quit mark covers columns 5..13 of these rows while the mouse is
    # over the card, so the mark starts clear of it, at column 15.
    x = 58 - mwidth
    assert x >= 15
    mtop = 33
    ink = [[False] * w for _ in range(h)]
    for ch in mark:
        rows = SMALL_GLYPHS[ch]
        for ry, line in enumerate(rows):
            for rx, bit in enumerate(line):
                if bit == "#":
                    ink[mtop + ry][x + rx] = True
        x += len(rows[0]) + 1
    for y, row in enumerate(scaled_mask(ink, scale)):
        for x, on in enumerate(row):
            if on:
                pix[y][x] = RED
    write_png(picture_name("card", scale), pix, alpha=False)


def make_newnote(scale):
    w, h = 29, 43
    pix = canvas(w * scale, h * scale, NOTE_YELLOW)
    # No left edge: this strip is laid over the card's last column, so the
    # card's own shadow column becomes the divider between the two.
    fill_scaled(pix, scale, 0, 0, w - 1, 0, BLACK)
    fill_scaled(pix, scale, w - 2, 0, w - 1, h - 1, BLACK)
    fill_scaled(pix, scale, 0, h - 2, w - 1, h - 1, BLACK)
    write_png(picture_name("newnote", scale), pix, alpha=False)


def boxed_cross(x0, y0, size, scale):
    """A square outline with both diagonals, on a clear 32 x 32 icon."""
    mask = [[False] * 32 for _ in range(32)]
    x1, y1 = x0 + size - 1, y0 + size - 1
    for i in range(size):
        mask[y0][x0 + i] = True
        mask[y1][x0 + i] = True
        mask[y0 + i][x0] = True
        mask[y0 + i][x1] = True
        mask[y0 + i][x0 + i] = True
        mask[y0 + i][x1 - i] = True
    return [[BLACK if on else CLEAR for on in row]
            for row in scaled_mask(mask, scale)]


def make_quit(scale):
    write_png(picture_name("quit", scale), boxed_cross(23, 0, 9, scale),
              alpha=True)


def make_close(scale):
    write_png(picture_name("close", scale), boxed_cross(1, 20, 12, scale),
              alpha=True)


def make_plus(scale):
    pix = canvas(5 * scale, 5 * scale, hexcol("FFFF7F"))
    # The pale last column blends the button into the note's frame.
    fill_scaled(pix, scale, 4, 0, 4, 4, hexcol("FFFEFF"))
    # Plain doubling: Scale2x would fill the plus's inner corners and make a
    # blob of it.
    for x, y in ((2, 2), (1, 2), (3, 2), (2, 1), (2, 3)):
        fill_scaled(pix, scale, x, y, x, y, RED)
    write_png(picture_name("plus", scale), pix, alpha=False)


# --------------------------------------------------------------------------
# The program icon.
#
# At 32x32 every pixel matters, so that size is placed by hand: a
# rasterised shape scene loses the eyes and smears the lettering at that
# scale.  The palette letters below are chosen to be easy to tell apart
# when editing the grid.

ICON_PALETTE = {
    ".": CLEAR,
    "D": hexcol("1E4C9E"),   # rim of the ground
    "B": hexcol("3577DA"),   # ground
    "o": hexcol("22406E"),   # bear outline
    "L": hexcol("A9D9FF"),   # bear fur
    "l": hexcol("7EB6EC"),   # inside of the ears
    "m": hexcol("E6F5FF"),   # muzzle
    "k": hexcol("101A2C"),   # eyes, nose, mouth
    "p": hexcol("F2A7C4"),   # cheeks
    "y": hexcol("C6951C"),   # edge of the sign
    "Y": hexcol("FFE45A"),   # sign
    "R": hexcol("E02020"),   # lettering
}

ICON_32 = [
    "...DDDDDDDDDDDDDDDDDDDDDDDDDD...",
    ".DDBBBooooBBBBBBBBBBBBooooBBBDD.",
    ".DBBBoLLLLoBBBBBBBBBBoLLLLoBBBD.",
    ".DBBBoLllLooooooooooooLllLoBBBD.",
    ".DBBBoLlLooLLLLLLLLLLooLlLoBBBD.",
    ".DBBBoLLoLLLLLLLLLLLLLLoLLoBBBD.",
    ".DBBBBooLLLLLLLLLLLLLLLLooBBBBD.",
    ".DBBBBoLLLLLLLLLLLLLLLLLLoBBBBD.",
    ".DBBBBoLLLLkLLLLLLLLkLLLLoBBBBD.",
    ".DBBBBoLLLLkLLLLLLLLkLLLLoBBBBD.",
    ".DBBBBoLLLLLLLmmmmLLLLLLLoBBBBD.",
    ".DBBBBoLLpLLLmkkkkmLLLpLLoBBBBD.",
    ".DBBBBoLLLLLLkmkkmkLLLLLLoBBBBD.",
    ".DBBBBBoLLLLLmkmmkmLLLLLoBBBBBD.",
    ".DBBBBBBoLLLLLmmmmLLLLLoBBBBBBD.",
    ".DBBoooBBooooooooooooooBBoooBBD.",
    ".DBoLLLoyyyyyyyyyyyyyyyyoLLLoBD.",
    ".DBoLLLoYYYYYYYYYYYYYYYYoLLLoBD.",
    ".DByoooYYYYYYYYYYYYYYYYYYoooyBD.",
    ".DByYYYYYYYYYYYYYYYYYYYYRRYYyBD.",
    ".DByYYYYYYYYYYYYYYYYYYYYYYYYyBD.",
    ".DByYYRRRRYYYRRRYYRRRRYYRRYYyBD.",
    ".DByYYRRYRRYRRYRRYRRYRRYRRYYyBD.",
    ".DByYYRRYRRYRRYRRYRRYRRYRRYYyBD.",
    ".DByYYRRYRRYRRYRRYRRYRRYRRYYyBD.",
    ".DByYYRRYRRYYRRRYYRRRRYYRRYYyBD.",
    ".DByYYYYYYYYYYYYYYRRYYYYYYYYyBD.",
    ".DByYYYYYYYYYYYYYYRRYYYYYYYYyBD.",
    ".DByyyyyyyyyyyyyyyyyyyyyyyyyyBD.",
    ".DBBBBBBoLLLoBBBBBBoLLLoBBBBBBD.",
    ".DDBBBBBBoooBBBBBBBBoooBBBBBBDD.",
    "...DDDDDDDDDDDDDDDDDDDDDDDDDD...",
]


def make_icon_32():
    pix = [[ICON_PALETTE[c] for c in line] for line in ICON_32]
    assert len(pix) == 32 and all(len(r) == 32 for r in pix)
    write_png("nopi.png", pix, alpha=True)


# The larger sizes of the icon are vector drawings: ui/icons/nopi.svg,
# rendered by scripts/make_icons.


def main():
    os.makedirs(OUT, exist_ok=True)
    # Each control picture also comes at twice the size, for screens scaled
    # by two, where a stretched 1x picture would look blurred.
    for scale in (1, 2):
        make_card(scale)
        make_newnote(scale)
        make_quit(scale)
        make_close(scale)
        make_plus(scale)
    make_icon_32()


if __name__ == "__main__":
    main()
