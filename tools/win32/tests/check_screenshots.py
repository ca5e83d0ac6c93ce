#!/usr/bin/env python3
"""check_screenshots.py DIR: the pictures that scripts/screenshots.in makes are real PNG files of
the toolbar: of the sizes the session gives (the toolbar 1200 pixels wide and 24 high; a menu or
the drop-down below it), drawn (many colours, the captions' dark pixels on the toolbar), and the
popups present where the session opened one."""
import subprocess
import sys
from pathlib import Path


def read_png(path):
    """(width, height, rows of (r, g, b) tuples) of a PNG file, read by ImageMagick: a reader we
    did not write, so a file it does not take as PNG fails the check."""
    described = subprocess.run(["identify", "-format", "%m %w %h", str(path)],
                               capture_output=True, text=True)
    words = described.stdout.split()
    if described.returncode != 0 or len(words) != 3 or words[0] != "PNG":
        raise ValueError(f"{path}: not a PNG file ({described.stderr.strip()})")
    width, height = int(words[1]), int(words[2])
    data = subprocess.run(["convert", str(path), "-depth", "8", "rgb:-"],
                          capture_output=True, check=True).stdout
    if len(data) != width * height * 3:
        raise ValueError(f"{path}: {len(data)} bytes of pixels for {width}x{height}")
    rows = [[tuple(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]
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
        except (OSError, ValueError, subprocess.CalledProcessError) as error:
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
