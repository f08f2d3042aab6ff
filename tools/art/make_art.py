#!/usr/bin/env python3
"""Draws Korvello's window art and program icon.

Usage: make_art.py OUTDIR

Everything is drawn here from geometry: shapes and lettering are signed
distance fields sampled at pixel centres, which gives anti-aliased edges
without any font or image library. The output is byte-for-byte reproducible.
Every picture is drawn at each scale the window uses (100, 125, 150, 175,
200, 250 and 300 %), the geometry multiplied before sampling, so no scale is a
stretched copy of another. Pictures are 24-bit uncompressed BMPs (what the window
loads), the icon a hand-written .ico. The larger scales also go out packed
(.kvp, see write_packed) with art_scaled.rc, the resource lines that embed
them: the background alone would otherwise add 8 MB to the program. The
colour rules the window relies on (key colours of the button pictures, the
white corners of the skin) are checked at every scale before anything is
written, so a drawing change that breaks them fails the build.
"""

import math
import multiprocessing
import os
import re
import struct
import sys

WHITE = (255, 255, 255)      # outside the window's shape; the notes on the blue buttons
BLUE_LIGHT = (92, 156, 222)  # the buttons' and the icon's blues, the same in both palettes
BLUE_DARK = (26, 78, 140)

# The skin's colours, light (Windows' default) and dark (for apps set to dark).
# Every text drawn here reads at 4.5:1 or more against its palette's face.
LIGHT = {
    'FACE': (220, 220, 220),       # the skin's face; also the buttons' key colour
    'HOVER_KEY': (249, 249, 249),  # corner colour of the convert button's hover picture
    'INK': (58, 63, 70),
    'GREY_TEXT': (104, 109, 116),
    'BLUE': (38, 104, 178),
    'TEXT_BLUE': (38, 104, 178),
    'OUTLINE': (118, 122, 128),
    'LIT': (250, 250, 250), 'SHADE': (170, 173, 177),
    'LIT2': (236, 236, 236), 'SHADE2': (204, 205, 207),
    'GROOVE': (190, 192, 195), 'GROOVE_LIT': (240, 240, 240),
    'SHADOW': (176, 178, 182),
    'BTN_TOP': (252, 252, 252), 'BTN_BOTTOM': (226, 228, 231), 'BTN_EDGE': (140, 145, 152),
}
DARK = {
    'FACE': (32, 32, 32),
    'HOVER_KEY': (44, 44, 44),
    'INK': (222, 225, 230),
    'GREY_TEXT': (160, 165, 172),
    'BLUE': (38, 104, 178),
    'TEXT_BLUE': (110, 170, 235),
    'OUTLINE': (92, 96, 102),
    'LIT': (74, 76, 80), 'SHADE': (14, 14, 16),
    'LIT2': (54, 55, 58), 'SHADE2': (24, 24, 26),
    'GROOVE': (16, 16, 18), 'GROOVE_LIT': (60, 61, 64),
    'SHADOW': (8, 8, 10),
    'BTN_TOP': (70, 72, 76), 'BTN_BOTTOM': (50, 52, 56), 'BTN_EDGE': (110, 114, 120),
}
PALETTES = {'light': LIGHT, 'dark': DARK}


def use_palette(palette):
    """The drawing below reads its colours from these globals."""
    globals().update(palette)


use_palette(LIGHT)


# ---------------------------------------------------------------- canvas

def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


# The scales the window draws at, in percent of 96 dpi.
SCALES = (100, 125, 150, 175, 200, 250, 300)


def scaled(v, pct):
    """v at pct percent, rounded as the window's MulDiv rounds (halves away from zero)."""
    return (v * pct * 2 + 100) // 200


class Canvas:
    """RGB floats plus an alpha plane (used by the icon only).

    k is the drawing's scale: geometry is given in 100 % units and fields are
    sampled at pixel centres divided by k, their distances multiplied by k."""

    def __init__(self, w, h, fill, alpha=1.0, k=1.0):
        self.w, self.h, self.k = w, h, k
        self.px = [list(map(float, fill)) for _ in range(w * h)]
        self.a = [alpha] * (w * h)

    def get(self, x, y):
        return tuple(int(round(c)) for c in self.px[y * self.w + x])

    def set(self, x, y, c):
        self.px[y * self.w + x] = list(map(float, c))

    def blend(self, x, y, c, t):
        if t <= 0.0:
            return
        p = self.px[y * self.w + x]
        for i in range(3):
            p[i] += (c[i] - p[i]) * t

    def fill_field(self, sdf, colour, box=None, opacity=1.0):
        """Paints where sdf(x, y) < 0, anti-aliased over about one pixel.

        colour is a colour or a function (x, y) -> colour for gradients."""
        k = self.k
        x0, y0, x1, y1 = (v * k for v in box) if box else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        for y in range(y0, y1):
            for x in range(x0, x1):
                u, v = (x + 0.5) / k, (y + 0.5) / k
                t = clamp01(0.5 - sdf(u, v) * k) * opacity
                if t > 0.0:
                    c = colour(u, v) if callable(colour) else colour
                    self.blend(x, y, c, t)

    def cover_alpha(self, sdf):
        """Alpha plane from a field: the icon's outline."""
        for y in range(self.h):
            for x in range(self.w):
                self.a[y * self.w + x] = clamp01(0.5 - sdf(x + 0.5, y + 0.5))

    def bytes_bgr(self):
        out = []
        for p in self.px:
            out.append(tuple(max(0, min(255, int(round(c)))) for c in p))
        return out


# ---------------------------------------------------------------- fields

def sdf_round_rect(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def f(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return f


def round_rect_normal(x0, y0, x1, y1, r, x, y):
    """Outward normal of the rounded rectangle nearest to (x, y)."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r
    dx, dy = x - cx, y - cy
    qx, qy = abs(dx) - hx, abs(dy) - hy
    if qx > 0 and qy > 0:
        n = (math.copysign(qx, dx), math.copysign(qy, dy))
        ln = math.hypot(*n)
        return (n[0] / ln, n[1] / ln)
    if qx > qy:
        return (math.copysign(1.0, dx), 0.0)
    return (0.0, math.copysign(1.0, dy))


def seg_dist(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    wx, wy = px - ax, py - ay
    ll = vx * vx + vy * vy
    t = 0.0 if ll == 0 else clamp01((wx * vx + wy * vy) / ll)
    return math.hypot(wx - vx * t, wy - vy * t)


def sdf_capsule(ax, ay, bx, by, r):
    return lambda x, y: seg_dist(x, y, ax, ay, bx, by) - r


def sdf_ellipse(cx, cy, rx, ry, angle_deg=0.0):
    ca, sa = math.cos(math.radians(angle_deg)), math.sin(math.radians(angle_deg))

    def f(x, y):
        dx, dy = x - cx, y - cy
        u, v = dx * ca + dy * sa, -dx * sa + dy * ca
        k = math.hypot(u / rx, v / ry)
        return (k - 1.0) * min(rx, ry)
    return f


def sdf_union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def sdf_shift(f, dx, dy):
    return lambda x, y: f(x - dx, y - dy)


class Strokes:
    """Polylines drawn with round caps: a distance field built segment by segment."""

    def __init__(self):
        self.segs = []

    def polyline(self, pts):
        for a, b in zip(pts, pts[1:]):
            self.segs.append((a[0], a[1], b[0], b[1]))

    def paint(self, cv, colour, half_width):
        dist = {}
        s = cv.k
        half_width *= s
        pad = half_width + 1.5
        for ax, ay, bx, by in ((a * s, b * s, c * s, e * s) for a, b, c, e in self.segs):
            x0 = max(0, int(math.floor(min(ax, bx) - pad)))
            x1 = min(cv.w, int(math.ceil(max(ax, bx) + pad)))
            y0 = max(0, int(math.floor(min(ay, by) - pad)))
            y1 = min(cv.h, int(math.ceil(max(ay, by) + pad)))
            for y in range(y0, y1):
                for x in range(x0, x1):
                    d = seg_dist(x + 0.5, y + 0.5, ax, ay, bx, by)
                    k = (x, y)
                    if d < dist.get(k, 1e9):
                        dist[k] = d
        for (x, y), d in dist.items():
            cv.blend(x, y, colour, clamp01(half_width + 0.5 - d))


# ---------------------------------------------------------------- lettering
# A monoline sans drawn as strokes. Font units: baseline 0, y up, capitals 10
# high, lower case 7 high. Each glyph: advance and polylines.

def arc(cx, cy, rx, ry, a0, a1):
    n = max(4, int(abs(a1 - a0) / 9))
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]


def _s_curve(sx, sy):
    top = arc(3.3, 7.55, 3.0, 2.45, 28, 270)
    bottom = arc(3.3, 2.55, 3.3, 2.55, 90, -152)
    return [[(x * sx, y * sy) for x, y in top + bottom]]


GLYPHS = {
    ' ': (3.0, []),
    'A': (7.4, [[(0, 0), (3.7, 10), (7.4, 0)], [(1.4, 3.5), (6.0, 3.5)]]),
    'B': (6.8, [[(0, 0), (0, 10), (3.4, 10)] + arc(3.4, 7.6, 2.4, 2.4, 90, -90) + [(0, 5.2)],
                [(0, 5.2), (3.7, 5.2)] + arc(3.7, 2.6, 2.6, 2.6, 90, -90) + [(0, 0)]]),
    'C': (8.0, [arc(4.6, 5.0, 4.6, 5.0, 40, 320)]),
    'E': (5.8, [[(5.6, 10), (0, 10), (0, 0), (5.6, 0)], [(0, 5.1), (4.9, 5.1)]]),
    'K': (6.4, [[(0, 0), (0, 10)], [(6.2, 10), (0, 3.6)], [(2.3, 5.8), (6.4, 0)]]),
    'L': (5.4, [[(0, 10), (0, 0), (5.4, 0)]]),
    'M': (8.6, [[(0, 0), (0, 10), (4.3, 2.0), (8.6, 10), (8.6, 0)]]),
    'O': (9.6, [arc(4.8, 5.0, 4.8, 5.0, 0, 360)]),
    'P': (6.4, [[(0, 0), (0, 10), (3.6, 10)] + arc(3.6, 7.3, 2.7, 2.7, 90, -90) + [(0, 4.6)]]),
    'R': (6.6, [[(0, 0), (0, 10), (3.6, 10)] + arc(3.6, 7.3, 2.7, 2.7, 90, -90) + [(0, 4.6)],
                [(3.4, 4.6), (6.4, 0)]]),
    'S': (6.6, _s_curve(1.0, 1.0)),
    'V': (7.4, [[(0, 10), (3.7, 0), (7.4, 10)]]),
    '3': (6.4, [arc(3.0, 7.5, 2.9, 2.5, 150, -90) + [(1.8, 5.0)],
                arc(3.1, 2.6, 3.2, 2.6, 90, -150)]),
    '4': (6.8, [[(5.0, 0), (5.0, 10), (0, 2.9), (6.8, 2.9)]]),
    'a': (6.8, [arc(3.4, 3.5, 3.4, 3.5, 0, 360), [(6.8, 7), (6.8, 0)]]),
    'b': (6.8, [[(0, 10.5), (0, 0)], arc(3.4, 3.5, 3.4, 3.5, 0, 360)]),
    'c': (6.4, [arc(3.5, 3.5, 3.5, 3.5, 42, 318)]),
    'e': (7.0, [[(0.1, 3.5), (6.9, 3.5)] + arc(3.5, 3.5, 3.5, 3.5, 0, 315)]),
    'h': (6.4, [[(0, 10.5), (0, 0)], arc(3.2, 3.9, 3.2, 3.1, 180, 0) + [(6.4, 0)]]),
    'i': (1.0, [[(0, 7), (0, 0)], [(0, 9.6), (0, 9.7)]]),
    'k': (5.8, [[(0, 10.5), (0, 0)], [(5.6, 7), (0, 2.6)], [(2.0, 4.2), (5.8, 0)]]),
    'l': (1.0, [[(0, 10.5), (0, 0)]]),
    'n': (6.4, [[(0, 0), (0, 7)], arc(3.2, 3.9, 3.2, 3.1, 180, 0) + [(6.4, 0)]]),
    'o': (7.2, [arc(3.6, 3.5, 3.6, 3.5, 0, 360)]),
    'r': (4.6, [[(0, 0), (0, 7)], arc(3.6, 3.6, 3.6, 3.3, 180, 72)]),
    's': (5.4, _s_curve(0.82, 0.7)),
    't': (4.0, [[(1.4, 9.4), (1.4, 1.6)] + arc(3.1, 1.6, 1.7, 1.6, 180, 270) + [(3.9, 0.0)],
                [(0, 7), (3.8, 7)]]),
    'u': (6.4, [[(0, 7)] + arc(3.2, 3.1, 3.2, 3.1, 180, 360) + [(6.4, 7)], [(6.4, 7), (6.4, 0)]]),
    'v': (6.2, [[(0, 7), (3.1, 0), (6.2, 7)]]),
}


def text_width(text, cap_px, stroke_px, tracking_px=0.0):
    s = cap_px / 10.0
    gap = stroke_px + tracking_px
    w = sum(GLYPHS[ch][0] * s for ch in text) + gap * (len(text) - 1)
    return w + stroke_px


def draw_text(cv, text, x, baseline, cap_px, stroke_px, colour, tracking_px=0.0):
    """Draws text with its ink's left edge at x; returns the right edge."""
    s = cap_px / 10.0
    gap = stroke_px + tracking_px
    pen = x + stroke_px / 2.0
    st = Strokes()
    for ch in text:
        adv, paths = GLYPHS[ch]
        for p in paths:
            st.polyline([(pen + gx * s, baseline - gy * s) for gx, gy in p])
        pen += adv * s + gap
    st.paint(cv, colour, stroke_px / 2.0)
    return pen - gap + stroke_px / 2.0


# ---------------------------------------------------------------- marks

def note_field(x, y, size):
    """Two beamed quavers in a size x size box at (x, y)."""
    def p(u, v):
        return x + u * size, y + v * size
    h1 = sdf_ellipse(*p(0.30, 0.76), 0.145 * size, 0.105 * size, -22)
    h2 = sdf_ellipse(*p(0.72, 0.68), 0.145 * size, 0.105 * size, -22)
    sw = max(0.055 * size, 0.55)
    s1 = sdf_capsule(*p(0.425, 0.74), *p(0.425, 0.20), sw)
    s2 = sdf_capsule(*p(0.845, 0.66), *p(0.845, 0.12), sw)
    beam = sdf_capsule(*p(0.425, 0.22), *p(0.845, 0.14), max(0.075 * size, 0.8))
    return sdf_union(h1, h2, s1, s2, beam)


def vertical(c_top, c_bottom, y0, y1):
    return lambda x, y: mix(c_top, c_bottom, clamp01((y - y0) / max(1e-6, y1 - y0)))


# ---------------------------------------------------------------- pictures

def background(pct):
    k = pct / 100.0
    W, H = scaled(503, pct), scaled(480, pct)
    cv = Canvas(W, H, WHITE, k=k)
    # The window's shape is the rounded rectangle (0,0)-(503,479) with 30x30 corners,
    # each scaled as the window scales it; the picture's bottom row lies outside it.
    bottom = scaled(479, pct)
    x0, y0, x1, y1, r = 0.0, 0.0, float(W), float(bottom), scaled(30, pct) / 2.0
    f = sdf_round_rect(x0, y0, x1, y1, r)
    outline = OUTLINE
    lit, shade = LIT, SHADE
    lit2, shade2 = LIT2, SHADE2
    light = (-math.sqrt(0.5), -math.sqrt(0.5))
    # Well inside the rounded corners' reach every pixel is the face.
    inner = r + 6.0 * k
    for y in range(H):
        for x in range(W):
            px, py = x + 0.5, y + 0.5
            if y >= bottom:
                continue  # white: outside the window's shape
            if inner < px < W - inner and 6.0 * k < py < bottom - 6.0 * k or \
                    inner < py < bottom - inner and 6.0 * k < px < W - 6.0 * k:
                cv.set(x, y, FACE)
                continue
            d = f(px, py)
            if d > 1.0:
                continue
            depth = -d / k  # inward distance from the outline, in 100 % units
            if depth > 5.0:
                cv.set(x, y, FACE)
                continue
            n = round_rect_normal(x0, y0, x1, y1, r, px, py)
            t = clamp01(0.5 + 0.5 * (n[0] * light[0] + n[1] * light[1]) / 0.7071)
            if depth < 1.2:
                c = outline
            elif depth < 3.0:
                c = mix(shade, lit, t)
            else:
                c = mix(shade2, lit2, t)
                c = mix(c, FACE, clamp01((depth - 3.0) / 2.0))
            # The pixel ring just outside the curve takes the outline colour, so
            # that whichever way the system rounds the shape no white shows.
            cv.set(x, y, c)
    # A groove above the footer links.
    g0, g1, g2 = scaled(445, pct), scaled(446, pct), scaled(447, pct)
    for x in range(scaled(18, pct), scaled(485, pct)):
        for y in range(g0, g1):
            cv.set(x, y, GROOVE)
        for y in range(g1, g2):
            cv.set(x, y, GROOVE_LIT)
    return cv


def logo(pct):
    W, H = 214, 53
    cv = Canvas(scaled(W, pct), scaled(H, pct), FACE, k=pct / 100.0)
    # Upper line (rows 0-27): the publisher's mark and name.
    mark = sdf_round_rect(1.0, 3.0, 21.0, 23.0, 5.0)
    cv.fill_field(mark, vertical(BLUE_LIGHT, BLUE, 3, 23), (0, 2, 23, 25))
    cv.fill_field(note_field(4.0, 6.0, 14.0), WHITE, (3, 4, 20, 22))
    draw_text(cv, "KORVELLO LABS", 28, 18, 8.0, 1.25, GREY_TEXT, tracking_px=1.3)
    # Lower line (rows 30-51): the product name and what it does.
    right = draw_text(cv, "Korvello", 1, 49, 17.0, 2.5, TEXT_BLUE)
    draw_text(cv, "MP4 to MP3", right + 9, 49, 8.0, 1.3, INK, tracking_px=0.4)
    return cv


def banner(pct):
    W, H = 198, 45
    cv = Canvas(scaled(W, pct), scaled(H, pct), FACE, k=pct / 100.0)
    # The convert button sits at (156, 3), 41 square: a soft shadow around it
    # shows through its cut corners and below it.
    sh = sdf_round_rect(157.0, 4.5, 198.5, 45.5, 8.0)
    cv.fill_field(lambda x, y: sh(x, y) / 2.2 + 0.25, SHADOW, (150, 0, W, H), opacity=0.55)
    # Its words are the window's to draw, in the user's language.
    # A chevron leading to the button.
    st = Strokes()
    st.polyline([(141.0, 17.0), (146.5, 23.0), (141.0, 29.0)])
    st.paint(cv, BLUE_LIGHT, 1.1)
    return cv


def small_button(kind, state, pct):
    """Close and minimize: a rounded square over columns 1-21, rows 0-20 (at 100 %)."""
    cv = Canvas(scaled(23, pct), scaled(23, pct), FACE, k=pct / 100.0)
    shape = sdf_round_rect(1.0, 0.0, 22.0, 21.0, 4.5)
    if state == "idle":
        fill, edge, ink = vertical(BTN_TOP, BTN_BOTTOM, 0, 21), BTN_EDGE, INK
    elif state == "hover":
        fill, edge, ink = vertical(BLUE_LIGHT, BLUE, 0, 21), BLUE_DARK, WHITE
    else:
        fill, edge, ink = vertical(BLUE, BLUE_DARK, 0, 21), (20, 60, 110), WHITE
    paint_button_face(cv, shape, fill, edge, FACE)
    dy = 1.0 if state == "down" else 0.0
    st = Strokes()
    cx, cy = 11.5, 10.5 + dy
    if kind == "close":
        a = 3.6
        st.polyline([(cx - a, cy - a), (cx + a, cy + a)])
        st.polyline([(cx - a, cy + a), (cx + a, cy - a)])
        st.paint(cv, ink, 0.95)
    else:
        st.polyline([(cx - 4.0, cy + 3.5), (cx + 4.0, cy + 3.5)])
        st.paint(cv, ink, 1.05)
    return cv


def convert_button(state, pct):
    """A 41 square with rounded corners and a note; the bottom row stays empty."""
    outside = HOVER_KEY if state == "hover" else FACE
    cv = Canvas(scaled(41, pct), scaled(42, pct), outside, k=pct / 100.0)
    shape = sdf_round_rect(0.0, 0.0, 41.0, 41.0, 8.0)
    if state == "idle":
        fill, edge = vertical(BLUE_LIGHT, BLUE, 0, 41), BLUE_DARK
    elif state == "hover":
        fill, edge = vertical((128, 184, 240), (56, 126, 204), 0, 41), BLUE
    else:
        fill, edge = vertical(BLUE, BLUE_DARK, 0, 41), (20, 60, 110)
    # Edges are blended with the skin's face, which is what lies beneath them.
    paint_button_face(cv, shape, fill, edge, FACE)
    if state != "down":
        gloss = sdf_round_rect(3.0, 2.0, 38.0, 19.0, 6.0)
        cv.fill_field(gloss, WHITE, (2, 1, 39, 20), opacity=0.10)
    dy = 1.0 if state == "down" else 0.0
    cv.fill_field(sdf_shift(note_field(8.0, 7.5, 25.0), 0.0, dy), WHITE, (6, 5, 36, 36))
    return cv


def paint_button_face(cv, shape, fill, edge, under):
    """Fills shape with a one-pixel edge; pixels it does not touch keep their colour.

    A touched pixel is never left equal to the key colour, which would cut a
    hole in the button."""
    k = cv.k
    for y in range(cv.h):
        for x in range(cv.w):
            u, v = (x + 0.5) / k, (y + 0.5) / k
            d = shape(u, v) * k
            cover = clamp01(0.5 - d)
            if cover < 0.02:
                continue
            c = mix(fill(u, v), edge, clamp01(d + 1.6 * k))
            c = mix(under, c, cover)
            c = tuple(int(round(v)) for v in c)
            if c == FACE:
                c = (FACE[0] - 1, FACE[1] - 1, FACE[2])
            cv.set(x, y, c)


# ---------------------------------------------------------------- icon

def icon_image(size):
    cv = Canvas(size, size, BLUE, alpha=0.0)
    m = 1.0 if size >= 24 else 0.5
    shape = sdf_round_rect(m, m, size - m, size - m, size * 0.22)
    top, bottom = BLUE_LIGHT, BLUE_DARK
    for y in range(size):
        for x in range(size):
            cv.set(x, y, mix(top, bottom, (y + 0.5) / size))
    edge = lambda x, y: -shape(x, y) < 1.0
    for y in range(size):
        for x in range(size):
            if edge(x + 0.5, y + 0.5):
                cv.blend(x, y, BLUE_DARK, 0.6)
    cv.cover_alpha(shape)
    inset = size * 0.17
    cv.fill_field(note_field(inset, inset + size * 0.02, size - 2 * inset), WHITE)
    return cv


def median_cut(colours, limit):
    """Palette of at most limit entries for the list of (r, g, b)."""
    boxes = [sorted(set(colours))]
    while len(boxes) < limit:
        boxes.sort(key=lambda b: -max(max(c[i] for c in b) - min(c[i] for c in b) for i in range(3)))
        b = boxes[0]
        if len(b) < 2:
            break
        ch = max(range(3), key=lambda i: max(c[i] for c in b) - min(c[i] for c in b))
        b.sort(key=lambda c: (c[ch], c))
        boxes[0:1] = [b[:len(b) // 2], b[len(b) // 2:]]
    pal = []
    for b in boxes:
        n = len(b)
        pal.append(tuple(int(round(sum(c[i] for c in b) / n)) for i in range(3)))
    return pal


def ico_entry_8bit(cv):
    n = cv.w
    rgb = cv.bytes_bgr()
    opaque = [cv.a[i] >= 0.5 for i in range(n * n)]
    pal = [(0, 0, 0)] + median_cut([rgb[i] for i in range(n * n) if opaque[i]], 255)
    pal += [(0, 0, 0)] * (256 - len(pal))
    cache = {}

    def index(c):
        if c not in cache:
            cache[c] = min(range(1, 256), key=lambda k: sum((pal[k][i] - c[i]) ** 2 for i in range(3)))
        return cache[c]
    xor = bytearray()
    for y in reversed(range(n)):
        for x in range(n):
            i = y * n + x
            xor.append(index(rgb[i]) if opaque[i] else 0)
    and_mask = mask_rows(cv, opaque)
    head = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 8, 0, len(xor) + len(and_mask), 0, 0, 256, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in pal)
    return 0, 8, head + palette + bytes(xor) + and_mask


def ico_entry_32bit(cv):
    n = cv.w
    rgb = cv.bytes_bgr()
    xor = bytearray()
    for y in reversed(range(n)):
        for x in range(n):
            i = y * n + x
            r, g, b = rgb[i]
            xor += bytes((b, g, r, int(round(cv.a[i] * 255))))
    and_mask = mask_rows(cv, [cv.a[i] >= 0.5 for i in range(n * n)])
    head = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return 0, 32, head + bytes(xor) + and_mask


def mask_rows(cv, opaque):
    n = cv.w
    stride = ((n + 31) // 32) * 4
    out = bytearray()
    for y in reversed(range(n)):
        row = bytearray(stride)
        for x in range(n):
            if not opaque[y * n + x]:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def write_ico(path, images):
    """images: list of (size, colour_count, bit_count, data)."""
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, colours, bits, data in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, _, data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


# ---------------------------------------------------------------- files and checks

def write_bmp(path, cv):
    w, h = cv.w, cv.h
    rgb = cv.bytes_bgr()
    stride = (w * 3 + 3) & ~3
    body = bytearray()
    for y in reversed(range(h)):
        row = bytearray()
        for x in range(w):
            r, g, b = rgb[y * w + x]
            row += bytes((b, g, r))
        row += bytes(stride - len(row))
        body += row
    head = struct.pack('<2sIHHI', b'BM', 54 + len(body), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(head + info + body)


class ArtError(Exception):
    pass


def require(cond, what):
    if not cond:
        raise ArtError(what)


def check_button_set(name, idle, others, inside):
    """inside(x, y): the pixel belongs to the drawn square."""
    rgb = idle.bytes_bgr()
    require(rgb[0] == FACE, f"{name}: top-left pixel of the idle picture is not the key colour")
    for y in range(idle.h):
        for x in range(idle.w):
            c = rgb[y * idle.w + x]
            if inside(x, y):
                require(c != FACE, f"{name}: key colour inside the shape at ({x}, {y})")
            else:
                require(c == FACE, f"{name}: pixel ({x}, {y}) outside the shape is not the key colour")
    for state, cv in others:
        require((cv.w, cv.h) == (idle.w, idle.h), f"{name} {state}: size differs from the idle picture")


def covered(shape, k):
    """Whether a pixel of a picture drawn at scale k is touched by shape (100 % units)."""
    return lambda x, y: clamp01(0.5 - shape((x + 0.5) / k, (y + 0.5) / k) * k) >= 0.02


def check(pics, pct):
    k = pct / 100.0
    at = f" at {pct} %"
    W, H = scaled(503, pct), scaled(480, pct)
    bottom = scaled(479, pct)
    back = pics['background']
    bg = back.bytes_bgr()
    require((back.w, back.h) == (W, H), "background size" + at)
    for x, y in ((0, 0), (W - 1, 0), (0, bottom - 1), (W - 1, bottom - 1), (0, bottom)):
        require(bg[y * W + x] == WHITE, f"background corner ({x}, {y}) is not white" + at)
    require(bg[(H // 2) * W + W // 2] == FACE, "background face colour" + at)
    for name, (w, h) in (('logo', (214, 53)), ('banner', (198, 45))):
        cv = pics[name]
        require((cv.w, cv.h) == (scaled(w, pct), scaled(h, pct)), f"{name} size" + at)
        require(cv.bytes_bgr()[0] == FACE, f"{name}: face colour at the top-left" + at)
    # The skin under each button shows through its cut corners: it must be the face.
    for bx, by, bw, bh in ((464, 13, 23, 23), (437, 13, 23, 23)):
        x0, y0 = scaled(bx, pct), scaled(by, pct)
        for y in range(y0, y0 + scaled(bh, pct)):
            for x in range(x0, x0 + scaled(bw, pct)):
                require(bg[y * W + x] == FACE, f"background under a title button at ({x}, {y})" + at)
    for kind in ('close', 'minimize'):
        shape = sdf_round_rect(1.0, 0.0, 22.0, 21.0, 4.5)
        idle_cv = pics[kind + '_idle']
        require((idle_cv.w, idle_cv.h) == (scaled(23, pct), scaled(23, pct)), f"{kind} size" + at)
        check_button_set(kind + at, idle_cv, [(s, pics[f'{kind}_{s}']) for s in ('down', 'hover')],
                         covered(shape, k))
        # The first and last columns and the rows below the square stay empty.
        idle = idle_cv.bytes_bgr()
        n = idle_cv.w
        for y in range(n):
            for x in range(n):
                if x < math.floor(k) or x >= math.ceil(22 * k) or y >= math.ceil(21 * k):
                    require(idle[y * n + x] == FACE, f"{kind}: edge pixel ({x}, {y}) is not the key colour" + at)
    shape = sdf_round_rect(0.0, 0.0, 41.0, 41.0, 8.0)
    conv = pics['convert_idle']
    require((conv.w, conv.h) == (scaled(41, pct), scaled(42, pct)), "convert size" + at)
    check_button_set('convert' + at, conv, [(s, pics[f'convert_{s}']) for s in ('down', 'hover')],
                     covered(shape, k))
    require(pics['convert_down'].bytes_bgr()[0] == FACE, "convert pressed: corner colour" + at)
    hover = pics['convert_hover'].bytes_bgr()
    w, h = conv.w, conv.h
    for x, y in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
        require(hover[y * w + x] == HOVER_KEY, f"convert hover: corner ({x}, {y})" + at)


# Picture names, in the order the resource script lists them.
BITMAPS = [
    ('background', background),
    ('logo', logo),
    ('banner', banner),
    ('close_idle', lambda pct: small_button('close', 'idle', pct)),
    ('close_down', lambda pct: small_button('close', 'down', pct)),
    ('close_hover', lambda pct: small_button('close', 'hover', pct)),
    ('minimize_idle', lambda pct: small_button('minimize', 'idle', pct)),
    ('minimize_down', lambda pct: small_button('minimize', 'down', pct)),
    ('minimize_hover', lambda pct: small_button('minimize', 'hover', pct)),
    ('convert_idle', lambda pct: convert_button('idle', pct)),
    ('convert_down', lambda pct: convert_button('down', pct)),
    ('convert_hover', lambda pct: convert_button('hover', pct)),
]


def file_name(name, pct):
    """close_idle at 100 %: close_idle; at 150 %: close_idle@150."""
    return name if pct == 100 else f"{name}@{pct}"


def write_packed(path, cv):
    """The picture run-length packed, as the window unpacks it (ui/pixmap.h,
    UnpackPixels): "KVP1", width and height (16 bits each, little-endian),
    then the pixels row by row from the top, in records. A record byte n below
    128 is followed by n + 1 pixels as they are; from 128 on, by one pixel that
    repeats n - 126 times. A pixel is three bytes: blue, green, red."""
    px = cv.bytes_bgr()
    out = bytearray(b'KVP1') + struct.pack('<HH', cv.w, cv.h)
    i, n = 0, len(px)
    literal = []

    def flush():
        while literal:
            part = literal[:128]
            del literal[:128]
            out.append(len(part) - 1)
            for r, g, b in part:
                out.extend((b, g, r))
    while i < n:
        j = i + 1
        while j < n and j - i < 129 and px[j] == px[i]:
            j += 1
        if j - i >= 2:
            flush()
            r, g, b = px[i]
            out.append(j - i + 126)
            out.extend((b, g, r))
        else:
            literal.append(px[i])
        i = j
    flush()
    with open(path, 'wb') as f:
        f.write(bytes(out))


def art_ids():
    """The resource ids of ui/art_ids.h by picture name, the id step of one
    scale and the offset of the dark pictures."""
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, '..', '..', 'src', 'ui', 'art_ids.h')) as f:
        text = f.read()
    ids = {m.group(1).lower(): int(m.group(2)) for m in re.finditer(r'#define IDB_(\w+) (\d+)', text)}
    step = int(re.search(r'#define KV_ART_SCALE_STEP (\d+)', text).group(1))
    dark = int(re.search(r'#define KV_ART_DARK_OFFSET (\d+)', text).group(1))
    return ids, step, dark


def write_scaled_rc(path, ids, step, dark):
    """The resource lines of the packed pictures: id = the picture's id plus
    the scale's place in SCALES times the step, plus the dark offset for the
    dark palette's (all packed, 100 % too)."""
    lines = ["// Drawn by tools/art/make_art.py: the window art above 100 %, and the dark art, packed.\n"]
    for index, pct in enumerate(SCALES):
        for name, _ in BITMAPS:
            if pct != 100:
                lines.append(f'{ids[name] + index * step} RCDATA "{file_name(name, pct)}.kvp"\n')
            lines.append(f'{ids[name] + dark + index * step} RCDATA "{file_name(name + "_dark", pct)}.kvp"\n')
    with open(path, 'w') as f:
        f.write(''.join(lines))


def draw_scale(job):
    """One palette at one scale, checked and written; the error, if any."""
    out, palette, pct = job
    use_palette(PALETTES[palette])
    pics = {name: make(pct) for name, make in BITMAPS}
    try:
        check(pics, pct)
    except ArtError as e:
        return f"{palette}: {e}"
    for name, _ in BITMAPS:
        if palette == 'light':
            write_bmp(os.path.join(out, file_name(name, pct) + '.bmp'), pics[name])
            if pct != 100:
                write_packed(os.path.join(out, file_name(name, pct) + '.kvp'), pics[name])
        else:
            write_packed(os.path.join(out, file_name(name + '_dark', pct) + '.kvp'), pics[name])
    return None


def main(argv):
    if len(argv) != 2:
        print("usage: make_art.py OUTDIR", file=sys.stderr)
        return 2
    out = argv[1]
    ids, step, dark = art_ids()
    missing = [name for name, _ in BITMAPS if name not in ids]
    if missing:
        print(f"make_art.py: no resource id for {', '.join(missing)}", file=sys.stderr)
        return 1
    os.makedirs(out, exist_ok=True)
    # The largest scales first, so the two processes end together.
    jobs = [(out, palette, pct) for pct in reversed(SCALES) for palette in PALETTES]
    with multiprocessing.Pool(min(len(jobs), os.cpu_count() or 1)) as pool:
        errors = [e for e in pool.map(draw_scale, jobs, chunksize=1) if e]
    if errors:
        for e in errors:
            print(f"make_art.py: {e}", file=sys.stderr)
        return 1
    use_palette(LIGHT)
    write_scaled_rc(os.path.join(out, 'art_scaled.rc'), ids, step, dark)
    images = []
    for size in (32, 24, 16):
        cv = icon_image(size)
        for entry in (ico_entry_8bit(cv), ico_entry_32bit(cv)):
            colours, bits, data = entry
            images.append((size, colours, bits, data))
    write_ico(os.path.join(out, 'korvello.ico'), images)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
