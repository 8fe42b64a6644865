#!/usr/bin/python3
"""lint-theme-icons.py GLYPHORA_CLI WORKDIR: for every 512-pixel picture of the Adwaita
theme, the icons ImageMagick (icon:auto-resize) and Pillow (sizes=) shrink from it get no
upscaled warning, and four icons whose largest images ImageMagick enlarged (-scale,
-resize) from its 64 or 128 pixel shrink get one per enlarged image.  Exit status 0
passed, 1 failed, 77 skipped."""
import glob
import io
import json
import os
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

cli, work = sys.argv[1], sys.argv[2]
convert = "/usr/bin/convert"
pictures = sorted(glob.glob("/usr/share/icons/Adwaita/512x512/**/*.png", recursive=True))
try:
    from PIL import Image
except ImportError:
    pictures = []
if not pictures or not os.path.exists(convert):
    print("skipped: needs the Adwaita icon theme, ImageMagick and Pillow")
    sys.exit(77)
os.makedirs(work, exist_ok=True)
SIZES = [256, 128, 64, 48, 32, 16]


def magick(args):
    out = subprocess.run([convert] + args + ["png32:-"], check=True, capture_output=True).stdout
    return Image.open(io.BytesIO(out))


def make(path):
    """The icons of one picture: [(file, number of enlarged images)]."""
    name = os.path.basename(os.path.dirname(path)) + "-" + os.path.basename(path)[:-4]
    base = os.path.join(work, name)
    made = [(base + "-magick.ico", 0), (base + "-pillow.ico", 0)]
    subprocess.run([convert, path, "-define", "icon:auto-resize=" + ",".join(map(str, SIZES)), made[0][0]],
                   check=True)
    Image.open(path).save(made[1][0], sizes=[(s, s) for s in SIZES])
    shrunk = {side: magick([path, "-resize", f"{side}x{side}"]) for side in (16, 32, 48, 64, 128)}
    for operator in ("scale", "resize"):
        for side in (64, 128):
            source = f"{base}-{side}.png"
            shrunk[side].save(source)
            images = {s: im for s, im in shrunk.items() if s <= side}
            for larger in (128, 256):
                if larger > side:
                    images[larger] = magick([source, f"-{operator}", f"{larger}x{larger}"])
            sides = sorted(images)
            ico = f"{base}-{operator}{side}.ico"
            images[sides[-1]].save(ico, sizes=[(s, s) for s in sides], append_images=[images[s] for s in sides[:-1]])
            made.append((ico, len(sides) - len([s for s in sides if s <= side])))
    return made


with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
    icons = [icon for made in pool.map(make, pictures) for icon in made]
report = json.loads(subprocess.run([cli, "-q", "lint", "--json"] + [f for f, _ in icons],
                                   capture_output=True, check=False).stdout)
failed = shrinks = false = enlargements = found = 0
for (path, enlarged), entry in zip(icons, report["files"]):
    upscaled = [f["text"] for f in entry["findings"] if f["rule"] == "upscaled"]
    enlargements += enlarged
    found += min(len(upscaled), enlarged)
    shrinks += not enlarged
    false += bool(upscaled) and not enlarged
    if len(upscaled) != enlarged:
        failed += 1
        print(f"FAILED {os.path.basename(path)}: {len(upscaled)} upscaled, {enlarged} expected: {upscaled}")
print(f"{len(pictures)} pictures: {shrinks} shrunk icons, {false} with an upscaled warning; "
      f"{found} of {enlargements} enlarged images found")
sys.exit(1 if failed else 0)
