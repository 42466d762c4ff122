#!/usr/bin/env python3
"""Draws the pictures of the client: flags, markers, icons, the logo and animations.

Writes, under the resources folder:
- countries/<size>x<size>_<code>.png (code: lower-case ISO 3166 alpha-2, plus
  "blank" for a neutral flag) and images/stealth<size>.png, sizes 16, 24 and 32;
- images/app/<size>_app.png, the application's mark (sizes 16 to 256; the two
  largest only for the desktop's icon theme), and
  images/logo.png and images/logo@2x.png, the mark with the word, 44 and 88 px high;
- images/toolbar/<size>x<size>_<name>.png, the tab pictograms;
- images/login.png and images/login@2x.png, the sign-in picture (a person with a
  key), 128 and 256 px;
- sprite strips, frames side by side: animations/status_update (10 frames of
  48 x 48), animations/button_busy (white) and animations/activity (blue), 12
  frames of 16 x 16 each, animations/large_activity (blue, 12 of 64 x 64) and
  animations/horizontal_loading (38 of 100 x 10), each also at twice the size as
  <name>@2x.png; status/connecting32.png and status/connecting64.png (16 frames
  of that size);
- style/extension.png and style/extension@2x.png, the tool bar's overflow arrow.

Only the standard library is used: every pixel is supersampled from a colour
function and the PNG files are written with zlib. The output is deterministic,
so running the script again changes nothing.

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

def write_png_rows(path, width, height, rows, alpha=True):
    """rows: one bytes object per row, RGBA (alpha) or RGB."""
    raw = bytearray()
    for row in rows:
        raw.append(0)
        raw.extend(row)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


def write_png(path, width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples."""
    write_png_rows(path, width, height, (bytes(v for pixel in row for v in pixel) for row in pixels))


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


LARGE_FLAG_SIZES = (64, 128)


def write_large_flags(countries):
    """The flags of the head panel and the status window: 64 px, and 128 px for high-DPI screens."""
    for size in LARGE_FLAG_SIZES:
        for code, draw in sorted(FLAGS.items()):
            write_png(os.path.join(countries, "%dx%d_%s.png" % (size, size, code)), size, size,
                      render_flag(draw, size))
    print("%d flags in %d large sizes" % (len(FLAGS), len(LARGE_FLAG_SIZES)))


# --- The client's own pictures ---------------------------------------------------
# Each is a function paint(x, y) over a unit square (x to the right, y down) that
# gives an (r, g, b, a) colour or None for transparent; `px` is the size of one
# pixel in units, so that thin lines stay at least about a pixel wide.

ACCENT = rgb("73b9ff")
ACCENT_DEEP = rgb("2f85de")
ACCENT_DARK = rgb("1c60a8")
INK = rgb("26344a")
LIGHT = rgb("f6f6f6")


def render(width, height, paint):
    """A width x height picture; paint(x, y) takes a point in pixels."""
    pixels = []
    for py in range(height):
        row = []
        for px in range(width):
            samples = []
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour = paint(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
                    samples.append((0, 0, 0, 0) if colour is None else colour)
            row.append(average(samples))
        pixels.append(row)
    return pixels


def render_square(size, paint):
    """paint(u, v, px) over the unit square, drawn size x size."""
    return render(size, size, lambda x, y: paint(x / size, y / size, 1.0 / size))


def strip(frames):
    """Frames of equal height side by side, the first at the left."""
    return [sum((frame[row] for frame in frames), []) for row in range(len(frames[0]))]


def opaque(colour, alpha=255):
    return colour + (int(round(alpha)),)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def ring(u, v, cx, cy, radius, width):
    return abs(math.hypot(u - cx, v - cy) - radius) <= width / 2


def stroke(u, v, points, width):
    """A polyline with round joins and ends."""
    return any(segment_distance(u, v, x1, y1, x2, y2) <= width / 2
               for (x1, y1), (x2, y2) in zip(points, points[1:]))


def angle_of(u, v, cx, cy):
    """Degrees clockwise from 12 o'clock, 0 to 360."""
    return math.degrees(math.atan2(u - cx, cy - v)) % 360.0


# The mark: a shield in the accent blue that carries a white globe.

def mark(u, v, px, detail=True):
    if not shield(u, v, 0.5, 0.04, 0.44, 0.92):
        return None
    edge = max(0.05, 0.9 * px)
    if not shield(u, v, 0.5, 0.04 + edge, 0.44 - edge, 0.92 - 2 * edge):
        return opaque(ACCENT_DARK)
    line = max(0.055, 1.1 * px)
    cx, cy, radius = 0.5, 0.44, 0.24
    distance = math.hypot(u - cx, v - cy)
    if abs(distance - radius) <= line / 2:
        return opaque(WHITE)
    if distance < radius:
        if abs(v - cy) <= line / 2:
            return opaque(WHITE)
        if detail:
            meridian = math.hypot((u - cx) / (radius * 0.45), (v - cy) / radius)
            if abs(meridian - 1.0) * radius * 0.45 <= line / 2:
                return opaque(WHITE)
    return opaque(mix(ACCENT, ACCENT_DEEP, max(0.0, min(1.0, (v - 0.04) / 0.92))))


def app_icon(size):
    return render_square(size, lambda u, v, px: mark(u, v, px, detail=size >= 24))


# The logo: the mark and the word "Noxel", drawn with strokes in units of the
# logo's height.

STROKE = 0.085
BASELINE = 0.74
X_HEIGHT = 0.40  # top of the small letters
CAP_HEIGHT = 0.24
LETTER_GAP = 0.06


def letter_n(u, v, x):
    w, s = 0.40, STROKE
    if not CAP_HEIGHT <= v <= BASELINE:
        return False
    return stroke(u, v, [(x + s / 2, BASELINE), (x + s / 2, CAP_HEIGHT), (x + w - s / 2, BASELINE),
                         (x + w - s / 2, CAP_HEIGHT)], s)


def bowl(x):
    radius = (BASELINE - X_HEIGHT) / 2
    return x + radius, X_HEIGHT + radius, radius - STROKE / 2


def letter_o(u, v, x):
    cx, cy, r = bowl(x)
    return ring(u, v, cx, cy, r, STROKE)


def letter_x(u, v, x):
    w, s = 0.30, STROKE
    if not X_HEIGHT <= v <= BASELINE:
        return False
    return (segment_distance(u, v, x + s / 3, X_HEIGHT, x + w - s / 3, BASELINE) <= s / 2
            or segment_distance(u, v, x + s / 3, BASELINE, x + w - s / 3, X_HEIGHT) <= s / 2)


def letter_e(u, v, x):
    cx, cy, r = bowl(x)
    if abs(v - cy) <= STROKE / 2 and cx - r <= u <= cx + r:
        return True
    # The bowl is open at the lower right.
    return ring(u, v, cx, cy, r, STROKE) and not 95.0 < angle_of(u, v, cx, cy) < 150.0


def letter_l(u, v, x):
    return x <= u <= x + STROKE and CAP_HEIGHT - 0.02 <= v <= BASELINE


WORD = ((letter_n, 0.40), (letter_o, BASELINE - X_HEIGHT), (letter_x, 0.30),
        (letter_e, BASELINE - X_HEIGHT), (letter_l, STROKE))
WORD_LEFT = 1.12


def logo_width():
    return WORD_LEFT + sum(width for _, width in WORD) + LETTER_GAP * (len(WORD) - 1) + 0.08


def logo(height):
    width = int(math.ceil(logo_width() * height))

    def paint(x, y):
        u, v = x / height, y / height
        if u < 1.0:
            return mark(u, v, 1.0 / height)
        left = WORD_LEFT
        for draw, letter_width in WORD:
            if left - STROKE <= u <= left + letter_width + STROKE and draw(u, v, left):
                return opaque(INK)
            left += letter_width + LETTER_GAP
        return None

    return render(width, height, paint)


# Tab pictograms: light shapes with a soft shadow, for the dark tab bar.

def pictogram(shape):
    def paint(u, v, px):
        if shape(u, v, px):
            return opaque(LIGHT)
        if shape(u - px, v - px, px):
            return (0, 0, 0, 90)
        return None
    return paint


def line_width(px, units):
    return max(units, 1.4 * px)


def tab_connection(u, v, px):
    """A power switch."""
    w = line_width(px, 0.1)
    cx, cy, r = 0.5, 0.55, 0.32
    if ring(u, v, cx, cy, r, w) and not (v < cy and abs(u - cx) < 0.16):
        return True
    return segment_distance(u, v, 0.5, 0.12, 0.5, 0.5) <= w / 2


def tab_preferences(u, v, px):
    """A gear wheel."""
    r = math.hypot(u - 0.5, v - 0.5)
    tooth = (angle_of(u, v, 0.5, 0.5) + 11.25) % 45.0 < 22.5
    return 0.15 < r <= (0.45 if tooth else 0.34)


def tab_log(u, v, px):
    """A written page."""
    w = line_width(px, 0.08)
    inside = 0.18 <= u <= 0.82 and 0.08 <= v <= 0.92
    border = inside and not (0.18 + w <= u <= 0.82 - w and 0.08 + w <= v <= 0.92 - w)
    lines = any(abs(v - row) <= w / 2 and 0.32 <= u <= 0.68 for row in (0.3, 0.45, 0.6, 0.75))
    return border or lines


def tab_my_account(u, v, px):
    """A person."""
    if math.hypot(u - 0.5, v - 0.31) <= 0.18:
        return True
    return v <= 0.9 and math.hypot((u - 0.5) / 0.38, (v - 0.93) / 0.4) <= 1.0


def tab_help(u, v, px):
    """A question mark cut out of a disc."""
    if math.hypot(u - 0.5, v - 0.5) > 0.45:
        return False
    w = line_width(px, 0.1)
    cx, cy, r = 0.5, 0.38, 0.13
    hook = ring(u, v, cx, cy, r, w) and not 135.0 < angle_of(u, v, cx, cy) < 270.0
    end = (cx + r * math.sin(math.radians(135)), cy - r * math.cos(math.radians(135)))
    stem = stroke(u, v, [end, (0.5, 0.56), (0.5, 0.62)], w)
    dot = math.hypot(u - 0.5, v - 0.76) <= w * 0.65
    return not (hook or stem or dot)


def tab_debug(u, v, px):
    """A beetle."""
    w = line_width(px, 0.06)
    if math.hypot((u - 0.5) / 0.2, (v - 0.6) / 0.27) <= 1.0:
        return not (px < 1 / 24.0 and abs(u - 0.5) <= w / 3 and v > 0.4)
    if math.hypot(u - 0.5, v - 0.28) <= 0.11:
        return True
    legs = [((0.33, 0.46), (0.13, 0.36)), ((0.31, 0.62), (0.1, 0.62)), ((0.34, 0.76), (0.15, 0.88)),
            ((0.46, 0.2), (0.37, 0.08))]
    for (x1, y1), (x2, y2) in legs:
        if (segment_distance(u, v, x1, y1, x2, y2) <= w / 2
                or segment_distance(u, v, 1 - x1, y1, 1 - x2, y2) <= w / 2):
            return True
    return False


TABS = {
    "connection": tab_connection,
    "preferences": tab_preferences,
    "log": tab_log,
    "my_account": tab_my_account,
    "help": tab_help,
    "debug": tab_debug,
}
TAB_SIZES = (16, 24, 32, 48, 64)


# The sign-in picture: a person on a blue disc, with a key on a white badge at
# the lower right, cut free of the disc by a transparent gap.

def login_picture(u, v, px):
    bx, by, badge = 0.73, 0.73, 0.22
    edge = max(0.02, 1.2 * px)
    to_badge = math.hypot(u - bx, v - by)
    if to_badge <= badge:
        if to_badge > badge - edge:
            return opaque(ACCENT_DARK)
        w = max(0.045, 1.4 * px)
        bow = ring(u, v, 0.65, by, 0.055, w)
        blade = stroke(u, v, [(0.65 + 0.055, by), (0.86, by)], w)
        teeth = stroke(u, v, [(0.79, by), (0.79, by + 0.06)], w) or stroke(u, v, [(0.845, by), (0.845, by + 0.075)], w)
        return opaque(ACCENT_DARK if bow or blade or teeth else WHITE)
    if to_badge <= badge + 0.045:
        return None
    cx, cy, radius = 0.45, 0.45, 0.42
    distance = math.hypot(u - cx, v - cy)
    if distance > radius:
        return None
    if distance > radius - edge:
        return opaque(ACCENT_DARK)
    head = math.hypot(u - cx, v - 0.33) <= 0.115
    body = v <= 0.9 and math.hypot((u - cx) / 0.23, (v - 0.73) / 0.2) <= 1.0
    if head or body:
        return opaque(WHITE)
    return opaque(mix(ACCENT, ACCENT_DEEP, max(0.0, min(1.0, (v - cy + radius) / (2 * radius)))))


# Sprite strips: frame k of n, each frame drawn on its own and put side by side.

def trail(index, head, count):
    """1 for the leading element of a turning ring, fading to 0.15 behind it."""
    behind = (head - index) % count
    return 1.0 - 0.85 * behind / (count - 1)


def spinner(count, dot, colour):
    """A ring of `count` dots; frame `head` lights dot `head` brightest."""
    def frame(head):
        def paint(u, v, px):
            for i in range(count):
                t = math.radians(i * 360.0 / count)
                if math.hypot(u - 0.5 - 0.34 * math.sin(t), v - 0.5 + 0.34 * math.cos(t)) <= dot:
                    return opaque(colour, 255 * trail(i, head, count))
            return None
        return paint
    return frame


def spokes(count, colour, width=0.1):
    def frame(head):
        def paint(u, v, px):
            w = line_width(px, width)
            for i in range(count):
                t = math.radians(i * 360.0 / count)
                sx, sy = math.sin(t), -math.cos(t)
                if segment_distance(u, v, 0.5 + 0.2 * sx, 0.5 + 0.2 * sy, 0.5 + 0.4 * sx, 0.5 + 0.4 * sy) <= w / 2:
                    return opaque(colour, 255 * trail(i, head, count))
            return None
        return paint
    return frame


def connecting(count):
    """The mark, small, with an arc turning around it."""
    def frame(k):
        head = k * 360.0 / count

        def paint(u, v, px):
            w = line_width(px, 0.09)
            if ring(u, v, 0.5, 0.5, 0.43, w):
                behind = (head - angle_of(u, v, 0.5, 0.5)) % 360.0
                if behind <= 150.0:
                    return opaque(ACCENT_DEEP, 255 * (1.0 - 0.8 * behind / 150.0))
                return opaque(ACCENT, 60)
            scale = 0.56
            return mark((u - 0.5) / scale + 0.5, (v - 0.5) / scale + 0.5, px / scale, detail=px < 1 / 48.0)
        return paint
    return frame


def square_strip(size, count, frame):
    return strip([render_square(size, frame(k)) for k in range(count)])


LOADING_SIZE = (100, 10)  # one frame, at the scale of 1


def loading(count, scale):
    """A light track with a blue stretch sliding through it from left to right."""
    width, height = LOADING_SIZE
    radius = height * 0.2
    length = width * 0.3

    def frame(k):
        start = -length + (width + length) * k / count

        def paint(x, y):
            x, y = x / scale, y / scale
            if segment_distance(x, y, 2 + radius, height / 2, width - 2 - radius, height / 2) > radius:
                return None
            return opaque(ACCENT if start <= x <= start + length else rgb("dddddd"))
        return paint

    return strip([render(width * scale, height * scale, frame(k)) for k in range(count)])


def extension_arrow(u, v, px):
    """The tool bar's overflow mark: two chevrons."""
    w = line_width(px, 0.13)
    for shift in (0.0, 0.36):
        if stroke(u, v, [(0.16 + shift, 0.2), (0.46 + shift, 0.5), (0.16 + shift, 0.8)], w):
            return opaque(rgb("e8e8e8"))
    return None


# Square sprite strips: file, frame count, frame size, frame painter.
STATUS_UPDATE = spinner(10, 0.075, WHITE)
BUTTON_BUSY = spokes(12, WHITE)
ACTIVITY = spokes(12, ACCENT_DEEP)
# Thinner spokes: at 64 px the small one's would look heavy.
LARGE_ACTIVITY = spokes(12, ACCENT_DEEP, 0.07)
CONNECTING = connecting(16)
STRIPS = (
    ("animations/status_update.png", 10, 48, STATUS_UPDATE),
    ("animations/status_update@2x.png", 10, 96, STATUS_UPDATE),
    ("animations/button_busy.png", 12, 16, BUTTON_BUSY),
    ("animations/button_busy@2x.png", 12, 32, BUTTON_BUSY),
    ("animations/activity.png", 12, 16, ACTIVITY),
    ("animations/activity@2x.png", 12, 32, ACTIVITY),
    ("animations/large_activity.png", 12, 64, LARGE_ACTIVITY),
    ("animations/large_activity@2x.png", 12, 128, LARGE_ACTIVITY),
    ("status/connecting32.png", 16, 32, CONNECTING),
    ("status/connecting64.png", 16, 64, CONNECTING),
)


def write_client_pictures(root):
    for folder in ("images/app", "images/toolbar", "animations", "status", "style"):
        os.makedirs(os.path.join(root, folder), exist_ok=True)

    def save(name, pixels):
        write_png(os.path.join(root, name), len(pixels[0]), len(pixels), pixels)

    for size in (16, 20, 24, 32, 48, 64, 128, 256):
        save("images/app/%d_app.png" % size, app_icon(size))
    save("images/logo.png", logo(44))
    save("images/logo@2x.png", logo(88))
    save("images/login.png", render_square(128, login_picture))
    save("images/login@2x.png", render_square(256, login_picture))
    for name, shape in sorted(TABS.items()):
        for size in TAB_SIZES:
            save("images/toolbar/%dx%d_%s.png" % (size, size, name), render_square(size, pictogram(shape)))
    for name, count, size, frame in STRIPS:
        save(name, square_strip(size, count, frame))
    save("animations/horizontal_loading.png", loading(38, 1))
    save("animations/horizontal_loading@2x.png", loading(38, 2))
    save("style/extension.png", render_square(10, extension_arrow))
    save("style/extension@2x.png", render_square(20, extension_arrow))


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
    write_client_pictures(root)
    print("the application icon, the logo, the sign-in picture, the tab pictograms, the animations and the "
          "style's arrow")
    write_large_flags(countries)


if __name__ == "__main__":
    main()
