#!/usr/bin/env python3
"""Writes the hostile-work seed files for the metafile fuzz harness: small
metafiles that ask the player for far more work than their size suggests
(region combinations, regions painted or selected again and again, text far
off the canvas, a complex clip path, long dotted lines, triangle gradients,
polygons and lines whose edges cross).

Run from the repository root: python3 fuzz/make_metafile_seeds.py
The files are committed; rerun only to change them.

    python3 fuzz/make_metafile_seeds.py --scale N --out DIR

writes the same pictures N times larger (in records), without the harness's
selector byte, as .emf and .wmf files to time the converter with.
"""
import argparse
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def emf_record(kind, body):
    body += b"\0" * (-len(body) % 4)
    return struct.pack("<II", kind, 8 + len(body)) + body


def emf(side, records):
    """An enhanced metafile of side x side pixels (1000 pixels per 254 mm)."""
    eof = struct.pack("<III", 0, 16, 20)
    body = b"".join(records)
    frame = side * 254 // 10
    total = 88 + len(body) + 8 + len(eof)
    header = struct.pack("<II4i4iIIIIHHIII2i2i", 1, 88, 0, 0, side - 1, side - 1, 0, 0, frame, frame,
                         0x464D4520, 0x10000, total, len(records) + 2, 16, 0, 0, 0, 0, 1000, 1000, 254, 254)
    return header + body + struct.pack("<II", 14, 8 + len(eof)) + eof


def wmf_record(function, words):
    return struct.pack("<IH", 3 + len(words), function) + struct.pack("<%dH" % len(words), *words)


def wmf(side, records, objects):
    """A placeable Windows metafile of side x side pixels, one unit a pixel."""
    body = b"".join(records) + wmf_record(0, [])
    header = struct.pack("<HHHIHIH", 1, 9, 0x300, (18 + len(body)) // 2, objects, 0, 0)
    placeable = struct.pack("<IH4hHIH", 0x9AC6CDD7, 0, 0, 0, side, side, 96, 0, 0)
    window = wmf_record(0x020B, [0, 0]) + wmf_record(0x020C, [side, side])
    return placeable + header + window + body


def region_data(rects):
    left = min(r[0] for r in rects)
    top = min(r[1] for r in rects)
    right = max(r[2] for r in rects)
    bottom = max(r[3] for r in rects)
    data = struct.pack("<IIII4i", 32, 1, len(rects), 16 * len(rects), left, top, right, bottom)
    return data + b"".join(struct.pack("<4i", *r) for r in rects)


def set_pixel(x, y):
    return emf_record(15, struct.pack("<iiI", x, y, 0))


def clip_strips(n):
    """n one-pixel rows as the clip, then AND n one-pixel columns, then one pixel."""
    side = 2 * n
    rows = region_data([(0, 2 * i, side, 2 * i + 1) for i in range(n)])
    columns = region_data([(2 * i, 0, 2 * i + 1, side) for i in range(n)])
    return emf(side, [emf_record(75, struct.pack("<Ii", len(rows), 5) + rows),
                      emf_record(75, struct.pack("<Ii", len(columns), 1) + columns), set_pixel(1, 1)])


def wmf_region(count):
    """A region object of `count` 1x1 rectangles in scans of up to 200."""
    scans = []
    for s in range(0, count, 200):
        pairs = min(200, count - s)
        xs = []
        for i in range(pairs):
            xs += [2 * i, 2 * i + 1]
        y = 2 * (s // 200)
        scans.append(struct.pack("<Hhh", 2 * pairs, y, y + 1) + struct.pack("<%dh" % len(xs), *xs) +
                     struct.pack("<H", 2 * pairs))
    body = struct.pack("<HHIHHH4h", 0, 6, 0, 0, len(scans), 400, 0, 0, 400, 2 * len(scans) + 1)
    body += b"".join(scans)
    body += b"\0" * (len(body) % 2)
    return wmf_record(0x06FF, list(struct.unpack("<%dH" % (len(body) // 2), body)))


def paint_region(n):
    """A region of n rectangles painted by n records."""
    brush = wmf_record(0x02FC, [0, 0xFF, 0, 0])
    return wmf(400, [brush, wmf_record(0x012D, [0]), wmf_region(n)] + [wmf_record(0x012B, [1])] * n, 2)


def select_region(n):
    """A region of n rectangles selected as the clip by n records."""
    return wmf(400, [wmf_region(n)] + [wmf_record(0x012C, [0])] * n, 1)


def far_text(n):
    """One text record of n strings, all one n-character string far off the canvas."""
    text_at = 8 + 16 + 16 + 40 * n
    entries = b"".join(struct.pack("<iiIIIiiiiI", 2000000000, 2000000000, n, text_at, 0, 0, 0, 0, 0, 0)
                       for _ in range(n))
    string = ("Kestrin " * (n // 8 + 1))[:n].encode("utf-16-le")
    return emf(200, [emf_record(97, struct.pack("<4iIff I", 0, 0, 0, 0, 1, 1, 1, n) + entries + string)])


def clip_path(points, pixels):
    """A zig-zag polygon of `points` corners as the clip path, then `pixels` pixels."""
    corners = [(i * 200 // points, 0 if i % 2 else 200) for i in range(points)]
    polygon = emf_record(86, struct.pack("<4iI", 0, 0, 200, 200, len(corners)) +
                         b"".join(struct.pack("<hh", *c) for c in corners))
    return emf(200, [emf_record(59, b""), polygon, emf_record(60, b""), emf_record(67, struct.pack("<i", 5))] +
               [set_pixel(i % 200, (i // 200) % 200) for i in range(pixels)])


def dotted_lines(n):
    """A thin dotted pen and n lines swinging 600,000 pixels either side of the canvas."""
    pen = emf_record(38, struct.pack("<IIiiI", 1, 2, 0, 0, 0))
    lines = [emf_record(54, struct.pack("<ii", 599990 if i % 2 else -599990, 100 + (i % 3)))
             for i in range(n)]
    return emf(200, [pen, emf_record(37, struct.pack("<I", 1)), emf_record(27, struct.pack("<ii", -599990, 100))] +
               lines)


def triangles(n):
    """One gradient fill of n triangles, each over half a 2000 x 2000 canvas."""
    vertices = [(0, 0, 0xFF00, 0, 0), (2000, 0, 0, 0xFF00, 0), (0, 2000, 0, 0, 0xFF00)]
    body = struct.pack("<4iIII", 0, 0, 2000, 2000, len(vertices), n, 2)
    body += b"".join(struct.pack("<iiHHHH", x, y, r, g, b, 0) for x, y, r, g, b in vertices)
    body += struct.pack("<III", 0, 1, 2) * n
    return emf(2000, [emf_record(118, body)])


def crossing_triangles(n, as_clip=False):
    """One polygon fill of n triangles over a 200 x 200 canvas, whose edges cross one another;
    or the same as the clip path of three rectangles."""
    points = []
    for i in range(n):
        points += [(i * 61 % 200, 0), ((i * 113 + 50) % 200, 200), (0 if i % 2 else 200, i * 29 % 200)]
    body = struct.pack("<4iII", 0, 0, 200, 200, n, len(points)) + struct.pack("<%dI" % n, *[3] * n)
    body += b"".join(struct.pack("<hh", *p) for p in points)
    if not as_clip:
        return emf(200, [emf_record(91, body)])
    return emf(200, [emf_record(59, b""), emf_record(91, body), emf_record(60, b""),
                     emf_record(67, struct.pack("<i", 5))] +
               [emf_record(43, struct.pack("<4i", 0, 0, 200, 200))] * 3)


def crossing_lines(n):
    """One polyline of n lines over a 200 x 200 canvas, crossing one another."""
    points = [(i * 61 % 200, 0) if i % 2 else ((i * 113 + 50) % 200, 200) for i in range(n + 1)]
    body = struct.pack("<4iI", 0, 0, 200, 200, len(points)) + b"".join(struct.pack("<hh", *p) for p in points)
    return emf(200, [emf_record(87, body)])


# name: (maker, small size, full size)
RECIPES = {
    "emf-clip-strips": (clip_strips, 64, 4096),
    "wmf-paint-region": (paint_region, 30, 3000),
    "wmf-select-region": (select_region, 200, 20000),
    "emf-far-text": (far_text, 80, 8000),
    "emf-clip-path": (lambda n: clip_path(4 * n, n), 100, 10000),
    "emf-dotted-lines": (dotted_lines, 150, 15000),
    "emf-triangles": (triangles, 20, 2000),
    "emf-crossing-triangles": (crossing_triangles, 30, 1000),
    "emf-crossing-lines": (crossing_lines, 100, 3000),
    "emf-crossing-clip": (lambda n: crossing_triangles(n, True), 30, 1000),
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--scale", type=float, default=0)
    parser.add_argument("--out")
    args = parser.parse_args()
    for name, (make, small, full) in RECIPES.items():
        if args.out:
            size = int(full * args.scale) if args.scale else full
            with open(os.path.join(args.out, name + "." + name[:3]), "wb") as f:
                f.write(make(size))
        else:
            # The harness's first byte: bit 0 picks the enhanced route; the
            # other bits clear ask for the harness's small limits.
            selector = bytes([1 if name.startswith("emf") else 0])
            with open(os.path.join(HERE, "seeds", "metafile", "hostile-" + name), "wb") as f:
                f.write(selector + make(small))


if __name__ == "__main__":
    main()
