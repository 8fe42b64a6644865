#!/usr/bin/python3
"""pillow-batch.py OUTDIR IN...: every picture to OUTDIR/NAME.ico in this one process, the
same seven sizes as glyphora-cli ico, written by Pillow (Debian's python3-pil)."""
import os
import sys

from PIL import Image

SIZES = [(s, s) for s in (16, 24, 32, 48, 64, 128, 256)]
out = sys.argv[1]
for path in sys.argv[2:]:
    name = os.path.splitext(os.path.basename(path))[0] + ".ico"
    with Image.open(path) as im:
        im.save(os.path.join(out, name), sizes=SIZES)
