#!/usr/bin/python3
"""pillow-ico.py IN OUT.ico: the same seven sizes, written by Pillow (Debian's python3-pil)."""
import sys

from PIL import Image

SIZES = [(s, s) for s in (16, 24, 32, 48, 64, 128, 256)]
Image.open(sys.argv[1]).save(sys.argv[2], sizes=SIZES)
