#!/usr/bin/env python3
"""Draw every picture Nopi shows and write them to ui/pictures/.

The pictures are generated rather than edited by hand in a paint program
so that they stay reviewable as text, can be tweaked a pixel at a time,
and come out byte-identical on every run (no timestamps, no encoder
settings that differ between machines).  Only the standard library is
used so that anyone with a plain Python 3 can rebuild them.
"""

import math
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


# The large icon is the same scene drawn from simple shapes with
# supersampled coverage, so edges are smooth at 128 px without needing an
# image library.

SS = 4  # samples per pixel along each axis


class Scene:
    def __init__(self, size):
        self.size = size
        # premultiplied RGBA floats, 0..1
        self.px = [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)]
                   for _ in range(size)]

    def paint(self, inside, bbox, colour, opacity=1.0):
        """inside(x, y) -> bool in icon units; colour is either an RGBA
        tuple or a function of (x, y) returning one (for gradients)."""
        x0, y0, x1, y1 = bbox
        n = self.size
        x0 = max(0, int(math.floor(x0)))
        y0 = max(0, int(math.floor(y0)))
        x1 = min(n - 1, int(math.ceil(x1)))
        y1 = min(n - 1, int(math.ceil(y1)))
        step = 1.0 / SS
        offs = [(i + 0.5) * step for i in range(SS)]
        for py in range(y0, y1 + 1):
            row = self.px[py]
            for px in range(x0, x1 + 1):
                hits = 0
                for oy in offs:
                    for ox in offs:
                        if inside(px + ox, py + oy):
                            hits += 1
                if not hits:
                    continue
                cov = hits / (SS * SS) * opacity
                c = colour(px + 0.5, py + 0.5) if callable(colour) else colour
                a = c[3] / 255.0 * cov
                dst = row[px]
                keep = 1.0 - a
                dst[0] = c[0] / 255.0 * a + dst[0] * keep
                dst[1] = c[1] / 255.0 * a + dst[1] * keep
                dst[2] = c[2] / 255.0 * a + dst[2] * keep
                dst[3] = a + dst[3] * keep

    def pixels(self):
        out = []
        for row in self.px:
            line = []
            for r, g, b, a in row:
                if a <= 0.0:
                    line.append(CLEAR)
                    continue
                line.append((int(round(r / a * 255)), int(round(g / a * 255)),
                             int(round(b / a * 255)), int(round(a * 255))))
            out.append(line)
        return out

    # -- shapes -----------------------------------------------------------

    def ellipse(self, cx, cy, rx, ry, colour, opacity=1.0):
        self.paint(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2
                   <= 1.0,
                   (cx - rx, cy - ry, cx + rx, cy + ry), colour, opacity)

    def rounded_rect(self, x0, y0, x1, y1, r, colour, opacity=1.0):
        def inside(x, y):
            if x < x0 or x > x1 or y < y0 or y > y1:
                return False
            qx = min(max(x, x0 + r), x1 - r)
            qy = min(max(y, y0 + r), y1 - r)
            return (x - qx) ** 2 + (y - qy) ** 2 <= r * r
        self.paint(inside, (x0, y0, x1, y1), colour, opacity)

    def capsule(self, ax, ay, bx, by, half, colour):
        dx, dy = bx - ax, by - ay
        ll = dx * dx + dy * dy

        def inside(x, y):
            t = 0.0 if ll == 0 else ((x - ax) * dx + (y - ay) * dy) / ll
            t = min(1.0, max(0.0, t))
            qx, qy = ax + t * dx - x, ay + t * dy - y
            return qx * qx + qy * qy <= half * half
        self.paint(inside, (min(ax, bx) - half, min(ay, by) - half,
                            max(ax, bx) + half, max(ay, by) + half), colour)

    def arc(self, cx, cy, r, half, a0, a1, colour):
        """Stroke of radius r between angles a0..a1 (radians, y down)."""
        def inside(x, y):
            d = math.hypot(x - cx, y - cy)
            if abs(d - r) > half:
                return False
            ang = math.atan2(y - cy, x - cx)
            return a0 <= ang <= a1
        self.paint(inside, (cx - r - half, cy - r - half,
                            cx + r + half, cy + r + half), colour)


def mix(c1, c2, t):
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c1, c2))


def make_icon_128():
    s = Scene(128)
    rim = hexcol("1E4C9E")
    top_blue, bottom_blue = hexcol("4A8DEB"), hexcol("2A64C8")
    fur, fur_edge = hexcol("A9D9FF"), hexcol("22406E")
    ear_in = hexcol("7EB6EC")
    muzzle = hexcol("E6F5FF")
    ink = hexcol("101A2C")
    white = hexcol("FFFFFF")
    cheek = hexcol("F2A7C4")
    sign, sign_edge = hexcol("FFE45A"), hexcol("C6951C")
    red = hexcol("E02020")
    line = 3.0  # outline thickness around the bear and the sign

    # Ground: rounded square with a gentle top-to-bottom shading so it does
    # not look like a flat placeholder in a launcher.
    s.rounded_rect(0, 0, 128, 128, 24, rim)
    s.rounded_rect(3, 3, 125, 125, 21,
                   lambda x, y: mix(top_blue, bottom_blue, y / 128.0))

    # Feet peek out below the sign.
    for fx in (44, 84):
        s.ellipse(fx, 114, 12 + line, 7 + line, fur_edge)
        s.ellipse(fx, 114, 12, 7, fur)
        s.ellipse(fx, 116, 6, 3.5, ear_in)

    # Ears sit behind the head, so they go first.
    for ex in (35, 93):
        s.ellipse(ex, 19, 12 + line, 12 + line, fur_edge)
        s.ellipse(ex, 19, 12, 12, fur)
        s.ellipse(ex, 20, 6.5, 6.5, ear_in)

    # Head.  The face sits high so the sign does not cut off the muzzle.
    s.ellipse(64, 38, 35 + line, 27 + line, fur_edge)
    s.ellipse(64, 38, 35, 27, fur)
    s.ellipse(64, 48, 14, 9.5, muzzle)
    for cx in (40, 88):
        s.ellipse(cx, 47, 6, 3.6, cheek, opacity=0.85)
    for cx in (50, 78):
        s.ellipse(cx, 34, 4.2, 4.8, ink)
        s.ellipse(cx + 1.4, 32.4, 1.5, 1.5, white)
    s.ellipse(64, 43.5, 6, 4.2, ink)
    s.ellipse(62.2, 42.2, 1.6, 1.1, white, opacity=0.8)
    s.capsule(64, 46, 64, 50, 1.1, ink)
    s.arc(60.5, 49.5, 3.5, 1.1, 0.0, math.pi * 0.85, ink)
    s.arc(67.5, 49.5, 3.5, 1.1, math.pi * 0.15, math.pi, ink)

    # Sign, with a faint drop shadow so it reads as held in front.
    s.rounded_rect(12, 63, 116, 115, 7, ink, opacity=0.25)
    s.rounded_rect(12, 60, 116, 112, 7, sign_edge)
    s.rounded_rect(12 + line, 60 + line, 116 - line, 112 - line, 5, sign)

    # Lettering: "nopi" in round, heavy strokes.  Pieces of one letter
    # overlap a little: two anti-aliased edges meeting exactly on a pixel
    # boundary would leave a faint seam.
    sw = 6.5
    h = sw / 2
    top, base, desc = 83.0, 101.0, 108.0
    # n
    nl, nr = 23.0, 41.0
    s.rounded_rect(nl, top, nl + sw, base, 1.0, red)
    ar = (nr - nl - sw) / 2
    acx, acy = (nl + nr) / 2, top + h + ar
    s.arc(acx, acy, ar, h, -math.pi, 0.05, red)
    s.rounded_rect(nr - sw, acy - 1.0, nr, base, 1.0, red)

    def ring(cx, cy, rx, ry):
        def inside(x, y):
            outer = ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0
            inner = (((x - cx) / (rx - sw)) ** 2
                     + ((y - cy) / (ry - sw * 0.92)) ** 2 <= 1.0)
            return outer and not inner
        s.paint(inside, (cx - rx, cy - ry, cx + rx, cy + ry), red)
    # o
    ol, orr = 47.0, 67.0
    ring((ol + orr) / 2, (top + base) / 2, (orr - ol) / 2, (base - top) / 2)
    # p
    pl, pr = 73.0, 92.0
    ring((pl + pr) / 2 + 0.5, (top + base) / 2, (pr - pl) / 2 - 0.5,
         (base - top) / 2)
    s.rounded_rect(pl, top, pl + sw, desc, 1.0, red)
    # i
    il = 98.0
    s.rounded_rect(il, top, il + sw, base, 1.0, red)
    s.ellipse(il + h, 75.0, 4.0, 4.0, red)

    # Paws gripping the top edge of the sign, drawn last so they overlap it.
    for px in (24, 104):
        s.ellipse(px, 60, 10 + line, 7 + line, fur_edge)
        s.ellipse(px, 60, 10, 7, fur)
        for k in (-4, 0, 4):
            s.capsule(px + k, 63.5, px + k, 65.5, 0.7, fur_edge)

    write_png("nopi-128.png", s.pixels(), alpha=True)


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
    make_icon_128()


if __name__ == "__main__":
    main()
