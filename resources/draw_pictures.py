#!/usr/bin/python3
"""Draws the module's pictures into this folder: the list pictures LIST<n>,
LISTPASS<n>, LISTFAIL<n> (48 x 48, 16 colours, the number in cyan on white,
green or red), the row marks 5048, 5050 and 5051, and the icon 5049.

Standard library only. Run it again after changing a picture:
    /usr/bin/python3 resources/draw_pictures.py
The digit shapes are the same as those of platform/Resources.cpp, which
draws the pictures of lists numbered above 16 at run time.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# The 16-colour palette (VGA order), as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, RED, GREEN, YELLOW, CYAN, WHITE = 0, 9, 10, 11, 14, 15

# 5 x 7 glyphs, one string per row, '#' = ink.
GLYPHS = {
    '0': [" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "],
    '1': ["  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    '2': [" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"],
    '3': ["#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "],
    '4': ["   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "],
    '5': ["#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "],
    '6': ["  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "],
    '7': ["#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "],
    '8': [" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "],
    '9': [" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "],
    '?': [" ### ", "#   #", "    #", "   # ", "  #  ", "     ", "  #  "],
}


def blank(w, h, colour):
    return [[colour] * w for _ in range(h)]


def draw_text(pixels, text, colour, scale, cx, cy):
    """Draws text centred on (cx, cy), each glyph pixel scale x scale."""
    gap = scale
    width = len(text) * 5 * scale + (len(text) - 1) * gap
    height = 7 * scale
    x0 = cx - width // 2
    y0 = cy - height // 2
    for i, ch in enumerate(text):
        gx = x0 + i * (5 * scale + gap)
        for row, line in enumerate(GLYPHS[ch]):
            for col, cell in enumerate(line):
                if cell != '#':
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        x, y = gx + col * scale + dx, y0 + row * scale + dy
                        if 0 <= y < len(pixels) and 0 <= x < len(pixels[0]):
                            pixels[y][x] = colour


def number_scale(digits):
    return 3 if digits <= 2 else (2 if digits <= 4 else 1)


def list_picture(n, background):
    pixels = blank(48, 48, background)
    text = str(n)
    draw_text(pixels, text, CYAN, number_scale(len(text)), 24, 24)
    return pixels


def write_bmp4(path, pixels):
    """A 16-colour uncompressed BMP."""
    h, w = len(pixels), len(pixels[0])
    row_bytes = ((w * 4 + 31) // 32) * 4
    body = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(0, w, 2):
            hi = pixels[y][x]
            lo = pixels[y][x + 1] if x + 1 < w else 0
            row.append((hi << 4) | lo)
        row += b'\0' * (row_bytes - len(row))
        body += row
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(body), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 4, 0, len(body), 2835, 2835, 16, 16)
    with open(path, 'wb') as f:
        f.write(header + info + palette + body)


def write_png(path, rgba_rows):
    """An RGBA PNG."""
    h, w = len(rgba_rows), len(rgba_rows[0])
    raw = b''.join(b'\0' + b''.join(struct.pack('BBBB', *px) for px in row) for row in rgba_rows)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')
    with open(path, 'wb') as f:
        f.write(png)


def thick_line(pixels, x0, y0, x1, y1, colour):
    steps = max(abs(x1 - x0), abs(y1 - y0))
    for i in range(steps + 1):
        x = x0 + (x1 - x0) * i // steps
        y = y0 + (y1 - y0) * i // steps
        for dx in (0, 1):
            for dy in (0, 1):
                if 0 <= y + dy < len(pixels) and 0 <= x + dx < len(pixels[0]):
                    pixels[y + dy][x + dx] = colour


def fail_mark():
    pixels = blank(16, 16, YELLOW)
    thick_line(pixels, 3, 3, 11, 11, BLACK)
    thick_line(pixels, 11, 3, 3, 11, BLACK)
    return pixels


def pass_mark():
    pixels = blank(16, 16, GREEN)
    thick_line(pixels, 2, 8, 5, 11, BLACK)
    thick_line(pixels, 5, 11, 12, 3, BLACK)
    return pixels


def other_mark():
    # Three 16 x 16 images side by side; red is the transparent colour, so the
    # first (the only one used) is empty.
    pixels = blank(48, 48, RED)
    draw_text(pixels, '?', BLACK, 2, 24, 24)
    return pixels


def icon():
    rows = []
    for y in range(32):
        row = []
        for x in range(32):
            if 2 <= x <= 29 and 3 <= y <= 22:
                inner = 4 <= x <= 27 and 5 <= y <= 20
                row.append((0, 160, 255, 255) if inner else (64, 64, 64, 255))
            elif 13 <= x <= 18 and 23 <= y <= 26:
                row.append((64, 64, 64, 255))
            elif 8 <= x <= 23 and 27 <= y <= 28:
                row.append((64, 64, 64, 255))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    # A green tick on the screen.
    for i in range(4):
        for t in range(2):
            rows[13 + i][9 + i + t] = (0, 255, 0, 255)
    for i in range(9):
        for t in range(2):
            rows[16 - i][12 + i + t] = (0, 255, 0, 255)
    return rows


def main():
    out = os.path.join(HERE, 'pictures')
    os.makedirs(out, exist_ok=True)
    for n in range(0, 17):
        write_bmp4(os.path.join(out, 'LIST%d.bmp' % n), list_picture(n, WHITE))
        write_bmp4(os.path.join(out, 'LISTFAIL%d.bmp' % n), list_picture(n, RED))
        if n >= 1:
            write_bmp4(os.path.join(out, 'LISTPASS%d.bmp' % n), list_picture(n, GREEN))
    write_bmp4(os.path.join(out, '5048.bmp'), fail_mark())
    write_bmp4(os.path.join(out, '5050.bmp'), pass_mark())
    write_bmp4(os.path.join(out, '5051.bmp'), other_mark())
    write_png(os.path.join(out, '5049.png'), icon())

    names = sorted(os.listdir(out))
    with open(os.path.join(HERE, 'pictures.qrc'), 'w') as f:
        f.write('<!DOCTYPE RCC>\n<RCC version="1.0">\n<qresource prefix="/monitor">\n')
        for name in names:
            f.write('  <file alias="%s">pictures/%s</file>\n' % (name, name))
        f.write('</qresource>\n</RCC>\n')


if __name__ == '__main__':
    main()
