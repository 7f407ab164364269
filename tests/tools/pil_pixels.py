"""Prints an image as Pillow decodes it: mode, width, height, then one line of
space-separated samples per row, top row first (an independent reader)."""
import sys

from PIL import Image

with Image.open(sys.argv[1]) as image:
    if image.mode not in ("L", "P", "RGB"):
        image = image.convert("RGB")
    width, height = image.size
    print(image.mode, width, height)
    data = list(image.getdata())
    for row in range(height):
        samples = []
        for pixel in data[row * width:(row + 1) * width]:
            samples.extend(pixel if isinstance(pixel, tuple) else (pixel,))
        print(" ".join(str(s) for s in samples))
