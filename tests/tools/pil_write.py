"""Writes a BMP file with Pillow (an independent writer): pil_write.py OUT MODE
WIDTH HEIGHT [topdown], pixel k of the picture being (k, 2k+1, 255-k) mod 256
in RGB mode and k mod 256 in L mode."""
import struct
import sys

from PIL import Image

out, mode, width, height = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
image = Image.new(mode, (width, height))
if mode == "RGB":
    image.putdata([(k % 256, (2 * k + 1) % 256, (255 - k) % 256) for k in range(width * height)])
else:
    image.putdata([k % 256 for k in range(width * height)])
image.save(out, "BMP")
if len(sys.argv) > 5:  # rewrite as top-down: negative HEIGHT, rows in picture order
    with open(out, "rb") as f:
        data = bytearray(f.read())
    offset = struct.unpack_from("<I", data, 10)[0]
    row = (width * (3 if mode == "RGB" else 1) + 3) // 4 * 4
    rows = [data[offset + i * row: offset + (i + 1) * row] for i in range(height)]
    data[offset:] = b"".join(reversed(rows))
    struct.pack_into("<i", data, 22, -height)
    with open(out, "wb") as f:
        f.write(data)
