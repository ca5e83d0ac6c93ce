#!/usr/bin/env python3
"""bitmap_sheet.py [OUTPUT.png]: a picture of every bitmap of the toolbar module with its
identifier, for docs/agents.md. Reads the identifiers from resources/bitmaps.rc and the images
from resources/bitmaps; draws with ImageMagick (convert, montage). Magenta, the transparent
colour of the bitmaps, is shown as a light grey checkerboard."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "docs", "images", "bitmaps.png")
    for tool in ("convert", "montage"):
        if not shutil.which(tool):
            sys.exit(f"bitmap_sheet.py: ImageMagick's {tool} is not installed")
    with open(os.path.join(ROOT, "resources", "bitmaps.rc"), encoding="utf-8") as f:
        ids = [m.group(1) for m in re.finditer(r"^(\d+)\s+BITMAP", f.read(), re.M)]
    os.makedirs(os.path.dirname(out), exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        tiles = []
        for ident in ids:
            tile = os.path.join(tmp, f"{ident}.png")
            # Four times larger, pixels kept square; transparent magenta over a checkerboard.
            subprocess.run(
                ["convert", "-size", "64x96", "pattern:checkerboard", "-fill", "#f4f4f4",
                 "-colorize", "70%", "(", os.path.join(ROOT, "resources", "bitmaps", f"{ident}.bmp"),
                 "-transparent", "#ff00ff", "-filter", "point", "-resize", "400%", ")",
                 "-gravity", "center", "-composite", "-crop", "64x96+0+0", "+repage", tile],
                check=True)
            tiles.append(tile)
        labelled = []
        for ident, tile in zip(ids, tiles):
            labelled += ["-label", ident, tile]
        subprocess.run(["montage", *labelled, "-tile", "9x", "-geometry", "+8+6",
                        "-font", "DejaVu-Sans", "-pointsize", "14", "-background", "white", "-depth", "8", out], check=True)
    print(out)


if __name__ == "__main__":
    main()
