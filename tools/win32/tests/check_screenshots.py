#!/usr/bin/env python3
"""check_screenshots.py DIR: the pictures that scripts/screenshots.in makes are real PNG files of
the toolbar: of the sizes the session gives (the toolbar 1200 pixels wide and 24 high; a menu or
the drop-down below it), drawn (many colours, the captions' dark pixels on the toolbar), and the
popups present where the session opened one."""
import struct
import sys
import zlib
from pathlib import Path


def read_png(path):
    """(width, height, rows of (r, g, b) tuples) of an 8-bit RGB or RGBA PNG without interlace."""
    data = path.read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if zlib.crc32(kind + body) != struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])[0]:
            raise ValueError(f"{path}: bad CRC in {kind!r}")
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError(f"{path}: unexpected format {header}")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                pred = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[i] = (line[i] + pred) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def dark_pixels(rows, top, bottom, left, right):
    return sum(1 for row in rows[top:bottom] for r, g, b in row[left:right] if r + g + b < 200)


def main():
    folder = Path(sys.argv[1])
    problems = []
    pictures = {}
    for name in ("toolbar", "search-dropdown", "agent-menu", "toolbar-narrow"):
        try:
            pictures[name] = read_png(folder / f"{name}.png")
        except (OSError, ValueError, TypeError) as error:
            problems.append(f"{name}.png: {error}")
    if problems:
        print("\n".join(problems))
        return 1

    def expect(condition, message):
        if not condition:
            problems.append(message)

    width, height, rows = pictures["toolbar"]
    expect((width, height) == (1200, 24), f"toolbar.png is {width}x{height}, not 1200x24")
    colours = {pixel for row in rows for pixel in row}
    expect(len(colours) > 10, f"toolbar.png has only {len(colours)} colours")
    # Captions and images all along the toolbar, not only at its left end.
    for left in range(200, 1100, 300):
        expect(dark_pixels(rows, 0, 24, left, left + 300) > 30,
               f"toolbar.png: nothing drawn between x={left} and {left + 300}")

    for name in ("search-dropdown", "agent-menu"):
        width, height, rows = pictures[name]
        expect(width == 1200 and height > 24 + 20,
               f"{name}.png is {width}x{height}: no popup below the toolbar")
        if height > 24:
            expect(dark_pixels(rows, 24, height, 0, width) > 30,
                   f"{name}.png: the popup below the toolbar is empty")
    width, height, rows = pictures["toolbar-narrow"]
    expect(width >= 560 and height > 24 + 20,
           f"toolbar-narrow.png is {width}x{height}: no chevron menu below a 560-pixel toolbar")
    # Outside the toolbar and its popups the picture is the window colour, not the bare screen.
    expect(rows[height - 1][0] != (0, 0, 0), "toolbar-narrow.png shows the bare screen")

    print("\n".join(problems) if problems else "screenshots checked: 4 pictures")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
