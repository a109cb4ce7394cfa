#!/usr/bin/env python3
"""Draws the applet's artwork: the tray icon and the three remote-control pictures.

  Ravlet.ico     32x32, 256 colours (8 bits per pixel, palette + 1-bit transparency mask), then
                 the same drawing at 16, 20, 24, 32, 40 and 48 pixels, 32-bit with alpha
  remote51.bmp   62x240, 24-bit, the 51-key remote
  remote32.bmp   78x240, 24-bit, the 32-key remote
  remote28.bmp   150x240, 24-bit, the 28-key remote
  remoteNN_2x.dibz  each remote at twice that size, for screens above 96 DPI: a packed DIB
                 (BITMAPINFOHEADER and 24-bit rows), zlib-compressed (a fifth of the raw size)

Standard library only. Shapes are signed distances (negative inside), so every edge is
anti-aliased with one sample per pixel. Run: python3 make_art.py [OUT_DIR] (default: here).
"""
import math
import os
import struct
import sys


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


# --- signed distances ----------------------------------------------------------------------

def sd_round_rect(px, py, cx, cy, hw, hh, r):
    qx = abs(px - cx) - hw + r
    qy = abs(py - cy) - hh + r
    return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r


def sd_circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def sd_ellipse(px, py, cx, cy, rx, ry):
    # good enough for small, nearly round ellipses
    k = math.hypot((px - cx) / rx, (py - cy) / ry)
    return (k - 1.0) * min(rx, ry)


def sd_segment(px, py, ax, ay, bx, by, half_width):
    dx, dy = bx - ax, by - ay
    t = clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy))
    return math.hypot(px - ax - t * dx, py - ay - t * dy) - half_width


def sd_arc(px, py, cx, cy, r, half_width, a0, a1):
    """Ring of radius r between angles a0..a1 (radians, y down), with round ends."""
    ang = math.atan2(py - cy, px - cx)
    if a0 <= ang <= a1:
        return abs(math.hypot(px - cx, py - cy) - r) - half_width
    ends = [(cx + r * math.cos(a), cy + r * math.sin(a)) for a in (a0, a1)]
    return min(math.hypot(px - ex, py - ey) for ex, ey in ends) - half_width


def sd_power_ring(px, py, cx, cy, r, half_width, gap=0.7):
    """A ring open at the top, as in the power sign."""
    ang = math.atan2(py - cy, px - cx)
    if abs(ang + math.pi / 2) > gap:
        return abs(math.hypot(px - cx, py - cy) - r) - half_width
    ends = [(cx + r * math.cos(a), cy + r * math.sin(a)) for a in (-math.pi / 2 - gap, -math.pi / 2 + gap)]
    return min(math.hypot(px - ex, py - ey) for ex, ey in ends) - half_width


def sd_triangle(px, py, pts):
    """Convex triangle, counter-clockwise or clockwise."""
    d = float("inf")
    inside = True
    sign = None
    for i in range(3):
        ax, ay = pts[i]
        bx, by = pts[(i + 1) % 3]
        d = min(d, sd_segment(px, py, ax, ay, bx, by, 0.0))
        cross = (bx - ax) * (py - ay) - (by - ay) * (px - ax)
        s = cross >= 0
        if sign is None:
            sign = s
        elif s != sign:
            inside = False
    return -d if inside else d


# --- canvas --------------------------------------------------------------------------------

class Canvas:
    """RGBA canvas; colours 0..255, alpha 0..1 (straight, not premultiplied).

    Drawing works in design units; `scale` output pixels make one unit, so the same drawing comes
    out at any size with edges one output pixel soft."""

    def __init__(self, w, h, ground=None, scale=1):
        self.scale = scale
        self.w, self.h = int(round(w * scale)), int(round(h * scale))
        if ground is None:
            self.px = [(0.0, 0.0, 0.0, 0.0)] * (self.w * self.h)
        else:
            self.px = [tuple(ground) + (1.0,)] * (self.w * self.h)

    def paint(self, box, sdf, colour, alpha=1.0, soft=1.0):
        """Blends colour (tuple or function of x, y) where sdf < 0 over box = (x0, y0, x1, y1).
        soft > 1 widens the edge ramp to that many units (for shadows and glows)."""
        k = self.scale
        ramp = soft * k if soft > 1.0 else 1.0
        # the box covers whole units: from the unit of its first corner to the unit of its last
        x0, y0 = (int(math.floor(v) * k) for v in box[:2])
        x1, y1 = (int((math.floor(v) + 1) * k) - 1 for v in box[2:])
        for y in range(max(y0, 0), min(y1 + 1, self.h)):
            for x in range(max(x0, 0), min(x1 + 1, self.w)):
                fx, fy = (x + 0.5) / k, (y + 0.5) / k
                cover = clamp(0.5 - sdf(fx, fy) * k / ramp) * alpha
                if cover <= 0.0:
                    continue
                c = colour(fx, fy) if callable(colour) else colour
                i = y * self.w + x
                r, g, b, a = self.px[i]
                out_a = cover + a * (1.0 - cover)
                if out_a <= 0.0:
                    continue
                k2 = cover / out_a
                self.px[i] = (r + (c[0] - r) * k2, g + (c[1] - g) * k2, b + (c[2] - b) * k2, out_a)


def dib24(cv):
    """A packed DIB: BITMAPINFOHEADER and bottom-up 24-bit rows."""
    row = (cv.w * 3 + 3) & ~3
    data = bytearray()
    for y in range(cv.h - 1, -1, -1):
        line = bytearray()
        for x in range(cv.w):
            r, g, b, _ = cv.px[y * cv.w + x]
            line += bytes(int(round(clamp(v, 0, 255))) for v in (b, g, r))
        line += b"\0" * (row - len(line))
        data += line
    return struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 24, 0, len(data), 2835, 2835, 0, 0) + data


def write_bmp24(path, cv):
    dib = dib24(cv)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(dib), 0, 0, 14 + 40)
    with open(path, "wb") as f:
        f.write(header + dib)


def write_dibz(path, cv):
    import zlib
    with open(path, "wb") as f:
        f.write(zlib.compress(dib24(cv), 9))


def and_mask(cv, solid):
    """The 1-bit mask, bottom-up: set where the picture is transparent."""
    mask = bytearray()
    mask_row = ((cv.w + 31) // 32) * 4
    for y in range(cv.h - 1, -1, -1):
        bits = bytearray(mask_row)
        for x in range(cv.w):
            if not solid[y * cv.w + x]:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return mask


def ico8(cv):
    """An 8-bit image: a palette of at most 256 colours, the XOR bitmap and the AND mask."""
    solid = [(cv.px[i][3] >= 0.5) for i in range(cv.w * cv.h)]
    colours = [tuple(int(round(clamp(v, 0, 255))) for v in cv.px[i][:3]) if solid[i] else (0, 0, 0)
               for i in range(cv.w * cv.h)]
    # Palette: the most frequent colours (5 bits a channel), the rest mapped to the nearest.
    counts = {}
    for i, c in enumerate(colours):
        if solid[i]:
            q = tuple(v >> 3 for v in c)
            counts[q] = counts.get(q, 0) + 1
    buckets = sorted(counts, key=lambda q: -counts[q])[:255]
    palette = [(0, 0, 0)]
    for q in buckets:
        members = [c for i, c in enumerate(colours) if solid[i] and tuple(v >> 3 for v in c) == q]
        palette.append(tuple(sum(m[k] for m in members) // len(members) for k in range(3)))
    palette += [(0, 0, 0)] * (256 - len(palette))

    def nearest(c):
        return min(range(1, len(buckets) + 1),
                   key=lambda j: sum((c[k] - palette[j][k]) ** 2 for k in range(3)))

    cache = {}
    index = []
    for i, c in enumerate(colours):
        if not solid[i]:
            index.append(0)
            continue
        if c not in cache:
            cache[c] = nearest(c)
        index.append(cache[c])

    xor = bytearray()
    for y in range(cv.h - 1, -1, -1):
        xor += bytes(index[y * cv.w:(y + 1) * cv.w])
    mask = and_mask(cv, solid)
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h * 2, 1, 8, 0, len(xor) + len(mask), 0, 0, 256, 0)
    return cv.w, cv.h, 8, info + pal + xor + mask


def ico32(cv):
    """A 32-bit image: straight (not premultiplied) alpha, and the AND mask for programs that
    draw without alpha."""
    solid = [(cv.px[i][3] >= 0.5) for i in range(cv.w * cv.h)]
    xor = bytearray()
    for y in range(cv.h - 1, -1, -1):
        for x in range(cv.w):
            r, g, b, a = cv.px[y * cv.w + x]
            xor += bytes(int(round(clamp(v, 0, 255))) for v in (b, g, r, a * 255)) if a > 0 else bytes(4)
    mask = and_mask(cv, solid)
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return cv.w, cv.h, 32, info + xor + mask


def write_ico(path, images):
    """An icon file of several images, in the given order: (width, height, bits, bytes) each."""
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for w, h, bits, image in images:
        out += struct.pack("<BBBBHHII", w, h, 0, 0, 1, bits, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(image for _, _, _, image in images))


def write_png(path, cv):
    """PNG preview (RGBA) for a person to look at; not used by the build."""
    import zlib
    raw = bytearray()
    for y in range(cv.h):
        raw.append(0)
        for x in range(cv.w):
            r, g, b, a = cv.px[y * cv.w + x]
            raw += bytes(int(round(clamp(v, 0, 255))) for v in (r, g, b, a * 255))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", cv.w, cv.h, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


# --- shared drawing ------------------------------------------------------------------------

BODY_TOP = (78, 82, 92)
BODY_BOTTOM = (34, 36, 42)
KEY_GREY = (196, 200, 208)
KEY_DARK = (92, 98, 110)
KEY_RED = (214, 44, 40)
KEY_GREEN = (52, 168, 72)
KEY_YELLOW = (236, 200, 48)
KEY_BLUE = (52, 104, 214)
KEY_ORANGE = (236, 132, 40)
GROUND = (255, 255, 255)


def shade(c, f):
    return tuple(clamp(v * f, 0, 255) for v in c)


def body(cv, cx, cy, hw, hh, r):
    """The remote's case: a soft shadow, a dark body lighter at the top, a thin highlight rim."""
    box = (cx - hw - 6, cy - hh - 6, cx + hw + 8, cy + hh + 8)
    cv.paint(box, lambda x, y: sd_round_rect(x, y, cx + 2, cy + 3, hw, hh, r), (120, 120, 130), 0.45, soft=4)
    top = cy - hh

    def fill(x, y):
        t = clamp((y - top) / (2 * hh))
        c = mix(BODY_TOP, BODY_BOTTOM, t)
        # a broad vertical sheen left of centre
        s = math.exp(-((x - (cx - hw * 0.35)) / (hw * 0.45)) ** 2)
        return mix(c, (150, 156, 170), 0.22 * s)

    cv.paint(box, lambda x, y: sd_round_rect(x, y, cx, cy, hw, hh, r), (150, 154, 166))
    cv.paint(box, lambda x, y: sd_round_rect(x, y, cx, cy, hw - 1, hh - 1, r - 1), fill)


def ir_window(cv, cx, y, hw):
    """The dark red infrared window at the front end of the remote."""
    cv.paint((cx - hw - 2, y - 5, cx + hw + 2, y + 5),
             lambda x, yy: sd_round_rect(x, yy, cx, y, hw, 3, 3), (70, 10, 14))
    cv.paint((cx - hw - 2, y - 5, cx + hw + 2, y + 5),
             lambda x, yy: sd_round_rect(x, yy, cx - hw * 0.3, y - 1.2, hw * 0.5, 0.8, 0.8), (170, 60, 60), 0.8)


def key(cv, cx, cy, hw, hh, colour, shape="rect"):
    """One key: a dark gap around it, a face lighter at the top."""
    r = min(hw, hh) if shape == "round" else min(2.0, hw, hh)
    box = (cx - hw - 3, cy - hh - 3, cx + hw + 3, cy + hh + 4)
    cv.paint(box, lambda x, y: sd_round_rect(x, y, cx, cy + 0.8, hw + 0.6, hh + 0.6, r + 0.6), (16, 17, 20), 0.9)
    top = cy - hh

    def face(x, y):
        t = clamp((y - top) / max(2 * hh, 1))
        return mix(shade(colour, 1.12), shade(colour, 0.82), t)

    cv.paint(box, lambda x, y: sd_round_rect(x, y, cx, cy, hw, hh, r), face)


def mark(cv, kind, cx, cy, s, colour=(40, 40, 44)):
    """Tiny symbols on keys: a triangle, plus, minus or power sign."""
    box = (cx - s - 2, cy - s - 2, cx + s + 2, cy + s + 2)
    w = max(0.45, s * 0.16)
    if kind == "up":
        cv.paint(box, lambda x, y: sd_triangle(x, y, [(cx, cy - s * 0.6), (cx - s * 0.7, cy + s * 0.45),
                                                      (cx + s * 0.7, cy + s * 0.45)]), colour)
    elif kind == "down":
        cv.paint(box, lambda x, y: sd_triangle(x, y, [(cx, cy + s * 0.6), (cx - s * 0.7, cy - s * 0.45),
                                                      (cx + s * 0.7, cy - s * 0.45)]), colour)
    elif kind == "left":
        cv.paint(box, lambda x, y: sd_triangle(x, y, [(cx - s * 0.6, cy), (cx + s * 0.45, cy - s * 0.7),
                                                      (cx + s * 0.45, cy + s * 0.7)]), colour)
    elif kind == "right":
        cv.paint(box, lambda x, y: sd_triangle(x, y, [(cx + s * 0.6, cy), (cx - s * 0.45, cy - s * 0.7),
                                                      (cx - s * 0.45, cy + s * 0.7)]), colour)
    elif kind == "plus":
        cv.paint(box, lambda x, y: min(sd_segment(x, y, cx - s * 0.6, cy, cx + s * 0.6, cy, w),
                                       sd_segment(x, y, cx, cy - s * 0.6, cx, cy + s * 0.6, w)), colour)
    elif kind == "minus":
        cv.paint(box, lambda x, y: sd_segment(x, y, cx - s * 0.6, cy, cx + s * 0.6, cy, w), colour)
    elif kind == "power":
        cv.paint(box, lambda x, y: min(sd_power_ring(x, y, cx, cy + s * 0.1, s * 0.55, w),
                                       sd_segment(x, y, cx, cy - s * 0.65, cx, cy, w)), colour)
    elif kind == "dot":
        cv.paint(box, lambda x, y: sd_circle(x, y, cx, cy, s * 0.35), colour)


def rocker(cv, cx, cy, hw, hh, colour, label_colour=(40, 40, 44)):
    """A long up/down key counted as two keys (plus at the top, minus at the bottom)."""
    key(cv, cx, cy, hw, hh, colour, "round")
    cv.paint((cx - hw, cy - 0.6, cx + hw, cy + 0.6), lambda x, y: abs(y - cy) - 0.3, shade(colour, 0.6), 0.8)
    s = min(hw, hh * 0.5) * 0.8
    mark(cv, "plus", cx, cy - hh * 0.5, s, label_colour)
    mark(cv, "minus", cx, cy + hh * 0.5, s, label_colour)


def nav_pad(cv, cx, cy, r):
    """Four arrows around an OK key: five keys."""
    cv.paint((cx - r - 3, cy - r - 3, cx + r + 4, cy + r + 4),
             lambda x, y: sd_circle(x, y, cx, cy + 0.8, r + 0.7), (16, 17, 20), 0.9)

    def ring(x, y):
        t = clamp((y - (cy - r)) / (2 * r))
        return mix((176, 182, 194), (120, 126, 140), t)

    cv.paint((cx - r - 2, cy - r - 2, cx + r + 2, cy + r + 2), lambda x, y: sd_circle(x, y, cx, cy, r), ring)
    # separators between the four arrow keys
    for a in (0.25, 0.75, 1.25, 1.75):
        ang = math.pi * a
        ex, ey = cx + r * math.cos(ang), cy + r * math.sin(ang)
        cv.paint((cx - r, cy - r, cx + r, cy + r), lambda x, y, ex=ex, ey=ey: sd_segment(x, y, cx, cy, ex, ey, 0.35),
                 (60, 62, 70), 0.9)
    key(cv, cx, cy, r * 0.42, r * 0.42, (230, 232, 238), "round")
    s = r * 0.28
    off = r * 0.72
    mark(cv, "up", cx, cy - off, s)
    mark(cv, "down", cx, cy + off, s)
    mark(cv, "left", cx - off, cy, s)
    mark(cv, "right", cx + off, cy, s)


# --- the three remotes ---------------------------------------------------------------------

def remote51(scale=1):
    """Slim and long: power row, 3x4 digits, nav pad, two rockers, teletext and colour keys."""
    W, H = 62, 240
    cv = Canvas(W, H, GROUND, scale)
    cx = W / 2
    body(cv, cx, 120, 26, 115, 11)
    ir_window(cv, cx, 12, 9)
    count = 0
    cols = [cx - 15, cx, cx + 15]

    def row(y, colours, hw=5.5, hh=3.6, marks=None):
        nonlocal count
        for i, c in enumerate(colours):
            if c is None:
                continue
            key(cv, cols[i], y, hw, hh, c)
            if marks and marks[i]:
                mark(cv, marks[i], cols[i], y, 2.6, (250, 250, 250) if c == KEY_RED else (40, 40, 44))
            count += 1

    row(24, [KEY_RED, KEY_DARK, KEY_DARK], marks=["power", None, None])          # power, mute, source
    row(34, [KEY_DARK, KEY_DARK, KEY_DARK])                                       # tv, radio, teletext
    for y in (45, 54, 63):                                                        # digits 1..9
        row(y, [KEY_GREY] * 3)
    row(72, [KEY_DARK, KEY_GREY, KEY_DARK])                                       # -/--, 0, recall
    count += 5
    nav_pad(cv, cx, 92, 13)                                                       # arrows and OK
    row(112, [KEY_DARK, None, KEY_DARK])                                          # menu, exit
    key(cv, cols[1], 112, 5.5, 3.6, KEY_ORANGE)                                   # favourites
    count += 1
    for x in (cols[0], cols[2]):                                                  # volume, channel
        rocker(cv, x, 131, 5.5, 11, KEY_GREY)
        count += 2
    row(126, [None, KEY_DARK, None])                                              # info
    row(136, [None, KEY_DARK, None])                                              # full screen
    row(151, [KEY_DARK, KEY_DARK, KEY_DARK])                                      # snapshot, record, epg
    row(161, [KEY_DARK, KEY_DARK, KEY_DARK])                                      # rew, play, ffwd
    row(171, [KEY_DARK, KEY_DARK, KEY_DARK])                                      # prev, stop, next
    row(181, [KEY_DARK, KEY_DARK, KEY_DARK])                                      # pause, timeshift, zoom
    # four colour keys across the width
    for i, c in enumerate((KEY_RED, KEY_GREEN, KEY_YELLOW, KEY_BLUE)):
        key(cv, cx - 16.5 + i * 11, 193, 4.2, 2.6, c)
        count += 1
    row(206, [KEY_DARK, KEY_DARK, KEY_DARK])                                      # audio, subtitle, pip
    assert count == 51, count
    return cv


def remote32(scale=1):
    """Medium: power and mute, 3x4 digits, volume and channel rockers, nav pad, colour keys."""
    W, H = 78, 240
    cv = Canvas(W, H, GROUND, scale)
    cx = W / 2
    body(cv, cx, 120, 33, 114, 14)
    ir_window(cv, cx, 13, 12)
    count = 0
    cols = [cx - 18, cx, cx + 18]

    def k(x, y, c, m=None, hw=6.5, hh=4.3):
        nonlocal count
        key(cv, x, y, hw, hh, c)
        if m:
            mark(cv, m, x, y, 3.0, (250, 250, 250) if c == KEY_RED else (40, 40, 44))
        count += 1

    k(cols[0], 28, KEY_RED, "power")
    k(cols[2], 28, KEY_DARK)                        # mute
    for j, y in enumerate((44, 56, 68, 80)):        # digits 1..9, then -/--, 0, recall
        for i in range(3):
            k(cols[i], y, KEY_DARK if (j == 3 and i != 1) else KEY_GREY)
    nav_pad(cv, cx, 112, 16)
    count += 5
    for x in (cols[0] - 1, cols[2] + 1):            # volume, channel
        rocker(cv, x, 150, 6.5, 12, KEY_GREY)
        count += 2
    k(cols[1], 144, KEY_DARK)                       # full screen
    k(cols[1], 156, KEY_DARK)                       # info
    for i, c in enumerate((KEY_RED, KEY_GREEN, KEY_YELLOW, KEY_BLUE)):
        key(cv, cx - 21 + i * 14, 179, 5.2, 3.2, c)
        count += 1
    for y in (194,):
        for i in range(3):
            k(cols[i], y, KEY_DARK)                 # record, play, stop
    assert count == 32, count
    return cv


def remote28(scale=1):
    """Short and wide with round keys: power row, 3x4 digits, a cross of arrow keys."""
    W, H = 150, 240
    cv = Canvas(W, H, GROUND, scale)
    cx = W / 2
    body(cv, cx, 121, 52, 110, 26)
    ir_window(cv, cx, 22, 18)
    count = 0
    cols = [cx - 28, cx, cx + 28]

    def k(x, y, c, m=None, r=8.5):
        nonlocal count
        key(cv, x, y, r, r * 0.78, c, "round")
        if m:
            mark(cv, m, x, y, r * 0.55, (250, 250, 250) if c == KEY_RED else (40, 40, 44))
        count += 1

    k(cols[0], 40, KEY_RED, "power")
    k(cols[1], 40, KEY_DARK)                        # source
    k(cols[2], 40, KEY_DARK)                        # mute
    for j, y in enumerate((62, 80, 98, 116)):       # digits, then -/--, 0, recall
        for i in range(3):
            k(cols[i], y, KEY_DARK if (j == 3 and i != 1) else KEY_GREY)
    # a cross of arrow keys: channel up/down, volume left/right, full screen in the middle
    k(cx, 140, KEY_GREY, "up")
    k(cx, 176, KEY_GREY, "down")
    k(cx - 30, 158, KEY_GREY, "minus")
    k(cx + 30, 158, KEY_GREY, "plus")
    k(cx, 158, (230, 232, 238), r=7.5)
    k(cx - 30, 138, KEY_DARK, r=7)                  # menu
    k(cx + 30, 138, KEY_DARK, r=7)                  # info
    for i, c in enumerate((KEY_RED, KEY_GREEN, KEY_YELLOW, KEY_BLUE)):
        k(cx - 33 + i * 22, 198, c, r=6.5)
    k(cols[0], 216, KEY_DARK, r=7)                  # record
    k(cols[2], 216, KEY_DARK, r=7)                  # snapshot
    assert count == 28, count
    return cv


# --- the icon ------------------------------------------------------------------------------

def tray_icon(size=32):
    """A remote held at a slant, its red lamp at the upper end sending three arcs.

    Drawn on a 32-unit grid at `size` pixels. Below 24 pixels the keys would blur into a grey
    smear, so the small frames keep only what reads at that size: the case, a few bold keys, the
    lamp and two wider arcs."""
    small = size < 24
    cv = Canvas(32, 32, scale=size / 32)
    ang = math.radians(38)      # the remote's long axis leans to the right
    ca, sa = math.cos(ang), math.sin(ang)
    ocx, ocy = 12.0, 20.5       # centre of the remote

    def local(x, y):
        # into the remote's own frame (u across, v along, v negative towards the lamp)
        dx, dy = x - ocx, y - ocy
        return dx * ca + dy * sa, -dx * sa + dy * ca

    def world(u, v):
        return ocx + u * ca - v * sa, ocy + u * sa + v * ca

    full = (0, 0, 31, 31)
    # case: dark outline, then a lighter body with a vertical shading
    outline = 1.6 if small else 1.0
    cv.paint(full, lambda x, y: sd_round_rect(*local(x, y), 0, 0, 5.6 + outline, 12.6 + outline, 3.2), (20, 22, 28))

    def case_fill(x, y):
        u, v = local(x, y)
        t = clamp((u + 5.5) / 11)
        return mix((132, 138, 152), (58, 62, 74), t)

    cv.paint(full, lambda x, y: sd_round_rect(*local(x, y), 0, 0, 5.6, 12.6, 2.4), case_fill)
    # keys: a red power key, two rows of small keys, a round pad
    def kk(u, v, hu, hv, c):
        cv.paint(full, lambda x, y: sd_round_rect(*local(x, y), u, v, hu, hv, 0.6), c)

    if small:
        # about a pixel per key at 16 px: three light keys and the pad; no red power key, which
        # would read as a second lamp
        kk(-2.4, -6.3, 1.8, 1.5, (236, 238, 244))
        for u in (-2.4, 2.4):
            kk(u, -0.8, 1.6, 1.6, (236, 238, 244))
        cv.paint(full, lambda x, y: sd_circle(*local(x, y), 0, 5.8, 2.8), (236, 238, 244))
    else:
        kk(-2.6, -6.5, 1.3, 1.0, (200, 30, 30))
        for v in (-2.6, 0.6):
            for u in (-2.8, 0.0, 2.8):
                kk(u, v, 1.0, 0.9, (236, 238, 244))
        cv.paint(full, lambda x, y: sd_circle(*local(x, y), 0, 5.8, 2.6), (236, 238, 244))
        cv.paint(full, lambda x, y: sd_circle(*local(x, y), 0, 5.8, 1.0), (90, 96, 110))
    # the red lamp at the front end, with a glow
    lx, ly = world(0, -11.6)
    if not small:
        cv.paint(full, lambda x, y: sd_circle(x, y, lx, ly, 3.4), (255, 80, 60), 0.35, soft=2)
    cv.paint(full, lambda x, y: sd_circle(x, y, lx, ly, 2.6 if small else 2.0), (230, 20, 20))
    if not small:
        cv.paint(full, lambda x, y: sd_circle(x, y, lx - 0.6, ly - 0.6, 0.7), (255, 190, 180))
    # arcs spreading from the lamp along the remote's axis
    axis = math.atan2(-ca, sa)  # direction of -v in screen space
    arcs = ((5.6, 1.6), (10.4, 1.6)) if small else ((4.6, 0.85), (7.6, 0.85), (10.6, 0.85))
    for r, w in arcs:
        cv.paint(full, lambda x, y, r=r, w=w: sd_arc(x, y, lx, ly, r, w, axis - 0.62, axis + 0.62),
                 (226, 32, 32))
    return cv


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    preview = os.environ.get("ART_PREVIEW")  # folder for PNG previews, optional
    pictures = {"remote51": remote51(), "remote32": remote32(), "remote28": remote28()}
    for name, cv in pictures.items():
        write_bmp24(os.path.join(out, name + ".bmp"), cv)
    large = {"remote51_2x": remote51(2), "remote32_2x": remote32(2), "remote28_2x": remote28(2)}
    for name, cv in large.items():
        write_dibz(os.path.join(out, name + ".dibz"), cv)
    icon = tray_icon()
    # the 256-colour picture first, as it always was; then the frames for each size
    frames = {"Ravlet%d" % n: tray_icon(n) for n in (16, 20, 24, 32, 40, 48)}
    write_ico(os.path.join(out, "Ravlet.ico"), [ico8(icon)] + [ico32(cv) for cv in frames.values()])
    if preview:
        for name, cv in list(pictures.items()) + list(large.items()) + [("Ravlet", icon)] + list(frames.items()):
            write_png(os.path.join(preview, name + ".png"), cv)


if __name__ == "__main__":
    main()
