#!/usr/bin/env python3
"""Draws Tarnlow's small pixel artwork and writes it as PNG files.

The icons and the transfer clip are drawn here rather than kept only as
binaries, so they can be changed and redrawn: python3 art/make_art.py

It also writes the program's icon for the desktop's menu (the hicolor icon
theme): drawn from shapes rather than pixels, as PNG files at the usual sizes
and as one SVG file, under icons/hicolor/.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.dirname(HERE)


def png(path, pixels):
    height = len(pixels)
    width = len(pixels[0])
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(os.path.join(OUT, path), "wb") as f:
        f.write(data)


def canvas(w, h):
    return [[(0, 0, 0, 0) for _ in range(w)] for _ in range(h)]


def rect(img, x0, y0, x1, y1, color):
    for y in range(max(0, y0), min(len(img), y1 + 1)):
        for x in range(max(0, x0), min(len(img[0]), x1 + 1)):
            img[y][x] = color


def frame(img, x0, y0, x1, y1, color):
    rect(img, x0, y0, x1, y0, color)
    rect(img, x0, y1, x1, y1, color)
    rect(img, x0, y0, x0, y1, color)
    rect(img, x1, y0, x1, y1, color)


INK = (40, 40, 48, 255)
PAPER = (250, 250, 250, 255)
FOLD = (200, 200, 210, 255)
YELLOW = (240, 200, 80, 255)
DARK_YELLOW = (190, 140, 40, 255)
BLUE = (50, 100, 200, 255)
LIGHT_BLUE = (140, 180, 240, 255)
GREEN = (40, 160, 80, 255)


def document(size=16):
    img = canvas(size, size)
    rect(img, 3, 1, 12, 14, PAPER)
    frame(img, 3, 1, 12, 14, INK)
    rect(img, 10, 1, 12, 3, (0, 0, 0, 0))
    rect(img, 9, 1, 9, 4, INK)
    rect(img, 9, 4, 12, 4, INK)
    rect(img, 10, 2, 10, 2, INK)
    rect(img, 11, 3, 11, 3, INK)
    rect(img, 10, 3, 10, 3, FOLD)
    for y in (6, 8, 10, 12):
        rect(img, 5, y, 10, y, FOLD)
    return img


def folder(size=16):
    img = canvas(size, size)
    rect(img, 1, 3, 6, 4, DARK_YELLOW)
    rect(img, 1, 5, 14, 13, YELLOW)
    frame(img, 1, 5, 14, 13, DARK_YELLOW)
    rect(img, 2, 6, 13, 6, (250, 225, 140, 255))
    return img


def program_icon(size=32):
    img = canvas(size, size)
    rect(img, 2, 2, 29, 29, BLUE)
    frame(img, 2, 2, 29, 29, INK)
    # An upward arrow over a tray: files going up to a server.
    rect(img, 14, 7, 17, 20, PAPER)
    for i in range(6):
        rect(img, 10 + i, 12 - i, 21 - i, 12 - i, PAPER)
    rect(img, 7, 23, 24, 25, LIGHT_BLUE)
    return img


def title():
    # "TARNLOW" in a 5x7 pixel font, on a 90 x 24 strip.
    glyphs = {
        "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
        "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
        "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
        "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
        "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
        "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
        "W": ["10001", "10001", "10001", "10101", "10101", "11011", "10001"],
    }
    img = canvas(90, 24)
    x = 3
    for ch in "TARNLOW":
        for gy, row in enumerate(glyphs[ch]):
            for gx, bit in enumerate(row):
                if bit == "1":
                    rect(img, x + gx * 2, 4 + gy * 2, x + gx * 2 + 1, 4 + gy * 2 + 1, BLUE)
        x += 12
    return img


def transfer_frame(n):
    # 16 x 20: a page rising from a tray towards a cloud, one step a frame.
    img = canvas(16, 20)
    rect(img, 3, 1, 12, 3, LIGHT_BLUE)
    rect(img, 5, 0, 10, 0, LIGHT_BLUE)
    rect(img, 2, 17, 13, 19, FOLD)
    frame(img, 2, 17, 13, 19, INK)
    y = 13 - (n * 10) // 7
    rect(img, 5, y, 10, y + 4, PAPER)
    frame(img, 5, y, 10, y + 4, INK)
    rect(img, 7, y + 2, 8, y + 2, GREEN)
    return img


# The desktop icon: the program icon's design as shapes on a 32 x 32 grid, so
# it can be drawn at any size. Painted in order, each over the ones before.
# Rectangles snap to whole pixels; the "inset" one is the rectangle before it
# less a border of one grid unit, at least one pixel, so the frame stays sharp
# and visible at 16 and 24 pixels.
ICON_SHAPES = [
    ("rect", (2, 2, 30, 30), INK),
    ("inset", 1, BLUE),
    ("rect", (14, 12, 18, 21), PAPER),
    ("polygon", ((9.5, 13), (16, 6.5), (22.5, 13)), PAPER),
    ("rect", (7, 23, 25, 26), LIGHT_BLUE),
]
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
# The desktop finds the icon by the application's id, as it finds its entry.
APP_ID = "io.github.tarnlow.Tarnlow"


def icon_shapes_at(size):
    """ICON_SHAPES in pixels of a size x size icon: (kind, geometry, color)."""
    scale = size / 32.0

    def snap(v):
        return math.floor(v * scale + 0.5)

    shapes = []
    for kind, geometry, color in ICON_SHAPES:
        if kind == "rect":
            shapes.append(("rect", tuple(snap(v) for v in geometry), color))
        elif kind == "inset":
            border = max(1, snap(geometry))
            x0, y0, x1, y1 = shapes[-1][1]
            shapes.append(("rect", (x0 + border, y0 + border, x1 - border, y1 - border), color))
        else:
            shapes.append(("polygon", tuple((x * scale, y * scale) for x, y in geometry), color))
    return shapes


def inside(shape, x, y):
    kind, geometry, _ = shape
    if kind == "rect":
        x0, y0, x1, y1 = geometry
        return x0 <= x < x1 and y0 <= y < y1
    # A convex polygon, its points in clockwise order on screen (y down).
    points = geometry
    for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
        if (bx - ax) * (y - ay) - (by - ay) * (x - ax) < 0:
            return False
    return True


def icon_pixels(size, samples=4):
    """The icon at size x size pixels, each pixel the mean of samples^2 points."""
    shapes = icon_shapes_at(size)
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = px + (sx + 0.5) / samples
                    y = py + (sy + 0.5) / samples
                    color = None
                    for shape in shapes:
                        if inside(shape, x, y):
                            color = shape[2]
                    if color is not None:
                        r, g, b, a = r + color[0], g + color[1], b + color[2], a + 1
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / (samples * samples))))
        pixels.append(row)
    return pixels


def icon_svg():
    def fill(color):
        return "#%02x%02x%02x" % color[:3]

    lines = ['<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32" stroke="none">']
    outer = None
    for kind, geometry, color in ICON_SHAPES:
        if kind == "inset":
            kind, geometry = "rect", tuple(v + d for v, d in zip(outer, (geometry, geometry, -geometry, -geometry)))
        if kind == "rect":
            outer = geometry
            x0, y0, x1, y1 = geometry
            rect_text = '  <rect x="%g" y="%g" width="%g" height="%g" fill="%s"/>'
            lines.append(rect_text % (x0, y0, x1 - x0, y1 - y0, fill(color)))
        else:
            points = " ".join("%g,%g" % p for p in geometry)
            lines.append('  <polygon points="%s" fill="%s"/>' % (points, fill(color)))
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def desktop_icons():
    for size in ICON_SIZES:
        folder = os.path.join("icons", "hicolor", "%dx%d" % (size, size), "apps")
        os.makedirs(os.path.join(OUT, folder), exist_ok=True)
        png(os.path.join(folder, APP_ID + ".png"), icon_pixels(size))
    folder = os.path.join(OUT, "icons", "hicolor", "scalable", "apps")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, APP_ID + ".svg"), "w") as f:
        f.write(icon_svg())


if __name__ == "__main__":
    png("document.png", document())
    png("folder.png", folder())
    png("tarnlow.png", program_icon())
    png("title.png", title())
    for i in range(8):
        png("transfer%d.png" % i, transfer_frame(i))
    desktop_icons()
