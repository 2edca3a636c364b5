#!/usr/bin/env python3
"""Draws the installer's logo bitmap (QOR_L.bmp, 229 x 113, 8 bits per pixel run-length coded, 256-colour table)
and its icon (G_ICON.ico, 32 x 32, 16 colours). Standard library only; the output is
deterministic, so the checked-in files can be compared with a fresh run (--check)."""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

WHITE = (255, 255, 255)
INK = (24, 48, 96)          # dark blue of the lettering
ACCENT = (0, 120, 200)      # arrow and underline
BOX_TOP = (250, 204, 120)
BOX_LEFT = (222, 150, 60)
BOX_RIGHT = (180, 110, 40)
BOX_EDGE = (110, 64, 20)

# 5 x 7 glyphs (two more rows for descenders), '#' = ink. Only the letters the logo uses.
GLYPHS = {
    'Q': [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    'I': ["###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"],
    'L': ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    'a': [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    'e': [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    'f': ["..##.", ".#...", "####.", ".#...", ".#...", ".#...", ".#..."],
    'i': [".#.", "...", "##.", ".#.", ".#.", ".#.", "###"],
    'l': ["##.", ".#.", ".#.", ".#.", ".#.", ".#.", "###"],
    'm': [".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"],
    'n': [".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#"],
    'o': [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    'p': [".....", ".....", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."],
    'q': [".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", "....#"],
    'r': [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    's': [".....", ".....", ".####", "#....", ".###.", "....#", "####."],
    't': [".#...", ".#...", "####.", ".#...", ".#...", ".#..#", "..##."],
    'u': [".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"],
    ' ': ["...", "...", "...", "...", "...", "...", "..."],
}


class Canvas:
    """RGB drawing surface with coverage-weighted (supersampled) shapes."""

    def __init__(self, width, height, background, samples=4):
        self.width, self.height, self.samples = width, height, samples
        self.pixels = [[background] * width for _ in range(height)]
        self.cover = [[0.0] * width for _ in range(height)]

    def blend(self, x, y, colour, amount):
        if 0 <= x < self.width and 0 <= y < self.height and amount > 0:
            old = self.pixels[y][x]
            self.pixels[y][x] = tuple(round(o + (c - o) * amount) for o, c in zip(old, colour))
            self.cover[y][x] = min(1.0, self.cover[y][x] + amount)

    def polygon(self, points, colour):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        n = self.samples
        for y in range(max(0, int(min(ys))), min(self.height, int(max(ys)) + 1)):
            for x in range(max(0, int(min(xs))), min(self.width, int(max(xs)) + 1)):
                hits = sum(inside(points, x + (i + 0.5) / n, y + (j + 0.5) / n)
                           for i in range(n) for j in range(n))
                self.blend(x, y, colour, hits / (n * n))

    def rect(self, x, y, w, h, colour):
        self.polygon([(x, y), (x + w, y), (x + w, y + h), (x, y + h)], colour)

    def text(self, x, y, string, scale, colour, spacing=1):
        for ch in string:
            glyph = GLYPHS[ch]
            for row, line in enumerate(glyph):
                for col, mark in enumerate(line):
                    if mark == '#':
                        self.rect(x + col * scale, y + row * scale, scale, scale, colour)
            x += (len(glyph[0]) + spacing) * scale

    @staticmethod
    def text_width(string, scale, spacing=1):
        return sum((len(GLYPHS[ch][0]) + spacing) * scale for ch in string) - spacing * scale


def inside(points, x, y):
    result = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


BOX_COLOURS = (BOX_TOP, BOX_LEFT, BOX_RIGHT, BOX_EDGE, ACCENT)
# The icon keeps to the 16 standard colours, so its parcel is drawn in them directly.
ICON_COLOURS = ((0, 255, 255), (0, 128, 128), (0, 0, 128), (0, 0, 0), (255, 0, 0))


def draw_box(canvas, cx, top, edge, colours):
    """A parcel seen from above-front, with an arrow dropping into it."""
    top_colour, left_colour, right_colour, seam_colour, arrow_colour = colours
    h = edge * 0.5
    t = [(cx, top), (cx + edge, top + h), (cx, top + 2 * h), (cx - edge, top + h)]
    depth = edge * 1.05
    left = [t[3], t[2], (t[2][0], t[2][1] + depth), (t[3][0], t[3][1] + depth)]
    right = [t[2], t[1], (t[1][0], t[1][1] + depth), (t[2][0], t[2][1] + depth)]
    canvas.polygon(t, top_colour)
    canvas.polygon(left, left_colour)
    canvas.polygon(right, right_colour)
    seam = edge * 0.08
    canvas.polygon([(cx - seam, top + 2 * h), (cx + seam, top + 2 * h),
                    (cx + seam, top + 2 * h + depth), (cx - seam, top + 2 * h + depth)], seam_colour)
    w = edge * 0.28
    tip = top + 1.6 * h
    shaft_top = top - edge * 0.9
    head = tip - edge * 0.55
    canvas.polygon([(cx - w / 2, shaft_top), (cx + w / 2, shaft_top), (cx + w / 2, head),
                    (cx + w * 1.3, head), (cx, tip), (cx - w * 1.3, head), (cx - w / 2, head)],
                   arrow_colour)


def draw_logo():
    c = Canvas(229, 113, WHITE)
    draw_box(c, 46, 34, 34, BOX_COLOURS)
    x0 = 96
    c.text(x0, 14, "Quorel", 3, INK)
    c.rect(x0, 40, Canvas.text_width("Quorel", 3), 3, ACCENT)
    c.text(x0, 50, "Informatique", 1, INK)
    c.text(x0, 66, "Loftsetup", 2, INK)
    c.rect(0, 104, 229, 9, ACCENT)
    return c


def draw_icon():
    c = Canvas(32, 32, (0, 0, 0), samples=1)
    draw_box(c, 16, 9, 13, ICON_COLOURS)
    return c


def build_palette(canvas):
    """Up to 256 colours: the most frequent ones, then nearest-colour mapping for the rest."""
    counts = {}
    for row in canvas.pixels:
        for p in row:
            counts[p] = counts.get(p, 0) + 1
    palette = sorted(counts, key=lambda p: (-counts[p], p))[:256]
    while len(palette) < 256:
        palette.append((0, 0, 0))
    return palette


def nearest(palette, colour, cache):
    if colour not in cache:
        cache[colour] = min(range(len(palette)),
                            key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))
    return cache[colour]


BI_RLE8 = 1


def rle8_line(line):
    """One row in BI_RLE8: runs of one index as (count, index), stretches of at least three
    differing indices as an absolute block (0, count, indices, padded to a word), shorter ones
    as runs of one; the row ends with (0, 0)."""
    out = bytearray()
    literal = bytearray()

    def flush():
        for start in range(0, len(literal), 255):
            chunk = literal[start:start + 255]
            if len(chunk) < 3:
                for index in chunk:
                    out.extend((1, index))
            else:
                out.extend((0, len(chunk)))
                out.extend(chunk)
                out.extend(b"\0" * (len(chunk) & 1))
        literal.clear()

    i = 0
    while i < len(line):
        j = i
        while j < len(line) and line[j] == line[i] and j - i < 255:
            j += 1
        if j - i >= 3 or (j - i == 2 and not literal):
            flush()
            out.extend((j - i, line[i]))
        else:
            literal.extend(line[i:j])
        i = j
    flush()
    return bytes(out) + b"\0\0"


def bmp_bytes(canvas):
    """The logo run-length coded (BI_RLE8): a quarter of the size of the plain rows, still 8 bits
    per pixel and 256 colours, read by the system's bitmap loaders."""
    palette = build_palette(canvas)
    cache = {}
    rows = b""
    for y in range(canvas.height - 1, -1, -1):
        rows += rle8_line(bytes(nearest(palette, p, cache) for p in canvas.pixels[y]))
    rows += b"\0\1"
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 8, BI_RLE8,
                       len(rows), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return header + info + table + rows


# The 16 colours of the standard VGA palette, as icon painters expect them.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def ico_bytes(canvas):
    size = canvas.width
    cache = {}
    xor = b""
    mask = b""
    for y in range(size - 1, -1, -1):
        indices = []
        bits = 0
        for x in range(size):
            opaque = canvas.cover[y][x] >= 0.5
            indices.append(nearest(VGA16, canvas.pixels[y][x], cache) if opaque else 0)
            bits = (bits << 1) | (0 if opaque else 1)
        xor += bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        mask += struct.pack(">I", bits)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA16)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask),
                       0, 0, 16, 0)
    image = info + table + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    outputs = {"QOR_L.bmp": bmp_bytes(draw_logo()), "G_ICON.ico": ico_bytes(draw_icon())}
    check = "--check" in sys.argv[1:]
    stale = []
    for name, data in outputs.items():
        path = os.path.join(HERE, name)
        if check:
            with open(path, "rb") as f:
                if f.read() != data:
                    stale.append(name)
        else:
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        print("out of date: " + ", ".join(stale) + " (run resources/make_images.py)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
