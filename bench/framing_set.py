#!/usr/bin/env python3
"""Measures how often a crop keeps the subject whole, centre against smart.

Writes a tuning set of pictures whose subject is off the middle (people at
the top of portrait pictures, people at a side of wide ones, objects near an
edge, the shared photos placed off the middle of a wider or taller ground),
converts each with --fit crop and every --gravity given, reads the part kept
from the verbose log ("kept X,Y WxH") and counts the pictures whose
subject's box lies inside it.

    python3 bench/framing_set.py build/release/cli/kestrin-convert [--keep DIR]

Needs python3-pil (scripts/setup.sh --quality).
"""
import argparse
import os
import random
import re
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw, ImageFilter

SKINS = [(224, 172, 138), (198, 134, 96), (141, 85, 54), (242, 200, 170), (170, 110, 80)]
PHOTOS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "quality", "photos")


def ground(rng, width, height):
    """A sky over a textured ground, a horizon somewhere between."""
    image = Image.new("RGB", (width, height))
    draw = ImageDraw.Draw(image)
    horizon = int(height * rng.uniform(0.35, 0.7))
    sky = (rng.randint(120, 190), rng.randint(150, 210), rng.randint(190, 240))
    for y in range(horizon):
        t = y / max(1, horizon)
        draw.line([(0, y), (width, y)], fill=tuple(int(c * (0.8 + 0.2 * t)) for c in sky))
    earth = rng.choice([(96, 120, 70), (140, 125, 95), (110, 110, 105), (80, 100, 60)])
    draw.rectangle([0, horizon, width, height], fill=earth)
    noise = Image.effect_noise((width, height), rng.uniform(8, 30)).convert("RGB")
    mask = Image.new("L", (width, height), 0)
    ImageDraw.Draw(mask).rectangle([0, horizon, width, height], fill=int(rng.uniform(40, 110)))
    image = Image.composite(Image.blend(image, noise, 0.5), image, mask)
    return image.filter(ImageFilter.GaussianBlur(1.0))


def person(draw, rng, left, top, width, height):
    """A head on shoulders; returns the head's box, the part that must stay."""
    skin = rng.choice(SKINS)
    head_w = width * 0.45
    head_h = min(height * 0.38, head_w * 1.3)
    cx = left + width / 2
    head = [cx - head_w / 2, top + head_h * 0.15, cx + head_w / 2, top + head_h * 1.15]
    shirt = (rng.randint(20, 230), rng.randint(20, 230), rng.randint(20, 230))
    draw.rounded_rectangle([left, head[3] - head_h * 0.05, left + width, top + height], radius=width * 0.2,
                           fill=shirt)
    hair = rng.choice([(40, 30, 20), (90, 60, 30), (200, 170, 90), (20, 20, 20)])
    draw.ellipse([head[0] - head_w * 0.05, top, head[2] + head_w * 0.05, head[1] + head_h * 0.6], fill=hair)
    draw.ellipse(head, fill=skin)
    eye_y = head[1] + head_h * 0.42
    for ex in (cx - head_w * 0.18, cx + head_w * 0.18):
        draw.ellipse([ex - head_w * 0.06, eye_y - head_w * 0.04, ex + head_w * 0.06, eye_y + head_w * 0.04],
                     fill=(40, 30, 30))
    draw.line([cx - head_w * 0.15, head[1] + head_h * 0.75, cx + head_w * 0.15, head[1] + head_h * 0.75],
              fill=(150, 60, 60), width=max(1, int(head_w * 0.04)))
    return [int(head[0]), int(top), int(head[2]) + 1, int(head[3]) + 1]


def thing(draw, rng, box):
    """A saturated object with some detail: a ball, a box or a flower."""
    import math
    color = rng.choice([(220, 40, 30), (240, 200, 20), (30, 80, 220), (200, 30, 160), (250, 120, 0)])
    kind = rng.randint(0, 2)
    x0, y0, x1, y1 = box
    if kind == 0:
        draw.ellipse(box, fill=color, outline=(30, 30, 30), width=3)
        draw.ellipse([x0 + (x1 - x0) * 0.2, y0 + (y1 - y0) * 0.2, x0 + (x1 - x0) * 0.4, y0 + (y1 - y0) * 0.4],
                     fill=(255, 255, 255))
    elif kind == 1:
        draw.rectangle(box, fill=color, outline=(20, 20, 20), width=4)
        draw.line([x0, y0, x1, y1], fill=(20, 20, 20), width=3)
        draw.line([x0, y1, x1, y0], fill=(20, 20, 20), width=3)
    else:
        cx, cy, r = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2
        for i in range(8):
            a = i * math.pi / 4
            px, py = cx + math.cos(a) * r * 0.55, cy + math.sin(a) * r * 0.55
            draw.ellipse([px - r * 0.45, py - r * 0.45, px + r * 0.45, py + r * 0.45], fill=color)
        draw.ellipse([cx - r * 0.3, cy - r * 0.3, cx + r * 0.3, cy + r * 0.3], fill=(250, 220, 40))
    return [int(x0), int(y0), int(x1) + 1, int(y1) + 1]


def generated_cases(rng):
    cases = []
    for i in range(12):  # portraits: the head near the top
        w, h = rng.choice([(900, 1200), (800, 1200), (720, 1280)])
        image = ground(rng, w, h)
        pw = int(w * rng.uniform(0.35, 0.6))
        left = rng.randint(0, w - pw)
        top = int(h * rng.uniform(0.02, 0.12))
        subject = person(ImageDraw.Draw(image), rng, left, top, pw, h - top)
        cases.append((f"portrait{i}", image, subject))
    for i in range(12):  # people at a side of a wide picture
        w, h = rng.choice([(1600, 900), (1500, 1000), (1800, 900)])
        image = ground(rng, w, h)
        pw = int(w * rng.uniform(0.1, 0.16))
        left = rng.randint(0, int(w * 0.04)) if i % 2 == 0 else w - pw - rng.randint(0, int(w * 0.04))
        top = int(h * rng.uniform(0.15, 0.35))
        head = person(ImageDraw.Draw(image), rng, left, top, pw, h - top)
        cases.append((f"side{i}", image, [left, head[1], left + pw, head[3]]))
    for i in range(16):  # objects near an edge
        w, h = rng.choice([(1200, 900), (1500, 1000), (900, 1200), (1600, 900), (800, 1200)])
        image = ground(rng, w, h)
        size = int(min(w, h) * rng.uniform(0.15, 0.28))
        side = i % 4
        margin = rng.randint(0, int(min(w, h) * 0.04))
        if side == 0:
            x, y = margin, rng.randint(0, h - size)
        elif side == 1:
            x, y = w - size - margin, rng.randint(0, h - size)
        elif side == 2:
            x, y = rng.randint(0, w - size), margin
        else:
            x, y = rng.randint(0, w - size), h - size - margin
        cases.append((f"object{i}", image, thing(ImageDraw.Draw(image), rng, [x, y, x + size, y + size])))
    return cases


def photo_cases(rng, photos):
    cases = []
    if not os.path.isdir(photos):
        print(f"(no shared photos in {photos}: generated pictures only)")
        return cases
    names = sorted(os.listdir(photos))
    for i, name in enumerate(names):
        photo = Image.open(os.path.join(photos, name)).convert("RGB")
        for wide in (True, False):
            w, h = (1500, 800) if wide else (800, 1400)
            other = Image.open(os.path.join(photos, names[(i + 3) % len(names)])).convert("RGB")
            image = other.resize((w, h)).filter(ImageFilter.GaussianBlur(12))
            scale = (h * 0.55 if wide else w * 0.4) / max(photo.size)
            small = photo.resize((max(1, int(photo.width * scale)), max(1, int(photo.height * scale))))
            if wide:
                x = rng.randint(0, 30) if rng.random() < 0.5 else w - small.width - rng.randint(0, 30)
                y = rng.randint(0, h - small.height)
            else:
                x = rng.randint(0, w - small.width)
                y = rng.randint(0, 30) if rng.random() < 0.5 else h - small.height - rng.randint(0, 30)
            image.paste(small, (x, y))
            cases.append((f"{os.path.splitext(name)[0]}-{'wide' if wide else 'tall'}", image,
                          [x, y, x + small.width, y + small.height]))
    return cases


def kept(convert, path, gravity, folder):
    out = os.path.join(folder, "out.pdb")
    result = subprocess.run([convert, "-f", "-v", "--fit", "crop", "--gravity", gravity, path, out],
                            capture_output=True, text=True)
    match = re.search(r"kept (\d+),(\d+) (\d+)x(\d+)", result.stderr + result.stdout)
    if not match:
        sys.exit(f"no part kept for {path}: {result.stderr}")
    x, y, w, h = map(int, match.groups())
    return [x, y, x + w, y + h]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("convert")
    parser.add_argument("--keep", help="keep the pictures in this folder")
    parser.add_argument("--gravities", default="center,smart")
    parser.add_argument("--photos", default=PHOTOS, help="the shared photos (default: ../shared/quality/photos)")
    args = parser.parse_args()
    rng = random.Random(43)
    random.seed(43)
    cases = generated_cases(rng) + photo_cases(rng, args.photos)
    folder = args.keep or tempfile.mkdtemp()
    os.makedirs(folder, exist_ok=True)
    gravities = args.gravities.split(",")
    whole = {g: 0 for g in gravities}
    for name, image, subject in cases:
        path = os.path.join(folder, name + ".png")
        image.save(path)
        marks = []
        for gravity in gravities:
            box = kept(args.convert, path, gravity, folder)
            inside = box[0] <= subject[0] and box[1] <= subject[1] and subject[2] <= box[2] and subject[3] <= box[3]
            whole[gravity] += inside
            marks.append(f"{gravity}:{'kept' if inside else 'LOST'}")
        print(f"{name:24} {image.width}x{image.height} subject {subject}  " + "  ".join(marks))
    print()
    for gravity in gravities:
        print(f"{gravity:8} subject kept whole in {whole[gravity]} of {len(cases)} "
              f"({100.0 * whole[gravity] / len(cases):.0f} %)")


if __name__ == "__main__":
    main()
