#!/usr/bin/env python3
"""Draws the toolbar module's bitmaps: 16x16 (the grip 15x24, the chevron 16x16 on white),
24-bit BMP, magenta (0xFF00FF) where transparent. Run it to regenerate resources/bitmaps."""
import os
import struct

MAGENTA = (255, 0, 255)
WHITE = (255, 255, 255)
HERE = os.path.dirname(os.path.abspath(__file__))


def write_bmp(path, pixels):
    height, width = len(pixels), len(pixels[0])
    row_size = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (row_size - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def canvas(width=16, height=16, fill=MAGENTA):
    return [[fill for _ in range(width)] for _ in range(height)]


def rect(p, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            p[y][x] = colour


def disc(p, cx, cy, radius, colour):
    for y in range(len(p)):
        for x in range(len(p[0])):
            if (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius:
                p[y][x] = colour


def ring(p, cx, cy, radius, colour):
    for y in range(len(p)):
        for x in range(len(p[0])):
            d = (x - cx) ** 2 + (y - cy) ** 2
            if (radius - 1.2) ** 2 <= d <= radius * radius:
                p[y][x] = colour


def line(p, x0, y0, x1, y1, colour):
    steps = max(abs(x1 - x0), abs(y1 - y0), 1)
    for i in range(steps + 1):
        x = round(x0 + (x1 - x0) * i / steps)
        y = round(y0 + (y1 - y0) * i / steps)
        p[y][x] = colour


def magnifier(colour):
    p = canvas()
    ring(p, 6, 6, 5, colour)
    line(p, 10, 10, 14, 14, colour)
    line(p, 10, 11, 13, 14, colour)
    return p


def page(colour, mark):
    p = canvas()
    rect(p, 3, 1, 12, 14, (250, 250, 250))
    for x in range(3, 13):
        p[1][x] = p[14][x] = (90, 90, 90)
    for y in range(1, 15):
        p[y][3] = p[y][12] = (90, 90, 90)
    for y in (4, 7, 10):
        rect(p, 5, y, 10, y, mark)
    rect(p, 5, 12, 8, 12, colour)
    return p


def grip():
    p = canvas(15, 24)
    for y in range(5, 20, 3):
        for x in (5, 9):
            p[y][x] = (120, 120, 120)
            p[y + 1][x + 1] = (255, 255, 255)
    return p


def chevron():
    p = canvas(fill=WHITE)
    for i in range(4):
        line(p, 4 + i, 4 + i, 4 + i, 4 + i, (0, 0, 0))
        line(p, 4 + i, 11 - i, 4 + i, 11 - i, (0, 0, 0))
        line(p, 9 + i, 4 + i, 9 + i, 4 + i, (0, 0, 0))
        line(p, 9 + i, 11 - i, 9 + i, 11 - i, (0, 0, 0))
    return p


def coloured_disc(colour, inner=None):
    p = canvas()
    disc(p, 7.5, 7.5, 7, colour)
    if inner:
        disc(p, 7.5, 7.5, 3, inner)
    return p


DRAWINGS = {
    213: grip,
    226: lambda: coloured_disc((96, 96, 96), (220, 220, 220)),     # settings
    228: chevron,
    230: lambda: page((0, 120, 215), (160, 160, 160)),              # options
    233: lambda: coloured_disc((0, 120, 215), (255, 255, 255)),     # help
    235: lambda: magnifier((0, 90, 180)),                           # search
    236: lambda: magnifier((0, 150, 60)),                           # web search
    238: lambda: magnifier((200, 120, 0)),                          # image search
    239: lambda: magnifier((150, 0, 150)),                          # blog search
    240: lambda: page((200, 0, 0), (0, 90, 180)),                   # translation
    241: lambda: page((0, 120, 0), (60, 60, 60)),                    # dictionary
    242: lambda: page((255, 200, 0), (255, 200, 0)),                # highlight
    244: lambda: page((190, 190, 190), (210, 210, 210)),            # highlight, disabled
    245: lambda: magnifier((60, 60, 60)),                           # find in page
    246: lambda: magnifier((190, 190, 190)),                        # find in page, disabled
    247: lambda: coloured_disc((0, 120, 215), (0, 170, 80)),        # web page translation
    248: lambda: coloured_disc((220, 30, 60), (255, 220, 0)),       # banner
    249: lambda: page((0, 0, 0), (120, 120, 120)),                  # news
    251: lambda: coloured_disc((200, 0, 0)),
    252: lambda: coloured_disc((0, 120, 215)),
    253: lambda: coloured_disc((0, 150, 60)),
    254: lambda: coloured_disc((255, 170, 0), (255, 230, 120)),     # weather
    255: lambda: coloured_disc((230, 90, 0), (255, 255, 255)),      # shopping
    256: lambda: coloured_disc((0, 160, 160), (200, 40, 40)),       # maps
    257: lambda: coloured_disc((120, 60, 200)),
    258: lambda: coloured_disc((90, 90, 90)),
    259: lambda: coloured_disc((0, 0, 0), (255, 255, 255)),
}

if __name__ == "__main__":
    out = os.path.join(HERE, "bitmaps")
    os.makedirs(out, exist_ok=True)
    for identifier, draw in DRAWINGS.items():
        write_bmp(os.path.join(out, f"{identifier}.bmp"), draw())
