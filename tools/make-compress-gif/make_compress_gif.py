#!/usr/bin/env python3
"""Draws the busy animation shown while the encoders run: a ring of dots with
one bright dot going round and a fading tail behind it. Writes data/compress.gif.

Usage: make_compress_gif.py [output path]

The file is written by hand (no imaging library): a 32-colour global table
followed directly by a looping extension, so the first frame's extension comes
right after the end of a block, as the animation control's cutter expects, and
each frame coded with literal codes only.
"""
import math
import struct
import sys
from pathlib import Path

SIZE = 32
DOTS = 8
FRAMES = 8
DELAY = 10          # hundredths of a second per frame
RING = 11.0         # radius of the ring of dots
DOT = 3.3           # radius of one dot
MIN_CODE = 5        # 32 colours

# Index 0 is the transparent background; 1..DOTS run from the tail's pale
# blue to the leading dot's strong blue.
PALETTE = [(255, 255, 255)]
for i in range(DOTS):
    t = i / (DOTS - 1)
    PALETTE.append((int(205 - 170 * t), int(215 - 130 * t), int(235 - 55 * t)))
PALETTE += [(0, 0, 0)] * (32 - len(PALETTE))


def frame_pixels(step):
    pixels = bytearray(SIZE * SIZE)
    c = (SIZE - 1) / 2
    for d in range(DOTS):
        angle = 2 * math.pi * d / DOTS - math.pi / 2
        cx, cy = c + RING * math.cos(angle), c + RING * math.sin(angle)
        age = (step - d) % DOTS          # 0 for the leading dot
        colour = DOTS - age              # 8 strongest .. 1 palest
        for y in range(SIZE):
            for x in range(SIZE):
                if math.hypot(x - cx, y - cy) <= DOT:
                    pixels[y * SIZE + x] = colour
    return pixels


def lzw_literal(pixels):
    clear, end = 1 << MIN_CODE, (1 << MIN_CODE) + 1
    width = MIN_CODE + 1
    run = clear - 2          # clear again before the code width would grow
    out = bytearray()
    acc = nbits = 0

    def put(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    put(clear)
    n = 0
    for p in pixels:
        if n == run:
            put(clear)
            n = 0
        put(p)
        n += 1
    put(end)
    if nbits:
        out.append(acc & 0xFF)
    blocks = bytearray([MIN_CODE])
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        blocks.append(len(chunk))
        blocks += chunk
    blocks.append(0)
    return bytes(blocks)


def build():
    gif = bytearray(b"GIF89a")
    gif += struct.pack("<HHBBB", SIZE, SIZE, 0x80 | 0x70 | (MIN_CODE - 1), 0, 0)
    for r, g, b in PALETTE:
        gif += bytes((r, g, b))
    gif += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01" + struct.pack("<H", 0) + b"\x00"
    for step in range(FRAMES):
        # Disposal 2 (back to background) and a transparent background.
        gif += b"\x21\xF9\x04" + struct.pack("<BHB", 0x09, DELAY, 0) + b"\x00"
        gif += b"\x2C" + struct.pack("<HHHHB", 0, 0, SIZE, SIZE, 0)
        gif += lzw_literal(frame_pixels(step))
    gif += b"\x3B"
    return bytes(gif)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2] / "data" / "compress.gif"
    data = build()
    # The control cuts frames at the bytes 0, 33, 249; image data that happened
    # to contain them would split a frame.
    found = data.count(b"\x00\x21\xF9")
    if found != FRAMES:
        sys.exit(f"frame separators found: {found}, expected {FRAMES}")
    out.write_bytes(data)
    print(f"{out}: {len(data)} bytes, {FRAMES} frames")


if __name__ == "__main__":
    main()
