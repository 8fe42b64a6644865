#!/usr/bin/python3
"""Makes the benchmark's pictures, the same bytes on every run.

    make-inputs.py OUTDIR
    make-inputs.py --batch OUTDIR   (the 200 pictures of bench/batch.sh instead)

photo.jpg   4000 x 3000 photo-like JPEG (smooth light, texture at several scales, grain)
soft.png    1024 x 1024 PNG with soft transparency (a glowing disc fading to nothing)
wide.png    2000 x 1000 PNG, not square, with a half-transparent band
drawing.svg an SVG with linear and radial gradients, text, a pattern and a blur filter

--batch: OUTDIR/batch-NNN.png and .jpg, 200 pictures, every other one a JPEG, their
longer side going from 256 to 3000 pixels, some square and some not, the PNGs with
soft transparency.

Needs Debian's python3-pil; the noise comes from SHAKE-256 so that nothing depends on a
random generator's state.
"""
import hashlib
import os
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter


def noise(seed, size):
    """A grey picture of deterministic noise."""
    data = hashlib.shake_256(seed.encode()).digest(size[0] * size[1])
    return Image.frombytes("L", size, data)


def octaves(seed, size, scales):
    """Noise at several scales, each smoothed up to size and averaged: cloud-like texture."""
    layers = []
    for i, (w, h) in enumerate(scales):
        layers.append(noise(f"{seed}-{i}", (w, h)).resize(size, Image.Resampling.BICUBIC))
    out = layers[0]
    for i, layer in enumerate(layers[1:], start=2):
        out = Image.blend(out, layer, 1.0 / i)
    return out


def photo(path):
    size = (4000, 3000)
    scales = [(8, 6), (40, 30), (200, 150), (1000, 750)]
    sky = Image.linear_gradient("L").resize(size, Image.Resampling.BILINEAR)
    channels = []
    for name, base in (("r", 170), ("g", 120), ("b", 60)):
        tex = octaves("photo-" + name, size, scales)
        ch = ImageChops.add(ImageChops.multiply(tex, sky), Image.new("L", size, base // 3))
        channels.append(ch)
    img = Image.merge("RGB", channels)
    draw = ImageDraw.Draw(img)
    # a few solid objects with hard edges, as photographs have
    for i in range(12):
        x = 250 + i * 310
        y = 1700 + (i * 137) % 900
        draw.ellipse((x, y, x + 260 + (i * 53) % 200, y + 200 + (i * 71) % 300),
                     fill=(40 + i * 15, 200 - i * 10, 90 + (i * 37) % 150))
    img = img.filter(ImageFilter.GaussianBlur(1.2))
    grain = noise("photo-grain", size)
    img = Image.blend(img, Image.merge("RGB", [grain, grain, grain]), 0.06)
    img.save(path, "JPEG", quality=90)


def soft(path):
    size = (1024, 1024)
    glow = Image.radial_gradient("L").resize(size, Image.Resampling.BICUBIC)
    alpha = ImageChops.invert(glow)  # opaque centre, fading to transparent at the rim
    alpha = alpha.point(lambda v: max(0, min(255, (v - 64) * 2)))
    tex = octaves("soft", size, [(4, 4), (16, 16), (64, 64)])
    r = ImageChops.add(tex, Image.new("L", size, 80))
    g = Image.linear_gradient("L").resize(size).rotate(90)
    b = ImageChops.invert(tex)
    img = Image.merge("RGBA", [r, g, b, alpha])
    img.save(path, "PNG")


def wide(path):
    size = (2000, 1000)
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    base = Image.linear_gradient("L").rotate(90).resize(size)
    tex = octaves("wide", size, [(20, 10), (100, 50)])
    img = Image.merge("RGBA", [base, tex, ImageChops.invert(base), Image.new("L", size, 255)])
    draw = ImageDraw.Draw(img)
    draw.rectangle((0, 400, 1999, 600), fill=(230, 40, 40, 128))
    draw.ellipse((800, 200, 1200, 800), fill=(20, 60, 220, 255))
    img.save(path, "PNG")


SVG = """<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="512" height="512" viewBox="0 0 512 512">
  <defs>
    <linearGradient id="back" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="#3282F6"/>
      <stop offset="1" stop-color="#FFF200"/>
    </linearGradient>
    <radialGradient id="ball" cx="0.35" cy="0.35" r="0.65">
      <stop offset="0" stop-color="#FFFFFF"/>
      <stop offset="0.4" stop-color="#EB3324"/>
      <stop offset="1" stop-color="#5A0A05"/>
    </radialGradient>
    <pattern id="dots" width="24" height="24" patternUnits="userSpaceOnUse">
      <rect width="24" height="24" fill="#1F3A60"/>
      <circle cx="12" cy="12" r="6" fill="#8FB8F0"/>
    </pattern>
    <filter id="shadow" x="-20%" y="-20%" width="140%" height="140%">
      <feGaussianBlur in="SourceAlpha" stdDeviation="10"/>
      <feOffset dx="8" dy="12" result="blur"/>
      <feMerge><feMergeNode in="blur"/><feMergeNode in="SourceGraphic"/></feMerge>
    </filter>
  </defs>
  <rect x="16" y="16" width="480" height="480" rx="72" fill="url(#back)"/>
  <rect x="56" y="300" width="400" height="150" rx="24" fill="url(#dots)" opacity="0.85"/>
  <circle cx="256" cy="200" r="130" fill="url(#ball)" filter="url(#shadow)"/>
  <text x="256" y="410" font-family="DejaVu Sans, sans-serif" font-size="84" font-weight="bold"
        text-anchor="middle" fill="#FFFFFF" stroke="#000000" stroke-opacity="0.5" stroke-width="3">ICON</text>
</svg>
"""


BATCH_COUNT = 200


def batch_picture(i):
    """Picture i of the batch: size, kind and content all follow from i."""
    longer = 256 + (3000 - 256) * i // (BATCH_COUNT - 1)
    aspect = (1.0, 0.75, 0.5625, 1.333)[i % 4]
    size = (longer, max(1, int(longer * aspect))) if aspect <= 1 else (int(longer / aspect), longer)
    small = (max(2, size[0] // 64), max(2, size[1] // 64))
    channels = [noise(f"batch-{i}-{c}", small).resize(size, Image.Resampling.BICUBIC) for c in "rgb"]
    img = Image.merge("RGB", channels)
    draw = ImageDraw.Draw(img)
    for k in range(4):
        x = (k * 97 + i * 31) % max(1, size[0] // 2)
        y = (k * 53 + i * 17) % max(1, size[1] // 2)
        draw.ellipse((x, y, x + size[0] // 3, y + size[1] // 3),
                     fill=((i * 40 + k * 60) % 256, (i * 90) % 256, (k * 70) % 256))
    grain = noise(f"batch-{i}-grain", size)
    img = Image.blend(img, Image.merge("RGB", [grain, grain, grain]), 0.05)
    if i % 2:
        return img, "jpg"
    alpha = Image.radial_gradient("L").resize(size, Image.Resampling.BILINEAR)
    img.putalpha(alpha.point(lambda v: 255 - v))
    return img, "png"


def make_batch(out):
    os.makedirs(out, exist_ok=True)
    for i in range(BATCH_COUNT):
        kind = "jpg" if i % 2 else "png"
        path = os.path.join(out, f"batch-{i:03d}.{kind}")
        if os.path.exists(path):
            continue
        img, kind = batch_picture(i)
        part = os.path.join(out, f"part-{os.getpid()}.{kind}")
        if kind == "jpg":
            img.save(part, "JPEG", quality=88)
        else:
            img.save(part, "PNG")
        os.replace(part, path)


def main():
    if len(sys.argv) > 2 and sys.argv[1] == "--batch":
        make_batch(sys.argv[2])
        return
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(out, exist_ok=True)
    makers = {"photo.jpg": photo, "soft.png": soft, "wide.png": wide}
    for name, make in makers.items():
        path = os.path.join(out, name)
        if not os.path.exists(path):
            # written aside and renamed, so that an interrupted run leaves no half picture
            part = os.path.join(out, f"part-{os.getpid()}-{name}")
            make(part)
            os.replace(part, path)
    path = os.path.join(out, "drawing.svg")
    part = f"{path}.{os.getpid()}.part"
    with open(part, "w", encoding="utf-8") as f:
        f.write(SVG)
    os.replace(part, path)


if __name__ == "__main__":
    main()
