#!/usr/bin/env python3
"""Assembles an .icns file from an iconset folder with Pillow, for builds
without Apple's iconutil:  make-icns.py <folder>.iconset <file>.icns

Pillow writes the PNG-based types from 32 to 1024 pixels, Retina ones
included; it has no type for the 16-pixel image, which the iconset still
holds for iconutil."""
import pathlib
import sys

from PIL import Image


def main(iconset: pathlib.Path, output: pathlib.Path) -> None:
    by_width = {}
    for png in sorted(iconset.glob("icon_*.png")):
        image = Image.open(png)
        image.load()
        by_width.setdefault(image.width, image)
    if not by_width:
        sys.exit(f"make-icns.py: no icon_*.png in {iconset}")
    largest = max(by_width)
    others = [image for width, image in by_width.items() if width != largest]
    by_width[largest].save(output, format="ICNS", append_images=others)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: make-icns.py <folder>.iconset <file>.icns")
    main(pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]))
