#!/usr/bin/env python3
"""Draws the launcher's built-in skin (skin.bmp, 800x600, 24-bit) and its icon (setup.ico).

Standard library only. Shapes are signed distance functions, so edges come out anti-aliased.
Run from anywhere: python3 make_art.py [OUT_DIR]   (default: this script's folder)
"""
import math
import os
import struct
import sys

W, H = 800, 600


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


# --- signed distances (negative inside) -------------------------------------------------

def sd_round_rect(px, py, cx, cy, hw, hh, r):
    qx = abs(px - cx) - hw + r
    qy = abs(py - cy) - hh + r
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def sd_segment(px, py, ax, ay, bx, by, half_width):
    dx, dy = bx - ax, by - ay
    t = clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy))
    return math.hypot(px - ax - t * dx, py - ay - t * dy) - half_width


def sd_circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def sd_arc(px, py, cx, cy, r, half_width, a0, a1):
    """Ring of radius r between angles a0..a1 (radians, y down), with round ends."""
    ang = math.atan2(py - cy, px - cx)
    if a0 <= ang <= a1:
        return abs(math.hypot(px - cx, py - cy) - r) - half_width
    ends = [(cx + r * math.cos(a), cy + r * math.sin(a)) for a in (a0, a1)]
    return min(math.hypot(px - ex, py - ey) for ex, ey in ends) - half_width


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [(0.0, 0.0, 0.0)] * (w * h)

    def fill(self, colour_at):
        for y in range(self.h):
            for x in range(self.w):
                self.px[y * self.w + x] = colour_at(x + 0.5, y + 0.5)

    def paint(self, box, sdf, colour, alpha=1.0, scale=1.0):
        """Blends colour (a tuple or a function of x, y) where sdf < 0, over box = (x0, y0, x1, y1)."""
        x0, y0, x1, y1 = (int(v) for v in box)
        for y in range(max(y0, 0), min(y1 + 1, self.h)):
            for x in range(max(x0, 0), min(x1 + 1, self.w)):
                fx, fy = x + 0.5, y + 0.5
                cover = clamp(0.5 - sdf(fx, fy) / scale) * alpha
                if cover <= 0.0:
                    continue
                c = colour(fx, fy) if callable(colour) else colour
                i = y * self.w + x
                self.px[i] = mix(self.px[i], c, cover)


# --- the television, in a 64-unit design box scaled onto the canvas ------------------------

def draw_tv(cv, ox, oy, s, detail):
    """Stylised TV with antenna; (ox, oy) is the design origin, s pixels per unit."""
    P = lambda u: u * s  # noqa: E731
    body_c = (ox + P(32), oy + P(39))
    line_w = max(0.3 * s, 0.6)
    light = (205, 222, 250)

    # antenna: two rods from a small dome, ball tips
    base = (ox + P(32), oy + P(22.5))
    tips = [(ox + P(20), oy + P(6)), (ox + P(46), oy + P(4.5))]
    for tx, ty in tips:
        cv.paint((min(base[0], tx) - 8, ty - 8, max(base[0], tx) + 8, base[1] + 8),
                 lambda x, y, tx=tx, ty=ty: sd_segment(x, y, base[0], base[1], tx, ty, line_w),
                 light)
        cv.paint((tx - P(2) - 2, ty - P(2) - 2, tx + P(2) + 2, ty + P(2) + 2),
                 lambda x, y, tx=tx, ty=ty: sd_circle(x, y, tx, ty, max(P(1.2), 1.2)), light)
    cv.paint((base[0] - P(5) - 2, base[1] - P(4) - 2, base[0] + P(5) + 2, base[1] + 2),
             lambda x, y: max(sd_circle(x, y, base[0], base[1] + P(1.5), P(4.2)),
                              y - (base[1] + P(1.5))), light)

    # feet
    for fx0, fx1 in ((25, 21), (39, 43)):
        a = (ox + P(fx0), oy + P(56))
        b = (ox + P(fx1), oy + P(61))
        cv.paint((min(a[0], b[0]) - 6, a[1] - 6, max(a[0], b[0]) + 6, b[1] + 6),
                 lambda x, y, a=a, b=b: sd_segment(x, y, a[0], a[1], b[0], b[1], line_w * 1.2), light)

    # cabinet: light rim, dark fill
    hw, hh, r = P(22), P(16.5), P(3.6)
    box = (body_c[0] - hw - 3, body_c[1] - hh - 3, body_c[0] + hw + 3, body_c[1] + hh + 3)
    cv.paint(box, lambda x, y: sd_round_rect(x, y, body_c[0], body_c[1], hw, hh, r), light)
    rim = max(P(0.9), 1.0)
    cv.paint(box, lambda x, y: sd_round_rect(x, y, body_c[0], body_c[1], hw - rim, hh - rim, r - rim * 0.6),
             (18, 40, 92))

    # screen: bright blue, lighter towards the upper left, with a soft diagonal glare
    sc = (ox + P(28.5), body_c[1])
    shw, shh, sr = P(15.5), P(12.5), P(2.4)

    def screen_colour(x, y):
        t = clamp(((x - (sc[0] - shw)) / (2 * shw)) * 0.5 + ((y - (sc[1] - shh)) / (2 * shh)) * 0.5)
        c = mix((92, 172, 245), (24, 78, 172), t)
        band = (x - sc[0]) + (y - sc[1]) * 1.4
        if detail and -shw * 0.9 < band < -shw * 0.45:
            c = mix(c, (255, 255, 255), 0.10)
        return c

    cv.paint((sc[0] - shw - 2, sc[1] - shh - 2, sc[0] + shw + 2, sc[1] + shh + 2),
             lambda x, y: sd_round_rect(x, y, sc[0], sc[1], shw, shh, sr), screen_colour)

    # side panel: two knobs and a speaker grille
    kx = ox + P(48)
    if detail:
        for ky in (30.5, 37):
            cy = oy + P(ky)
            cv.paint((kx - P(2) - 2, cy - P(2) - 2, kx + P(2) + 2, cy + P(2) + 2),
                     lambda x, y, cy=cy: sd_circle(x, y, kx, cy, P(1.9)), (150, 182, 232))
            cv.paint((kx - P(2) - 2, cy - P(2) - 2, kx + P(2) + 2, cy + P(2) + 2),
                     lambda x, y, cy=cy: sd_segment(x, y, kx, cy, kx + P(1.1), cy - P(1.1), P(0.28)),
                     (18, 40, 92))
        for gy in (43, 45, 47, 49):
            cy = oy + P(gy)
            cv.paint((kx - P(2.5) - 2, cy - 3, kx + P(2.5) + 2, cy + 3),
                     lambda x, y, cy=cy: sd_segment(x, y, kx - P(2.2), cy, kx + P(2.2), cy, P(0.35)),
                     (120, 150, 210))
    else:
        cy = oy + P(33)
        cv.paint((kx - P(2) - 2, cy - P(2) - 2, kx + P(2) + 2, cy + P(2) + 2),
                 lambda x, y: sd_circle(x, y, kx, cy, P(1.9)), (150, 182, 232))


def make_skin():
    cv = Canvas(W, H)
    top_left, bottom_right = (8, 22, 58), (28, 84, 170)
    glow_c, glow_r = (585.0, 330.0), 300.0

    def background(x, y):
        t = clamp(0.62 * y / H + 0.38 * x / W)
        c = mix(top_left, bottom_right, t * t * (3 - 2 * t))
        d = math.hypot(x - glow_c[0], y - glow_c[1]) / glow_r
        return mix(c, (70, 130, 215), 0.30 * math.exp(-d * d * 1.6))

    cv.fill(background)

    # faint signal waves along the bottom
    for k, (amp, base, alpha) in enumerate(((9.0, 520.0, 0.16), (12.0, 545.0, 0.11), (7.0, 568.0, 0.08))):
        def wave(x, y, amp=amp, base=base, k=k):
            f = base + amp * math.sin(x / (70.0 + 14 * k) + k * 1.7)
            slope = amp / (70.0 + 14 * k) * math.cos(x / (70.0 + 14 * k) + k * 1.7)
            return abs(y - f) / math.sqrt(1 + slope * slope) - 0.9
        cv.paint((0, base - amp - 3, W - 1, base + amp + 3), wave, (170, 205, 250), alpha)

    # the set, and rings spreading from its right antenna tip
    s = 7.0
    ox, oy = 585 - 32 * s, 340 - 39 * s + 20
    tip = (ox + 46 * s, oy + 4.5 * s)
    for r, alpha in ((34, 0.55), (58, 0.38), (82, 0.22)):
        cv.paint((tip[0] - r - 4, tip[1] - r - 4, tip[0] + r + 4, tip[1] + r + 4),
                 lambda x, y, r=r: sd_arc(x, y, tip[0], tip[1], r, 2.2, math.radians(-80), math.radians(-10)),
                 (190, 215, 250), alpha)
    draw_tv(cv, ox, oy, s, True)
    return cv


def write_bmp24(path, cv):
    row = (cv.w * 3 + 3) & ~3
    data = bytearray()
    for y in range(cv.h - 1, -1, -1):
        line = bytearray()
        for x in range(cv.w):
            r, g, b = (int(round(clamp(v, 0, 255))) for v in cv.px[y * cv.w + x])
            line += bytes((b, g, r))
        line += b"\0" * (row - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def icon_image(size):
    """32-bit icon image: the TV on a transparent ground, as BITMAPINFOHEADER + XOR + AND data."""
    ss = 4  # supersampling for the alpha channel
    big = size * ss
    cv = Canvas(big, big)
    s = big / 64.0
    draw_tv(cv, 0, 0, s, size >= 32)

    class Cover(Canvas):
        """Same drawing in white on black: its red channel is the coverage."""
        def paint(self, box, sdf, colour, alpha=1.0, scale=1.0):
            Canvas.paint(self, box, sdf, (255.0, 255.0, 255.0), alpha, scale)
    cover = Cover(big, big)
    draw_tv(cover, 0, 0, s, size >= 32)

    xor = bytearray()
    and_row = ((size + 31) // 32) * 4
    and_mask = bytearray()
    for y in range(size - 1, -1, -1):
        bits = 0
        row_bits = bytearray()
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(ss):
                for sx in range(ss):
                    i = (y * ss + sy) * big + x * ss + sx
                    a = cover.px[i][0] / 255.0
                    c = cv.px[i]
                    acc[0] += c[0] * a
                    acc[1] += c[1] * a
                    acc[2] += c[2] * a
                    acc[3] += a
            n = ss * ss
            a = acc[3] / n
            if a > 0:
                r, g, b = (acc[k] / acc[3] for k in range(3))
            else:
                r = g = b = 0
            xor += bytes((int(round(b)), int(round(g)), int(round(r)), int(round(a * 255))))
            bits = (bits << 1) | (1 if a < 0.5 else 0)
            if x % 8 == 7:
                row_bits.append(bits & 0xFF)
                bits = 0
        if size % 8:
            row_bits.append((bits << (8 - size % 8)) & 0xFF)
        row_bits += b"\0" * (and_row - len(row_bits))
        and_mask += row_bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(and_mask)


def write_ico(path, sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write_bmp24(os.path.join(out, "skin.bmp"), make_skin())
    write_ico(os.path.join(out, "setup.ico"), [16, 32, 48])


if __name__ == "__main__":
    main()
