#!/usr/bin/env python3
"""Draws the country flags and the stealth marker the server lists show.

Writes resources/countries/<size>x<size>_<code>.png (code: lower-case ISO 3166
alpha-2, plus "blank" for a neutral flag) and resources/images/stealth<size>.png
for the sizes 16, 24 and 32. Only the standard library is used: every pixel is
supersampled from a colour function and the PNG files are written with zlib.
The output is deterministic, so running the script again changes nothing.

    python3 tools/make-images/make_images.py [resources folder]
"""

import math
import os
import struct
import sys
import zlib

SIZES = (16, 24, 32)
SAMPLES = 4  # per axis and pixel
BORDER = (140, 140, 140)


# --- PNG ---------------------------------------------------------------------

def write_png(path, width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw.extend((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


# --- Geometry ----------------------------------------------------------------
# A flag is a function (x, y, a) -> colour, in units of the flag's height:
# x runs from 0 to a (the width), y from 0 (top) to 1 (bottom).

def rgb(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


WHITE = rgb("ffffff")
BLACK = rgb("000000")


def stripes(t, colours, weights=None):
    """The colour of stripe t (0..1) among stripes of the given weights."""
    weights = weights or [1] * len(colours)
    total = float(sum(weights))
    edge = 0.0
    for colour, weight in zip(colours, weights):
        edge += weight / total
        if t < edge:
            return colour
    return colours[-1]


def circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def star_points(cx, cy, outer, inner, points=5, angle=-90.0):
    result = []
    for i in range(points * 2):
        r = outer if i % 2 == 0 else inner
        t = math.radians(angle + i * 180.0 / points)
        result.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    return result


def star(x, y, cx, cy, outer, inner=None, points=5, angle=-90.0):
    if not circle(x, y, cx, cy, outer):
        return False
    inner = inner if inner is not None else outer * 0.382
    return polygon(x, y, star_points(cx, cy, outer, inner, points, angle))


def segment_distance(x, y, x1, y1, x2, y2):
    dx, dy = x2 - x1, y2 - y1
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / length))
    return math.hypot(x - (x1 + t * dx), y - (y1 + t * dy))


def rotated(x, y, cx, cy, degrees):
    t = math.radians(degrees)
    dx, dy = x - cx, y - cy
    return cx + dx * math.cos(t) + dy * math.sin(t), cy - dx * math.sin(t) + dy * math.cos(t)


def cross(x, y, cx, cy, half_width, reach_x=99.0, reach_y=99.0):
    return ((abs(x - cx) <= half_width and abs(y - cy) <= reach_y)
            or (abs(y - cy) <= half_width and abs(x - cx) <= reach_x))


def nordic(bg, outer, inner=None):
    def draw(x, y, a):
        cx = a * 0.38
        if inner and cross(x, y, cx, 0.5, 0.055):
            return inner
        if cross(x, y, cx, 0.5, 0.11):
            return outer
        return bg
    return draw


def horizontal(*colours, weights=None):
    return lambda x, y, a: stripes(y, colours, weights)


def vertical(*colours, weights=None):
    return lambda x, y, a: stripes(x / a, colours, weights)


def shield(x, y, cx, top, half_width, height):
    """A heater shield: straight top and sides, round at the bottom."""
    if abs(x - cx) > half_width or y < top or y > top + height:
        return False
    straight = top + height * 0.45
    if y <= straight:
        return True
    t = (y - straight) / (top + height - straight)
    return abs(x - cx) <= half_width * math.sqrt(max(0.0, 1.0 - t * t))


# --- Union flag, for GB and the cantons of AU and NZ ---------------------------

UJ_BLUE, UJ_RED = rgb("012169"), rgb("c8102e")


def union_jack(x, y, w, h):
    diagonal = min(segment_distance(x, y, 0, 0, w, h), segment_distance(x, y, 0, h, w, 0))
    if cross(x, y, w / 2, h / 2, h * 0.1):
        return UJ_RED
    if cross(x, y, w / 2, h / 2, h / 6):
        return WHITE
    if diagonal <= h * 0.04:
        return UJ_RED
    if diagonal <= h * 0.1:
        return WHITE
    return UJ_BLUE


# --- The flags -----------------------------------------------------------------

def flag_gb(x, y, a):
    return union_jack(x, y, a, 1.0)


def ensign(star_colour, southern):
    """Blue ensign with the union flag in the canton (AU, NZ)."""
    def draw(x, y, a):
        if x < a / 2 and y < 0.5:
            return union_jack(x, y, a / 2, 0.5)
        if southern:
            if star(x, y, a / 4, 0.75, 0.15, 0.07, points=7):
                return WHITE
            for sx, sy, r in ((0.75, 0.2, 0.07), (0.63, 0.45, 0.07), (0.87, 0.38, 0.07), (0.75, 0.84, 0.07),
                              (0.81, 0.56, 0.04)):
                if star(x, y, sx * a, sy, r):
                    return WHITE
        else:
            for sx, sy in ((0.75, 0.2), (0.64, 0.45), (0.86, 0.4), (0.75, 0.82)):
                if star(x, y, sx * a, sy, 0.06):
                    return star_colour
                if star(x, y, sx * a, sy, 0.09):
                    return WHITE
        return UJ_BLUE
    return draw


def flag_us(x, y, a):
    if x < 0.4 * a and y < 7 / 13:
        cx = (x / (0.4 * a)) * 6
        cy = (y / (7 / 13)) * 5
        if abs(cx - math.floor(cx) - 0.5) < 0.22 and abs(cy - math.floor(cy) - 0.5) < 0.22:
            return WHITE
        return rgb("3c3b6e")
    return stripes(y, [rgb("b22234"), WHITE] * 6 + [rgb("b22234")])


MAPLE = [(0.0, -1.0), (0.2, -0.62), (0.42, -0.72), (0.34, -0.22), (0.78, -0.5), (0.68, -0.18),
         (0.95, -0.08), (0.55, 0.28), (0.62, 0.45), (0.08, 0.38), (0.06, 0.9)]
MAPLE = MAPLE + [(-px, py) for px, py in reversed(MAPLE)]


def flag_ca(x, y, a):
    red = rgb("d80621")
    if x < a / 4 or x > a * 3 / 4:
        return red
    if polygon((x - a / 2) / 0.33, (y - 0.5) / 0.33, MAPLE):
        return red
    return WHITE


def flag_mx(x, y, a):
    if circle(x, y, a / 2, 0.5, 0.13):
        return rgb("8c5a2b")
    return stripes(x / a, [rgb("006847"), WHITE, rgb("ce1126")])


def flag_br(x, y, a):
    if circle(x, y, a / 2, 0.5, 0.24):
        if abs(math.hypot(x - a / 2 + 0.1, y - 1.25) - 0.82) < 0.035:
            return WHITE
        return rgb("002776")
    if abs(x - a / 2) / (a / 2 - 0.1) + abs(y - 0.5) / 0.4 <= 1:
        return rgb("ffdf00")
    return rgb("009c3b")


def flag_ar(x, y, a):
    if circle(x, y, a / 2, 0.5, 0.1):
        return rgb("f6b40e")
    return stripes(y, [rgb("74acdf"), WHITE, rgb("74acdf")])


def flag_cl(x, y, a):
    if y >= 0.5:
        return rgb("d52b1e")
    if x < 0.5:
        return WHITE if star(x, y, 0.25, 0.25, 0.13) else rgb("0039a6")
    return WHITE


def flag_jp(x, y, a):
    return rgb("bc002d") if circle(x, y, a / 2, 0.5, 0.3) else WHITE


def flag_kr(x, y, a):
    cx, cy, r = a / 2, 0.5, 0.25
    for angle in (33.7, -33.7):
        for side in (-1, 1):
            t = math.radians(angle)
            tx, ty = cx + side * 0.47 * math.cos(t), cy - side * 0.47 * math.sin(t)
            u, v = rotated(x, y, tx, ty, angle)
            if abs(u - tx) <= 0.06 and abs(v - ty) <= 0.12:
                return BLACK
    if not circle(x, y, cx, cy, r):
        return WHITE
    u, v = rotated(x, y, cx, cy, -33.7)
    if circle(u, v, cx - r / 2, cy, r / 2):
        return rgb("cd2e3a")
    if circle(u, v, cx + r / 2, cy, r / 2):
        return rgb("0047a0")
    return rgb("cd2e3a") if v < cy else rgb("0047a0")


def flag_sg(x, y, a):
    if y >= 0.5:
        return WHITE
    if circle(x, y, 0.3, 0.25, 0.17) and not circle(x, y, 0.36, 0.25, 0.155):
        return WHITE
    for i in range(5):
        t = math.radians(-90 + i * 72)
        if star(x, y, 0.5 + 0.09 * math.cos(t), 0.25 + 0.09 * math.sin(t), 0.035):
            return WHITE
    return rgb("ef3340")


def flag_hk(x, y, a):
    dx, dy = x - a / 2, y - 0.5
    r, t = math.hypot(dx, dy), math.atan2(dy, dx)
    if r <= 0.32 * (0.3 + 0.7 * abs(math.cos(2.5 * (t + math.pi / 2)))):
        return WHITE
    return rgb("de2910")


def flag_in(x, y, a):
    d = math.hypot(x - a / 2, y - 0.5)
    if d <= 0.14 and (d >= 0.1 or d <= 0.035):
        return rgb("000080")
    return stripes(y, [rgb("ff9933"), WHITE, rgb("138808")])


def flag_tw(x, y, a):
    if x < a / 2 and y < 0.5:
        cx, cy = a / 4, 0.25
        if circle(x, y, cx, cy, 0.075):
            return WHITE
        if circle(x, y, cx, cy, 0.09):
            return rgb("000095")
        if star(x, y, cx, cy, 0.18, 0.1, points=12):
            return WHITE
        return rgb("000095")
    return rgb("fe0000")


def flag_my(x, y, a):
    if x < a / 2 and y < 8 / 14:
        cy = 4 / 14
        if circle(x, y, 0.24, cy, 0.2) and not circle(x, y, 0.3, cy, 0.17):
            return rgb("ffcc00")
        if star(x, y, 0.52, cy, 0.14, 0.06, points=14):
            return rgb("ffcc00")
        return rgb("010066")
    return stripes(y, [rgb("cc0001"), WHITE] * 7)


def flag_ph(x, y, a):
    if polygon(x, y, [(0, 0), (0, 1), (0.866, 0.5)]):
        if star(x, y, 0.3, 0.5, 0.17, 0.07, points=8, angle=0) or circle(x, y, 0.3, 0.5, 0.08):
            return rgb("fcd116")
        for sx, sy in ((0.07, 0.1), (0.07, 0.9), (0.73, 0.5)):
            if star(x, y, sx, sy, 0.05):
                return rgb("fcd116")
        return WHITE
    return rgb("0038a8") if y < 0.5 else rgb("ce1126")


def flag_cn(x, y, a):
    yellow = rgb("ffde00")
    if star(x, y, 0.25, 0.25, 0.15):
        return yellow
    for sx, sy in ((0.5, 0.1), (0.6, 0.2), (0.6, 0.35), (0.5, 0.45)):
        if star(x, y, sx, sy, 0.05):
            return yellow
    return rgb("ee1c25")


def flag_vn(x, y, a):
    return rgb("ffcd00") if star(x, y, a / 2, 0.52, 0.3) else rgb("da251d")


def flag_kz(x, y, a):
    yellow = rgb("fec50c")
    if 0.05 <= x <= 0.11 and (y * 10) % 1.0 < 0.6:
        return yellow
    if circle(x, y, a / 2, 0.45, 0.13) or (star(x, y, a / 2, 0.45, 0.22, 0.15, points=16)
                                           and not circle(x, y, a / 2, 0.45, 0.15)):
        return yellow
    if abs(y - 0.75) < 0.03 and abs(x - a / 2) < 0.25:
        return yellow
    return rgb("00afca")


def flag_za(x, y, a):
    jx = 0.55
    d = min(segment_distance(x, y, 0, 0, jx, 0.5), segment_distance(x, y, 0, 1, jx, 0.5),
            segment_distance(x, y, jx, 0.5, a, 0.5))
    if d <= 0.1:
        return rgb("007749")
    if d <= 0.167:
        return WHITE
    inside = x < jx and 0.5 * x / jx < y < 1 - 0.5 * x / jx
    if inside:
        return rgb("ffb612") if d <= 0.23 else BLACK
    return rgb("e03c31") if y < 0.5 else rgb("001489")


def flag_eg(x, y, a):
    if abs(y - 0.5) < 0.12 and abs(x - a / 2) < 0.08:
        return rgb("c09300")
    return stripes(y, [rgb("ce1126"), WHITE, BLACK])


def flag_tr(x, y, a):
    if circle(x, y, 0.5, 0.5, 0.25) and not circle(x, y, 0.5625, 0.5, 0.2):
        return WHITE
    if star(x, y, 0.85, 0.5, 0.125, angle=180):
        return WHITE
    return rgb("e30a17")


def flag_il(x, y, a):
    blue = rgb("0038b8")
    if 0.1 <= y <= 0.24 or 0.76 <= y <= 0.9:
        return blue
    cx, cy = a / 2, 0.5

    def triangle(r, flip):
        s = -1 if flip else 1
        return [(cx + r * math.cos(math.radians(t)), cy + s * r * math.sin(math.radians(t))) for t in (-90, 30, 150)]

    # Two interlaced triangle outlines.
    for flip in (False, True):
        if polygon(x, y, triangle(0.22, flip)) and not polygon(x, y, triangle(0.15, flip)):
            return blue
    return WHITE


def flag_ae(x, y, a):
    if x < a / 4:
        return rgb("ff0000")
    return stripes(y, [rgb("00732f"), WHITE, BLACK])


def flag_sa(x, y, a):
    if 0.27 <= y <= 0.47 and abs(x - a / 2) <= 0.38 and (x * 16) % 1.0 < 0.45:
        return WHITE
    if abs(y - 0.64) <= 0.025 and abs(x - a / 2) <= 0.36:
        return WHITE
    return rgb("006c35")


def flag_ch(x, y, a):
    if cross(x, y, a / 2, 0.5, 0.1, 0.3, 0.3):
        return WHITE
    return rgb("da291c")


def flag_cz(x, y, a):
    if polygon(x, y, [(0, 0), (0, 1), (a / 2, 0.5)]):
        return rgb("11457e")
    return WHITE if y < 0.5 else rgb("d7141a")


def flag_gr(x, y, a):
    blue = rgb("0d5eaf")
    if x < 5 / 9 and y < 5 / 9:
        return WHITE if cross(x, y, 2.5 / 9, 2.5 / 9, 0.5 / 9) else blue
    return stripes(y, [blue, WHITE] * 4 + [blue])


def flag_hr(x, y, a):
    left, top, size = a / 2 - 0.13, 0.3, 0.26 / 5
    if shield(x, y, a / 2, top, 0.13, 0.33):
        return rgb("ff0000") if (int((x - left) / size) + int((y - top) / size)) % 2 == 0 else WHITE
    return stripes(y, [rgb("ff0000"), WHITE, rgb("171796")])


def flag_pt(x, y, a):
    cx = 0.4 * a
    if circle(x, y, cx, 0.5, 0.11):
        return WHITE if circle(x, y, cx, 0.5, 0.06) else rgb("ff0000")
    if circle(x, y, cx, 0.5, 0.2):
        return rgb("ffff00")
    return rgb("006600") if x < cx else rgb("ff0000")


def flag_md(x, y, a):
    if shield(x, y, a / 2, 0.32, 0.09, 0.36):
        return rgb("b07e3a")
    return stripes(x / a, [rgb("0046ae"), rgb("ffd200"), rgb("cc092f")])


def flag_mt(x, y, a):
    if cross(x, y, 0.16, 0.16, 0.025, 0.09, 0.09):
        return rgb("a0a0a0")
    return WHITE if x < a / 2 else rgb("cf142b")


def flag_sk(x, y, a):
    cx, top = 0.42, 0.2
    if shield(x, y, cx, top, 0.2, 0.6):
        if not shield(x, y, cx, top + 0.03, 0.17, 0.54):
            return WHITE
        if y > 0.62:
            return rgb("0b4ea2")
        if cross(x, y, cx, 0.44, 0.025, 0.1, 0.17):
            return WHITE
        return rgb("ee1c25")
    return stripes(y, [WHITE, rgb("0b4ea2"), rgb("ee1c25")])


def flag_si(x, y, a):
    cx, top = 0.38, 0.14
    if shield(x, y, cx, top, 0.12, 0.32):
        if not shield(x, y, cx, top + 0.02, 0.1, 0.28):
            return rgb("ed1c24")
        if polygon(x, y, [(cx - 0.1, 0.38), (cx, 0.24), (cx + 0.1, 0.38)]):
            return WHITE
        return rgb("005da4")
    return stripes(y, [WHITE, rgb("005da4"), rgb("ed1c24")])


def flag_rs(x, y, a):
    cx, top = 0.45, 0.22
    if shield(x, y, cx, top, 0.15, 0.48):
        if cross(x, y, cx, 0.44, 0.03, 0.1, 0.15):
            return WHITE
        return rgb("c6363c")
    return stripes(y, [rgb("c6363c"), rgb("0c4076"), WHITE])


def flag_ge(x, y, a):
    red = rgb("ff0000")
    if cross(x, y, a / 2, 0.5, 0.1):
        return red
    for qx in (a / 4 - 0.05, a * 3 / 4 + 0.05):
        for qy in (0.2, 0.8):
            if cross(x, y, qx, qy, 0.025, 0.08, 0.08):
                return red
    return WHITE


FLAGS = {
    "ae": flag_ae,
    "ar": flag_ar,
    "at": horizontal(rgb("ed2939"), WHITE, rgb("ed2939")),
    "au": ensign(WHITE, True),
    "be": vertical(BLACK, rgb("fae042"), rgb("ed2939")),
    "bg": horizontal(WHITE, rgb("00966e"), rgb("d62612")),
    "br": flag_br,
    "ca": flag_ca,
    "ch": flag_ch,
    "cl": flag_cl,
    "cn": flag_cn,
    "co": horizontal(rgb("fcd116"), rgb("003893"), rgb("ce1126"), weights=[2, 1, 1]),
    "cz": flag_cz,
    "de": horizontal(BLACK, rgb("dd0000"), rgb("ffce00")),
    "dk": nordic(rgb("c8102e"), WHITE),
    "ee": horizontal(rgb("0072ce"), BLACK, WHITE),
    "eg": flag_eg,
    "es": horizontal(rgb("aa151b"), rgb("f1bf00"), rgb("aa151b"), weights=[1, 2, 1]),
    "fi": nordic(WHITE, rgb("003580")),
    "fr": vertical(rgb("0055a4"), WHITE, rgb("ef4135")),
    "gb": flag_gb,
    "ge": flag_ge,
    "gr": flag_gr,
    "hk": flag_hk,
    "hr": flag_hr,
    "hu": horizontal(rgb("cd2a3e"), WHITE, rgb("436f4d")),
    "id": horizontal(rgb("ff0000"), WHITE),
    "ie": vertical(rgb("169b62"), WHITE, rgb("ff883e")),
    "il": flag_il,
    "in": flag_in,
    "is": nordic(rgb("02529c"), WHITE, rgb("dc1e35")),
    "it": vertical(rgb("009246"), WHITE, rgb("ce2b37")),
    "jp": flag_jp,
    "kr": flag_kr,
    "kz": flag_kz,
    "lt": horizontal(rgb("fdb913"), rgb("006a44"), rgb("c1272d")),
    "lu": horizontal(rgb("ea141d"), WHITE, rgb("51adda")),
    "lv": horizontal(rgb("9e3039"), WHITE, rgb("9e3039"), weights=[2, 1, 2]),
    "md": flag_md,
    "mt": flag_mt,
    "mx": flag_mx,
    "my": flag_my,
    "nl": horizontal(rgb("ae1c28"), WHITE, rgb("21468b")),
    "no": nordic(rgb("ba0c2f"), WHITE, rgb("00205b")),
    "nz": ensign(rgb("c8102e"), False),
    "pe": vertical(rgb("d91023"), WHITE, rgb("d91023")),
    "ph": flag_ph,
    "pl": horizontal(WHITE, rgb("dc143c")),
    "pt": flag_pt,
    "ro": vertical(rgb("002b7f"), rgb("fcd116"), rgb("ce1126")),
    "rs": flag_rs,
    "ru": horizontal(WHITE, rgb("0039a6"), rgb("d52b1e")),
    "sa": flag_sa,
    "se": nordic(rgb("006aa7"), rgb("fecc02")),
    "sg": flag_sg,
    "si": flag_si,
    "sk": flag_sk,
    "th": horizontal(rgb("a51931"), WHITE, rgb("2d2a4a"), WHITE, rgb("a51931"), weights=[1, 1, 2, 1, 1]),
    "tr": flag_tr,
    "tw": flag_tw,
    "ua": horizontal(rgb("0057b7"), rgb("ffd700")),
    "us": flag_us,
    "vn": flag_vn,
    "za": flag_za,
    # Neutral flag for a country without a picture of its own.
    "blank": lambda x, y, a: rgb("e4e4e4"),
}


# --- Rendering -----------------------------------------------------------------

def average(colours):
    """Mean of (r, g, b, a) samples, with colour weighted by alpha."""
    alpha = sum(c[3] for c in colours)
    if alpha == 0:
        return (0, 0, 0, 0)
    mean = [sum(c[i] * c[3] for c in colours) / alpha for i in range(3)]
    return tuple(int(round(v)) for v in mean) + (int(round(alpha / len(colours))),)


def render_flag(draw, size):
    """A size x size picture with the flag centred, 3:2-ish, in a grey frame."""
    height = int(round(size * 2 / 3))
    top = (size - height) // 2
    inner_w, inner_h = size - 2, height - 2
    aspect = inner_w / inner_h
    pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]
    for py in range(top, top + height):
        for px in range(size):
            if px in (0, size - 1) or py in (top, top + height - 1):
                pixels[py][px] = BORDER + (255,)
                continue
            samples = []
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px - 1 + (sx + 0.5) / SAMPLES) / inner_h
                    y = (py - top - 1 + (sy + 0.5) / SAMPLES) / inner_h
                    samples.append(draw(x, y, aspect) + (255,))
            pixels[py][px] = average(samples)
    return pixels


def stealth_colour(x, y):
    """The stealth marker in a unit square: a dark shield wearing a white mask."""
    if not shield(x, y, 0.5, 0.04, 0.42, 0.92):
        return None
    if not shield(x, y, 0.5, 0.1, 0.36, 0.81):
        return rgb("1f2f3f")
    band = abs(y - 0.42) <= 0.13 and abs(x - 0.5) <= 0.34
    eye = (((x - 0.33) / 0.1) ** 2 + ((y - 0.42) / 0.065) ** 2 <= 1
           or ((x - 0.67) / 0.1) ** 2 + ((y - 0.42) / 0.065) ** 2 <= 1)
    if band and not eye:
        return WHITE
    return rgb("3d5a78")


def render_stealth(size):
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            samples = []
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour = stealth_colour((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    samples.append((0, 0, 0, 0) if colour is None else colour + (255,))
            row.append(average(samples))
        pixels.append(row)
    return pixels


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "resources")
    countries = os.path.join(root, "countries")
    images = os.path.join(root, "images")
    os.makedirs(countries, exist_ok=True)
    os.makedirs(images, exist_ok=True)
    for size in SIZES:
        for code, draw in sorted(FLAGS.items()):
            write_png(os.path.join(countries, "%dx%d_%s.png" % (size, size, code)), size, size,
                      render_flag(draw, size))
        write_png(os.path.join(images, "stealth%d.png" % size), size, size, render_stealth(size))
    print("%d flags and the stealth marker in %d sizes" % (len(FLAGS), len(SIZES)))


if __name__ == "__main__":
    main()
