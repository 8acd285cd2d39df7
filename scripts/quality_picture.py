#!/usr/bin/env python3
"""One enlarged picture that shows the fine quality beside what it is measured against.

For one photo of measure.py's run, at 160x110 and 8 and 4 bits: the reference
(the photo scaled in linear light, no palette; its linear luminance at 4 bits,
which is all a grey palette is scored on), Kestrin's fine quality and the
peer that scored best on this photo at that depth, each enlarged 3x by
repeating pixels so every dot stays visible, labelled, side by side.

usage: quality_picture.py --save DIR --json FILE [--photo coffee] [--sigma 1]
                          [--out docs/quality-fine.png]
DIR and FILE are measure.py's --save and --json output of one run with
--kestrin-opts "--quality fine". Needs python3-numpy and python3-pil.
"""
import argparse
import json
import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

SIZE = "160x110"
DEPTHS = (8, 4)
SCALE = 3
FINE = "kestrin --quality fine"
LABEL_HEIGHT = 18
GAP = 6


def saved_name(method):
    """The file measure.py keeps a method's picture in."""
    return method.replace(" ", "_").replace("/", "_") + ".png"


def best_peer(scores, photo, depth, sigma):
    """The method other than Kestrin with the lowest score on this photo."""
    prefix = f"{photo}|{SIZE}|{depth}|"
    peers = {}
    for key, value in scores.items():
        if not key.startswith(prefix):
            continue
        name, key_sigma = key[len(prefix):].rsplit("|", 1)
        if float(key_sigma) == sigma and not name.startswith("kestrin"):
            peers[name] = value
    if not peers:
        sys.exit(f"quality_picture.py: no peer scored {photo} at {SIZE}, {depth} bits, sigma {sigma}")
    return min(peers, key=peers.get)


def grey(picture):
    """The picture's luminance, taken in linear light, as a grey palette keeps it."""
    v = picture / 255.0
    light = np.where(v <= 0.04045, v / 12.92, ((v + 0.055) / 1.055) ** 2.4) @ np.array([0.2126, 0.7152, 0.0722])
    coded = np.where(light <= 0.0031308, 12.92 * light, 1.055 * light ** (1 / 2.4) - 0.055)
    return np.repeat((np.clip(coded, 0, 1) * 255 + 0.5).astype(np.uint8)[..., None], 3, axis=2)


def enlarged(picture):
    return np.repeat(np.repeat(picture, SCALE, axis=0), SCALE, axis=1)


def read(path):
    return np.asarray(Image.open(path).convert("RGB"))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--save", required=True, help="measure.py's --save folder")
    ap.add_argument("--json", required=True, help="measure.py's --json file of the same run")
    ap.add_argument("--photo", default="coffee", help="the photo's name without its extension")
    ap.add_argument("--sigma", type=float, default=1.0, help="the blur whose scores choose the peer")
    ap.add_argument("--out", default="docs/quality-fine.png")
    a = ap.parse_args()

    with open(a.json) as f:
        scores = json.load(f)
    photo_file = next((k.split("|")[0] for k in scores if os.path.splitext(k.split("|")[0])[0] == a.photo), None)
    if photo_file is None:
        sys.exit(f"quality_picture.py: {a.photo} was not measured in {a.json}")
    folder = os.path.join(a.save, a.photo)
    reference = read(os.path.join(folder, f"{SIZE}-ref", "ref.png"))

    rows = []
    for depth in DEPTHS:
        peer = best_peer(scores, photo_file, depth, a.sigma)
        key = f"{photo_file}|{SIZE}|{depth}|{{}}|{a.sigma}"
        fine_score = scores.get(key.format(FINE))
        peer_score = scores[key.format(peer)]
        # The grey depths are scored by lightness alone.
        cells = [("reference", enlarged(reference)) if depth > 4 else ("reference, grey", enlarged(grey(reference)))]
        cells.append((f"fine, {depth} bits ({fine_score:.2f})" if fine_score is not None else f"fine, {depth} bits",
                      enlarged(read(os.path.join(folder, f"{SIZE}-{depth}", saved_name(FINE))))))
        cells.append((f"{peer} ({peer_score:.2f})",
                      enlarged(read(os.path.join(folder, f"{SIZE}-{depth}", saved_name(peer))))))
        rows.append(cells)

    cell_height, cell_width = rows[0][0][1].shape[:2]
    width = len(rows[0]) * cell_width + (len(rows[0]) - 1) * GAP
    height = len(rows) * (cell_height + LABEL_HEIGHT) + (len(rows) - 1) * GAP
    canvas = Image.new("RGB", (width, height), "white")
    draw = ImageDraw.Draw(canvas)
    font = ImageFont.load_default()
    for r, cells in enumerate(rows):
        top = r * (cell_height + LABEL_HEIGHT + GAP)
        for c, (label, picture) in enumerate(cells):
            left = c * (cell_width + GAP)
            draw.text((left + 2, top + 3), label, fill="black", font=font)
            canvas.paste(Image.fromarray(picture), (left, top + LABEL_HEIGHT))
    os.makedirs(os.path.dirname(a.out) or ".", exist_ok=True)
    canvas.save(a.out, optimize=True)
    print(f"{a.out}: {a.photo} at {SIZE}, {', '.join(f'{d} bits' for d in DEPTHS)}; scores at sigma {a.sigma:g}")


if __name__ == "__main__":
    main()
