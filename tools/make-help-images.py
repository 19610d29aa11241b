#!/usr/bin/env python3
"""Draws the pictures of the help file as PNG files (python3 only, no libraries).

Usage: make-help-images.py OUTDIR

Every picture is drawn at twice its shown size and says so in its PNG header
(192 dots per inch), so help windows on high-density screens show it sharp.
"""
import math
import os
import struct
import sys
import zlib

SCALE = 2          # picture pixels per shown pixel
SS = 2             # supersampling for smooth edges

# Colours
WHITE = (255, 255, 255)
INK = (40, 46, 56)
GREY = (120, 128, 140)
LIGHT = (226, 230, 236)
PANEL = (196, 202, 212)
DARK = (64, 70, 82)
BLACK = (24, 24, 28)
RED = (204, 48, 48)
RCAWHITE = (236, 236, 236)
BLUE = (52, 120, 206)
PINK = (232, 126, 170)
GREEN = (88, 170, 72)
ORANGE = (232, 150, 40)
ACCENT = (31, 78, 121)
WAVE = (46, 110, 170)
TRACKS = [(255, 214, 120), (150, 210, 160), (160, 190, 240)]


class Canvas:
    def __init__(self, w, h, bg=WHITE):
        # w, h: shown size; drawing coordinates are shown pixels too.
        self.w, self.h = w, h
        self.k = SCALE * SS
        self.W, self.H = w * self.k, h * self.k
        self.px = bytearray(bytes(bg) * (self.W * self.H))

    def polygon(self, pts, color):
        k = self.k
        p = [(x * k, y * k) for x, y in pts]
        n = len(p)
        ymin = max(0, int(min(y for _, y in p)))
        ymax = min(self.H - 1, int(math.ceil(max(y for _, y in p))))
        row = bytes(color)
        for yi in range(ymin, ymax + 1):
            yc = yi + 0.5
            xs = []
            for i in range(n):
                x0, y0 = p[i]
                x1, y1 = p[(i + 1) % n]
                if (y0 <= yc < y1) or (y1 <= yc < y0):
                    xs.append(x0 + (yc - y0) * (x1 - x0) / (y1 - y0))
            xs.sort()
            base = yi * self.W
            for a, b in zip(xs[0::2], xs[1::2]):
                xa = max(0, int(round(a)))
                xb = min(self.W, int(round(b)))
                if xb > xa:
                    self.px[(base + xa) * 3:(base + xb) * 3] = row * (xb - xa)

    def rect(self, x, y, w, h, color, r=0):
        if r <= 0:
            self.polygon([(x, y), (x + w, y), (x + w, y + h), (x, y + h)], color)
            return
        pts = []
        for cx, cy, a0 in ((x + w - r, y + r, -90), (x + w - r, y + h - r, 0), (x + r, y + h - r, 90), (x + r, y + r, 180)):
            for i in range(9):
                a = math.radians(a0 + i * 90 / 8)
                pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
        self.polygon(pts, color)

    def circle(self, cx, cy, r, color):
        n = max(16, int(r * 4))
        self.polygon([(cx + r * math.cos(2 * math.pi * i / n), cy + r * math.sin(2 * math.pi * i / n)) for i in range(n)], color)

    def line(self, pts, width, color):
        h = width / 2
        for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
            dx, dy = x1 - x0, y1 - y0
            d = math.hypot(dx, dy)
            if d == 0:
                continue
            nx, ny = -dy / d * h, dx / d * h
            self.polygon([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)], color)
        for x, y in pts:
            self.circle(x, y, h, color)

    def save(self, path):
        k = SS
        ow, oh = self.w * SCALE, self.h * SCALE
        W = self.W
        raw = bytearray()
        px = self.px
        n = k * k
        for oy in range(oh):
            raw.append(0)
            rows = [(oy * k + j) * W * 3 for j in range(k)]
            for ox in range(ow):
                r = g = b = 0
                for base in rows:
                    i = base + ox * k * 3
                    for s in range(k):
                        r += px[i]; g += px[i + 1]; b += px[i + 2]
                        i += 3
                raw += bytes((r // n, g // n, b // n))
        dpm = int(round(96 * SCALE / 0.0254))

        def chunk(tag, data):
            c = struct.pack('>I', len(data)) + tag + data
            return c + struct.pack('>I', zlib.crc32(tag + data) & 0xffffffff)
        png = b'\x89PNG\r\n\x1a\n'
        png += chunk(b'IHDR', struct.pack('>IIBBBBB', ow, oh, 8, 2, 0, 0, 0))
        png += chunk(b'pHYs', struct.pack('>IIB', dpm, dpm, 1))
        png += chunk(b'IDAT', zlib.compress(bytes(raw), 9))
        png += chunk(b'IEND', b'')
        with open(path, 'wb') as f:
            f.write(png)


# A small stroke font on a 4 x 6 grid: enough for the labels of the pictures.
O_ = [(1, 0), (3, 0), (4, 1), (4, 5), (3, 6), (1, 6), (0, 5), (0, 1), (1, 0)]
P_ = [(0, 6), (0, 0), (3, 0), (4, 1), (4, 2), (3, 3), (0, 3)]
FONT = {
    'A': [[(0, 6), (0, 2), (2, 0), (4, 2), (4, 6)], [(0, 3.6), (4, 3.6)]],
    'B': [[(0, 0), (0, 6), (3, 6), (4, 5), (4, 4), (3, 3), (0, 3)], [(0, 0), (3, 0), (4, 1), (4, 2), (3, 3)]],
    'C': [[(4, 1), (3, 0), (1, 0), (0, 1), (0, 5), (1, 6), (3, 6), (4, 5)]],
    'D': [[(0, 0), (0, 6), (2.5, 6), (4, 4.5), (4, 1.5), (2.5, 0), (0, 0)]],
    'E': [[(4, 0), (0, 0), (0, 6), (4, 6)], [(0, 3), (3, 3)]],
    'F': [[(4, 0), (0, 0), (0, 6)], [(0, 3), (3, 3)]],
    'G': [[(4, 1), (3, 0), (1, 0), (0, 1), (0, 5), (1, 6), (3, 6), (4, 5), (4, 3.5), (2.5, 3.5)]],
    'H': [[(0, 0), (0, 6)], [(4, 0), (4, 6)], [(0, 3), (4, 3)]],
    'I': [[(1, 0), (3, 0)], [(2, 0), (2, 6)], [(1, 6), (3, 6)]],
    'J': [[(4, 0), (4, 5), (3, 6), (1, 6), (0, 5)]],
    'K': [[(0, 0), (0, 6)], [(4, 0), (0, 3.6)], [(1.4, 2.6), (4, 6)]],
    'L': [[(0, 0), (0, 6), (4, 6)]],
    'M': [[(0, 6), (0, 0), (2, 3), (4, 0), (4, 6)]],
    'N': [[(0, 6), (0, 0), (4, 6), (4, 0)]],
    'O': [O_],
    'P': [P_],
    'Q': [O_, [(2.5, 4.5), (4, 6)]],
    'R': [P_, [(2, 3), (4, 6)]],
    'S': [[(4, 1), (3, 0), (1, 0), (0, 1), (0, 2), (1, 3), (3, 3), (4, 4), (4, 5), (3, 6), (1, 6), (0, 5)]],
    'T': [[(0, 0), (4, 0)], [(2, 0), (2, 6)]],
    'U': [[(0, 0), (0, 5), (1, 6), (3, 6), (4, 5), (4, 0)]],
    'V': [[(0, 0), (2, 6), (4, 0)]],
    'W': [[(0, 0), (1, 6), (2, 3), (3, 6), (4, 0)]],
    'X': [[(0, 0), (4, 6)], [(4, 0), (0, 6)]],
    'Y': [[(0, 0), (2, 3), (4, 0)], [(2, 3), (2, 6)]],
    'Z': [[(0, 0), (4, 0), (0, 6), (4, 6)]],
    '0': [O_],
    '1': [[(1, 1), (2, 0), (2, 6)], [(1, 6), (3, 6)]],
    '2': [[(0, 1), (1, 0), (3, 0), (4, 1), (4, 2), (0, 6), (4, 6)]],
    '3': [[(0, 1), (1, 0), (3, 0), (4, 1), (4, 2), (3, 3), (1.5, 3)], [(3, 3), (4, 4), (4, 5), (3, 6), (1, 6), (0, 5)]],
    '4': [[(3, 6), (3, 0), (0, 4), (4, 4)]],
    '5': [[(4, 0), (0, 0), (0, 3), (3, 3), (4, 4), (4, 5), (3, 6), (0, 6)]],
    '6': [[(3.5, 0), (1, 0), (0, 1), (0, 5), (1, 6), (3, 6), (4, 5), (4, 4), (3, 3), (0, 3)]],
    '7': [[(0, 0), (4, 0), (1.5, 6)]],
    '8': [[(1, 3), (0, 2), (0, 1), (1, 0), (3, 0), (4, 1), (4, 2), (3, 3), (1, 3), (0, 4), (0, 5), (1, 6), (3, 6), (4, 5), (4, 4), (3, 3)]],
    '9': [[(4, 3), (1, 3), (0, 2), (0, 1), (1, 0), (3, 0), (4, 1), (4, 5), (3, 6), (0.5, 6)]],
    '-': [[(0.5, 3), (3.5, 3)]],
    '/': [[(0, 6), (4, 0)]],
    ':': [[(2, 1.8), (2, 1.9)], [(2, 4.8), (2, 4.9)]],
    '.': [[(2, 5.9), (2, 6)]],
    ' ': [],
}


def text_width(s, size):
    return len(s) * size * 6 / 6.0 - size * 2 / 6.0 if s else 0


def text(c, x, y, s, size, color, weight=None, anchor='left'):
    """Draws s with capital height size; (x, y) is the top of the letters."""
    u = size / 6.0
    w = weight or max(1.2, size / 7.0)
    if anchor == 'center':
        x -= text_width(s, size) / 2
    for ch in s.upper():
        for stroke in FONT.get(ch, []):
            c.line([(x + px * u, y + py * u) for px, py in stroke], w, color)
        x += 6 * u


def callout(c, x, y, n):
    c.circle(x, y, 10, ACCENT)
    text(c, x, y - 5, str(n), 10, WHITE, 2.0, 'center')


def bezier(p0, p1, p2, p3, n=40):
    pts = []
    for i in range(n + 1):
        t = i / n
        a, b, cc, d = (1 - t) ** 3, 3 * t * (1 - t) ** 2, 3 * t * t * (1 - t), t ** 3
        pts.append((a * p0[0] + b * p1[0] + cc * p2[0] + d * p3[0], a * p0[1] + b * p1[1] + cc * p2[1] + d * p3[1]))
    return pts


def rca_socket(c, x, y, color):
    c.circle(x, y, 9, (150, 150, 150))
    c.circle(x, y, 7, color)
    c.circle(x, y, 3, BLACK)


def jack_socket(c, x, y, color):
    c.circle(x, y, 10, color)
    c.circle(x, y, 6.5, (30, 30, 34))
    c.circle(x, y, 3, (90, 90, 96))


def computer(c, x, y, w, h, label=True):
    c.rect(x, y, w, h, (70, 76, 88), 8)
    c.rect(x + 6, y + 6, w - 12, h - 12, (92, 98, 110), 5)
    # Sound sockets at the front: line-in, headphones, microphone.
    sx = x + 26
    for i, col in enumerate((BLUE, GREEN, PINK)):
        jack_socket(c, sx, y + h - 40 - i * 28, col)
    for i in range(3):
        c.rect(x + w - 42, y + 18 + i * 12, 26, 5, (120, 126, 138), 2)
    if label:
        text(c, x + w / 2, y + h + 10, "COMPUTER", 9, GREY, anchor='center')
    return sx, y + h - 40


def plug_35(c, x, y, direction=1):
    # A 3.5 mm plug pointing right (direction 1) into (x, y).
    c.rect(x - 34 * direction if direction > 0 else x + 10, y - 6, 24, 12, BLACK, 3)
    tip = [(x - 10, y - 2.5), (x + 2, y - 2.5), (x + 4, y), (x + 2, y + 2.5), (x - 10, y + 2.5)]
    c.polygon(tip, (200, 200, 206))
    c.rect(x - 5, y - 3, 1.5, 6, BLACK)


def rca_plug(c, x, y, color):
    # An RCA plug pointing left into (x, y).
    c.rect(x + 2, y - 7, 26, 14, color, 4)
    c.rect(x - 6, y - 4, 9, 8, (200, 200, 206), 2)


def draw_connect_deck(path):
    c = Canvas(520, 200)
    # The deck
    dx, dy = 20, 40
    c.rect(dx, dy, 220, 110, (58, 62, 72), 8)
    c.rect(dx + 14, dy + 14, 110, 62, (32, 34, 40), 6)
    c.rect(dx + 24, dy + 24, 90, 42, (210, 196, 160), 4)
    for rx in (dx + 48, dx + 90):
        c.circle(rx, dy + 45, 11, (250, 248, 240))
        c.circle(rx, dy + 45, 5, (90, 80, 60))
    for i in range(5):
        c.rect(dx + 14 + i * 22, dy + 86, 18, 12, (150, 156, 168), 3)
    rca_socket(c, dx + 152, dy + 50, RED)
    rca_socket(c, dx + 182, dy + 50, RCAWHITE)
    text(c, dx + 149, dy + 64, "R", 7, (220, 224, 230))
    text(c, dx + 179, dy + 64, "L", 7, (220, 224, 230))
    text(c, dx + 167, dy + 80, "LINE OUT", 8, (220, 224, 230), anchor='center')
    text(c, dx + 110, dy + 124, "CASSETTE DECK", 9, GREY, anchor='center')
    # The computer
    jx, jy = computer(c, 392, 20, 116, 150)
    text(c, jx + 18, jy - 5, "LINE IN", 8, (220, 228, 240))
    # The cable: two RCA plugs joining into one lead with a 3.5 mm plug.
    c.line(bezier((dx + 164, dy + 24), (dx + 200, dy - 10), (290, 10), (320, 40)), 4, RED)
    c.line(bezier((dx + 194, dy + 24), (dx + 220, dy + 0), (290, 20), (320, 40)), 4, (200, 200, 200))
    c.line(bezier((320, 40), (340, 60), (330, jy), (jx - 36, jy)), 5, BLACK)
    plug_35(c, jx - 12, jy)
    # Plugs drawn over the sockets
    c.circle(dx + 152, dy + 50, 7, RED)
    c.circle(dx + 182, dy + 50, 7, RCAWHITE)
    c.line([(dx + 152, dy + 43), (dx + 152, dy + 26)], 10, RED)
    c.line([(dx + 182, dy + 43), (dx + 182, dy + 26)], 10, RCAWHITE)
    callout(c, dx + 205, dy + 100, 1)
    callout(c, 330, 100, 2)
    callout(c, jx + 62, jy + 26, 3)
    c.save(path)


def draw_connect_turntable(path):
    c = Canvas(520, 200)
    # Turntable
    tx, ty = 14, 40
    c.rect(tx, ty, 170, 120, (150, 112, 78), 8)
    c.rect(tx + 4, ty + 4, 162, 112, (170, 130, 92), 6)
    c.circle(tx + 70, ty + 60, 48, (34, 34, 38))
    for r in (40, 32, 24):
        c.circle(tx + 70, ty + 60, r, (46, 46, 52))
        c.circle(tx + 70, ty + 60, r - 1.2, (34, 34, 38))
    c.circle(tx + 70, ty + 60, 14, (200, 60, 60))
    c.circle(tx + 70, ty + 60, 2, (220, 220, 220))
    c.circle(tx + 145, ty + 22, 8, (190, 190, 196))
    c.line([(tx + 145, ty + 22), (tx + 150, ty + 78), (tx + 108, ty + 96)], 3.5, (210, 210, 216))
    c.rect(tx + 100, ty + 92, 14, 9, BLACK, 2)
    text(c, tx + 85, ty + 132, "TURNTABLE", 9, GREY, anchor='center')
    # Preamp
    px, py = 232, 70
    c.rect(px, py, 100, 60, (58, 62, 72), 6)
    text(c, px + 50, py + 8, "PHONO", 8, (230, 230, 236), anchor='center')
    text(c, px + 12, py + 24, "IN", 6, (200, 204, 212))
    text(c, px + 66, py + 24, "OUT", 6, (200, 204, 212))
    rca_socket(c, px + 18, py + 44, RED)
    rca_socket(c, px + 74, py + 44, RED)
    c.circle(px + 46, py + 44, 5, (210, 190, 80))
    text(c, px + 38, py + 22, "GND", 5, (200, 204, 212))
    text(c, px + 50, py - 20, "PREAMPLIFIER", 9, GREY, anchor='center')
    # Computer
    jx, jy = computer(c, 392, 20, 116, 150)
    text(c, jx + 18, jy - 5, "LINE IN", 8, (220, 228, 240))
    # Leads
    c.line(bezier((tx + 166, ty + 100), (200, 150), (200, 150), (px + 18, py + 44)), 4.5, RED)
    c.line(bezier((tx + 166, ty + 108), (205, 170), (230, 160), (px + 46, py + 44)), 1.8, (40, 150, 60))
    c.line(bezier((px + 74, py + 44), (370, 150), (360, jy), (jx - 36, jy)), 5, BLACK)
    plug_35(c, jx - 12, jy)
    callout(c, tx + 186, ty + 76, 1)
    callout(c, px + 114, py + 8, 2)
    callout(c, jx + 62, jy + 26, 3)
    c.save(path)


def draw_sockets(path):
    c = Canvas(360, 150)
    c.rect(10, 20, 340, 110, (84, 90, 102), 10)
    c.rect(16, 26, 328, 98, (104, 110, 122), 7)
    items = ((BLUE, "LINE IN"), (PINK, "MIC"), (GREEN, "PHONES"))
    for i, (col, label) in enumerate(items):
        x = 70 + i * 110
        c.circle(x, 62, 18, col)
        c.circle(x, 62, 11, (30, 30, 34))
        c.circle(x, 62, 5, (90, 90, 96))
        text(c, x, 94, label, 9, (236, 238, 242), anchor='center')
        callout(c, x + 26, 40, i + 1)
    c.save(path)


def wave_samples(n, seed):
    out = []
    for i in range(n):
        t = i / n
        env = 0.55 + 0.45 * math.sin(t * 9 + seed) * math.sin(t * 3.1 + seed * 2)
        ripple = 0.6 + 0.4 * math.sin(i * 1.7 + seed) * math.cos(i * 0.63)
        out.append(abs(env * ripple))
    return out


def draw_levels(path):
    c = Canvas(520, 170)
    panels = ((0.22, "TOO QUIET", (170, 120, 40)), (0.8, "GOOD", (40, 140, 60)), (2.4, "CLIPPING", RED))
    for k, (gain, label, col) in enumerate(panels):
        x0 = 10 + k * 170
        c.rect(x0, 10, 160, 120, LIGHT, 6)
        mid = 70
        c.line([(x0 + 8, mid - 50), (x0 + 152, mid - 50)], 1, (200, 120, 120))
        c.line([(x0 + 8, mid + 50), (x0 + 152, mid + 50)], 1, (200, 120, 120))
        for i, v in enumerate(wave_samples(72, k + 1)):
            a = min(1.0, v * gain)
            x = x0 + 9 + i * 2
            c.rect(x, mid - a * 50, 1.4, a * 100 + 0.5, WAVE if a < 1.0 else RED)
        text(c, x0 + 80, 140, label, 10, col, anchor='center')
    c.save(path)


def draw_waveform_tracks(path):
    c = Canvas(520, 150)
    c.rect(0, 0, 520, 150, (250, 250, 252))
    bounds = ((10, 170), (190, 350), (368, 505))
    lengths = ("3:41", "3:38", "3:05")
    for (a, b), col, ln in zip(bounds, TRACKS, lengths):
        c.rect(a, 26, b - a, 116, col)
    mid = 84
    samples = wave_samples(250, 4)
    for i, v in enumerate(samples):
        x = 10 + i * 2
        gap = any(b - 4 < x < b2 + 4 for (_, b), (b2, _) in zip(bounds, bounds[1:]))
        a = 0.03 if gap or x > 505 else 0.15 + 0.8 * v
        c.rect(x, mid - a * 52, 1.5, a * 104 + 0.5, WAVE)
    for (a, b), ln, sel in zip(bounds, lengths, (False, True, False)):
        tab = (255, 250, 220) if sel else WHITE
        c.rect(a, 4, 86, 20, ACCENT if sel else DARK, 4)
        c.rect(a + 2, 6, 82, 16, tab, 3)
        text(c, a + 8, 10, ln, 8, INK)
        c.line([(a + 70, 9), (a + 78, 17)], 2, RED)
        c.line([(a + 78, 9), (a + 70, 17)], 2, RED)
    c.save(path)


PICTURES = {
    'connect-deck.png': draw_connect_deck,
    'connect-turntable.png': draw_connect_turntable,
    'sockets.png': draw_sockets,
    'levels.png': draw_levels,
    'waveform-tracks.png': draw_waveform_tracks,
}


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: make-help-images.py OUTDIR\n")
        return 2
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, draw in PICTURES.items():
        draw(os.path.join(out, name))
    return 0


if __name__ == '__main__':
    sys.exit(main())
