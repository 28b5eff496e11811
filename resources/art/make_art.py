#!/usr/bin/env python3
"""Draws Tarnlow's small pixel artwork and writes it as PNG files.

The icons and the transfer clip are drawn here rather than kept only as
binaries, so they can be changed and redrawn: python3 art/make_art.py
"""
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


if __name__ == "__main__":
    png("document.png", document())
    png("folder.png", folder())
    png("tarnlow.png", program_icon())
    png("title.png", title())
    for i in range(8):
        png("transfer%d.png" % i, transfer_frame(i))
