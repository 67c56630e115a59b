#!/usr/bin/env python3
"""Makes logo.bmp, the About box's logo: the product name in white, outlined in black, over a grey
ramp that runs from near (white, left) to far (black, right), as the filter draws depth.

The bitmap is 130 x 32 pixels, 8 bits a pixel with a 256-entry grey colour table, uncompressed,
rows bottom-up behind a 40-byte header: 5288 bytes, as the About box's static control expects.
ImageMagick rasterises the text (DejaVu Sans Bold); everything else is done here.

    python3 ui/make_logo.py [output]     (default: logo.bmp beside this script)
"""
import os
import struct
import subprocess
import sys

WIDTH, HEIGHT = 130, 32
ROW_BYTES = (WIDTH + 3) // 4 * 4
NAME = "Deepglass"
FONT = "DejaVu-Sans-Bold"
POINT_SIZE = 20
NEAR, FAR = 232, 20  # grey levels at the left and right ends of the ramp


def text_coverage():
    """The name's coverage, 0..255 a pixel, rows top-down, centred in the logo."""
    raw = subprocess.run(
        ["convert", "-size", f"{WIDTH}x{HEIGHT}", "xc:black", "-font", FONT, "-pointsize", str(POINT_SIZE),
         "-fill", "white", "-gravity", "center", "-annotate", "+0+0", NAME, "-depth", "8", "gray:-"],
        check=True, capture_output=True).stdout
    if len(raw) != WIDTH * HEIGHT:
        sys.exit(f"ImageMagick gave {len(raw)} bytes, not {WIDTH * HEIGHT}")
    return [[raw[y * WIDTH + x] / 255.0 for x in range(WIDTH)] for y in range(HEIGHT)]


def outline(coverage):
    """A soft outline: the strongest coverage within one pixel, diagonals weaker."""
    result = [[0.0] * WIDTH for _ in range(HEIGHT)]
    for y in range(HEIGHT):
        for x in range(WIDTH):
            best = 0.0
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    u, v = x + dx, y + dy
                    if 0 <= u < WIDTH and 0 <= v < HEIGHT:
                        weight = 0.7 if dx and dy else 1.0
                        best = max(best, coverage[v][u] * weight)
            result[y][x] = best
    return result


def grey_levels():
    fill = text_coverage()
    edge = outline(fill)
    rows = []
    for y in range(HEIGHT):
        row = []
        for x in range(WIDTH):
            level = NEAR + (FAR - NEAR) * x / (WIDTH - 1)
            level *= 1.0 - edge[y][x]                       # black outline
            level += (255.0 - level) * fill[y][x]           # white letters
            row.append(max(0, min(255, int(level + 0.5))))
        rows.append(row)
    return rows


def bitmap_bytes(rows):
    palette = b"".join(struct.pack("<BBBB", g, g, g, 0) for g in range(256))
    pixels = b"".join(bytes(row) + bytes(ROW_BYTES - WIDTH) for row in reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    return header + palette + pixels


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "logo.bmp")
    dib = bitmap_bytes(grey_levels())
    assert len(dib) == 5288, len(dib)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(dib), 0, 0, 14 + 40 + 1024)
    with open(output, "wb") as out:
        out.write(file_header + dib)


if __name__ == "__main__":
    main()
