#!/usr/bin/env python3
"""Draws Kestrin's own artwork and writes it as PNG files beside this script.

    python3 app/resources/make_artwork.py

kestrin-SIZE.png         the program icon: a handheld showing a landscape, in the
                         hicolor theme's sizes from 16 to 256 pixels
raw-sample.png           42x30, the sample scene reduced to a few flat colours
dither-sample.png        42x30, the same scene reduced with error diffusion

Only the Python standard library is used, so the files can be redrawn anywhere.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(path, width, height, rows, channels):
    """rows: list of lists of channel tuples with 8-bit values."""
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw.extend(pixel[:channels])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    colour_type = 6 if channels == 4 else 2
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        out.write(chunk(b"IEND", b""))


def hex_colour(text):
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (1, 3, 5))


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def near_segment(x, y, ax, ay, bx, by, half_width):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= half_width ** 2


# The landscape on the handheld's screen and in the samples, in unit coordinates
# of the picture area: sky, sun, two hills and a hovering bird.
SKY_TOP = hex_colour("#1f5fa8")
SKY_BOTTOM = hex_colour("#f7c873")
SUN = hex_colour("#fdf2b0")
FAR_HILL = hex_colour("#3c8d5a")
NEAR_HILL_TOP = hex_colour("#7fc04a")
NEAR_HILL_BOTTOM = hex_colour("#1d5e2c")
BIRD = hex_colour("#2b2b33")


def landscape(u, v, with_bird):
    colour = mix(SKY_TOP, SKY_BOTTOM, v / 0.75)
    if (u - 0.70) ** 2 + ((v - 0.42) * 1.0) ** 2 <= 0.11 ** 2:
        colour = SUN
    far = 0.58 + 0.08 * math.sin(u * 5.0 + 0.6)
    if v >= far:
        colour = mix(FAR_HILL, NEAR_HILL_BOTTOM, (v - far) / 0.5)
    near = 0.74 + 0.10 * math.cos(u * 4.2 - 1.1)
    if v >= near:
        colour = mix(NEAR_HILL_TOP, NEAR_HILL_BOTTOM, (v - near) / 0.3)
    if with_bird:
        wing = 0.035
        if near_segment(u, v, 0.22, 0.20, 0.32, 0.28, wing) or near_segment(u, v, 0.32, 0.28, 0.42, 0.20, wing):
            colour = BIRD
    return colour


BODY_TOP = hex_colour("#4b5d70")
BODY_BOTTOM = hex_colour("#2c3a48")
BEZEL = hex_colour("#1b232c")
BUTTON = hex_colour("#b8c4cf")


def icon_sample(x, y):
    """RGBA of the icon at unit coordinates; alpha 0 outside the handheld."""
    if not inside_rounded_rect(x, y, 0.17, 0.03, 0.83, 0.97, 0.11):
        return (0.0, 0.0, 0.0, 0.0)
    colour = mix(BODY_TOP, BODY_BOTTOM, y)
    if inside_rounded_rect(x, y, 0.23, 0.09, 0.77, 0.66, 0.03):
        colour = BEZEL
    if 0.26 <= x <= 0.74 and 0.12 <= y <= 0.63:
        u = (x - 0.26) / 0.48
        v = (y - 0.12) / 0.51
        colour = landscape(u, v, True)
    for bx in (0.31, 0.44, 0.56, 0.69):
        if (x - bx) ** 2 + (y - 0.80) ** 2 <= 0.045 ** 2:
            colour = BUTTON
    if inside_rounded_rect(x, y, 0.40, 0.88, 0.60, 0.92, 0.02):
        colour = BUTTON
    return colour + (1.0,)


def render_icon(size):
    samples = 6
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    r, g, b, a = icon_sample((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = samples * samples
            alpha = acc[3] / n
            if alpha > 0:
                pixel = tuple(round(255 * c / acc[3]) for c in acc[:3]) + (round(255 * alpha),)
            else:
                pixel = (0, 0, 0, 0)
            row.append(pixel)
        rows.append(row)
    return rows


SAMPLE_WIDTH, SAMPLE_HEIGHT = 42, 30
LEVELS = (0.0, 0.2, 0.4, 0.6, 0.8, 1.0)  # six steps per channel, as in a web-safe palette


def nearest_level(value):
    return min(LEVELS, key=lambda level: abs(level - value))


def sample_scene():
    rows = []
    for py in range(SAMPLE_HEIGHT):
        row = []
        for px in range(SAMPLE_WIDTH):
            acc = [0.0, 0.0, 0.0]
            for sy in range(4):
                for sx in range(4):
                    colour = landscape((px + (sx + 0.5) / 4) / SAMPLE_WIDTH, (py + (sy + 0.5) / 4) / SAMPLE_HEIGHT, False)
                    for i in range(3):
                        acc[i] += colour[i] / 16
            row.append(acc)
        rows.append(row)
    return rows


def reduce_flat(scene):
    return [[tuple(round(255 * nearest_level(c)) for c in pixel) for pixel in row] for row in scene]


def reduce_dithered(scene):
    work = [[list(pixel) for pixel in row] for row in scene]
    out = []
    for y in range(SAMPLE_HEIGHT):
        row = []
        for x in range(SAMPLE_WIDTH):
            old = work[y][x]
            new = [nearest_level(max(0.0, min(1.0, c))) for c in old]
            error = [o - n for o, n in zip(old, new)]
            for dx, dy, weight in ((1, 0, 7 / 16), (-1, 1, 3 / 16), (0, 1, 5 / 16), (1, 1, 1 / 16)):
                nx, ny = x + dx, y + dy
                if 0 <= nx < SAMPLE_WIDTH and ny < SAMPLE_HEIGHT:
                    for i in range(3):
                        work[ny][nx][i] += error[i] * weight
            row.append(tuple(round(255 * c) for c in new))
        out.append(row)
    return out


# The window uses them all; the installed theme gets each size as well.
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def main():
    for size in ICON_SIZES:
        write_png(os.path.join(HERE, "kestrin-%d.png" % size), size, size, render_icon(size), 4)
    scene = sample_scene()
    write_png(os.path.join(HERE, "raw-sample.png"), SAMPLE_WIDTH, SAMPLE_HEIGHT, reduce_flat(scene), 3)
    write_png(os.path.join(HERE, "dither-sample.png"), SAMPLE_WIDTH, SAMPLE_HEIGHT, reduce_dithered(scene), 3)


if __name__ == "__main__":
    main()
