#!/usr/bin/python3
"""Writes icon files that each break one rule of `glyphora-cli lint`, and a sound one.

    make-broken-icons.py OUTDIR

OUTDIR/NAME.ico for every row below, and OUTDIR/expected.txt with one line a file:
NAME RULE ENTRY LOADER, where RULE is the rule lint must report (- for none), ENTRY the
directory entry it is about (counted from 1; 0 for the whole file) and LOADER what the
Windows icon loader must make of that entry: refused, blank, solid (an opaque square
where the image is transparent), squashed (shown, but not at the directory's size), or -
where the rule says the file is damaged and the loader still shows something.  Needs Debian's python3-pil for the PNG rows.
"""
import io
import os
import struct
import sys
import zlib

from PIL import Image, ImageDraw


def picture(side, alpha=True):
    """An opaque disc with a bar on transparency: detail at every size."""
    im = Image.new("RGBA", (side, side), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    d.ellipse((1, 1, side - 2, side - 2), fill=(30, 120, 220, 255))
    d.rectangle((side // 4, side // 2 - 2, 3 * side // 4, side // 2 + 1), fill=(250, 200, 20, 255))
    return im


def dib(im, header=40, height=None, compression=0, mask_all_set=False, mask_of=None):
    """A 32-bit icon bitmap: BITMAPINFOHEADER (header bytes long), rows bottom-up BGRA,
    then the AND mask: all set, none set, or set where mask_of (an image) is transparent."""
    w, h = im.size
    px = im.load()
    rows = b"".join(bytes(c for x in range(w) for c in (px[x, y][2], px[x, y][1], px[x, y][0], px[x, y][3]))
                    for y in range(h - 1, -1, -1))
    stride = ((w + 31) // 32) * 4
    mask = (b"\xff" if mask_all_set else b"\x00") * (stride * h)
    if mask_of is not None:
        shape = mask_of.load()
        mask = b"".join(
            bytes(sum(0x80 >> (x % 8) for x in range(byte * 8, min(w, byte * 8 + 8)) if not shape[x, y][3])
                  for byte in range(stride))
            for y in range(h - 1, -1, -1))
    info = struct.pack("<IiiHHIIiiII", header, w, 2 * h if height is None else height, 1, 32, compression,
                       len(rows) + len(mask), 2835, 2835, 0, 0)
    info += b"\x00" * (header - len(info))
    return info + rows + mask


def png(im):
    out = io.BytesIO()
    im.save(out, "PNG")
    return out.getvalue()


def corrupt_png(im):
    """A PNG whose chunks are all sound (lengths, CRCs) but whose image data does not
    inflate: its zlib stream is cut to half, past the zlib header."""
    data = png(im)
    at = data.index(b"IDAT") - 4
    length = struct.unpack(">I", data[at:at + 4])[0]
    idat = data[at + 8:at + 8 + length]
    idat = idat[:2] + bytes(b ^ 0x5A for b in idat[2:len(idat) // 2])
    chunk = struct.pack(">I", len(idat)) + b"IDAT" + idat
    chunk += struct.pack(">I", zlib.crc32(b"IDAT" + idat))
    return data[:at] + chunk + data[at + 12 + length:]


def ico(entries, reserved=0, kind=1, count=None, overrides=None):
    """entries: (side, bits, payload); overrides: {index: (length, offset)} stated in the
    directory instead of the real ones."""
    count = len(entries) if count is None else count
    head = struct.pack("<HHH", reserved, kind, count)
    offset = 6 + 16 * len(entries)
    directory = b""
    for i, (side, bits, payload) in enumerate(entries):
        length, at = len(payload), offset
        if overrides and i in overrides:
            length, at = overrides[i]
        directory += struct.pack("<BBBBHHII", side % 256, side % 256, 0, 0, 1, bits, length, at)
        offset += len(payload)
    return head + directory + b"".join(p for _, _, p in entries)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    p32 = picture(32)
    good = dib(p32)
    transparent = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
    rows = []

    def add(name, rule, entry, loader, data):
        with open(os.path.join(out, name + ".ico"), "wb") as f:
            f.write(data)
        rows.append(f"{name} {rule} {entry} {loader}")

    one = [(32, 32, good)]
    add("sound", "-", 0, "-", ico(one))
    add("reserved", "bad-header", 0, "-", ico(one, reserved=1))
    add("type", "bad-header", 0, "-", ico(one, kind=3))
    add("no-images", "bad-count", 0, "refused", ico([], count=0) + good)
    add("count-past-end", "bad-count", 0, "refused", ico(one, count=1000))
    first = 6 + 16
    add("outside", "entry-outside", 1, "refused", ico(one, overrides={0: (len(good) + 64, first)}))
    add("far-outside", "entry-outside", 1, "refused", ico(one, overrides={0: (len(good), 0x7FFFFFF0)}))
    add("empty", "empty-entry", 1, "-", ico(one, overrides={0: (0, first)}))
    add("not-an-image", "bad-image", 1, "refused", ico([(32, 32, b"\x14\x00\x00\x00" + good[4:])]))
    add("broken-png", "bad-image", 1, "refused", ico([(0, 32, b"\x89PNG\r\n\x1a\n" + b"\x00" * 200)]))
    add("compressed", "dib-header", 1, "refused", ico([(32, 32, dib(p32, compression=1))]))
    add("odd-header", "dib-header", 1, "refused", ico([(32, 32, dib(p32, header=64))]))
    add("half-height", "dib-height", 1, "squashed", ico([(32, 32, dib(p32, height=32))]))
    add("cut-colour", "dib-truncated", 1, "refused", ico([(32, 32, good[:40 + 32 * 32 * 2])]))
    add("cut-mask", "mask-short", 1, "-", ico([(32, 32, good[:40 + 32 * 32 * 4 + 40])]))
    add("blank-bitmap", "transparent", 1, "blank", ico([(32, 32, dib(transparent, mask_all_set=True))]))
    add("blank-png", "transparent", 1, "solid", ico([(0, 32, png(Image.new("RGBA", (256, 256), (0, 0, 0, 0))))]))
    # Alpha 0 everywhere: Windows draws the colour rows through the AND mask.  One that
    # hides nothing shows a solid square; one that draws the picture's shape shows it.
    opaque = picture(32).copy()
    opaque.putalpha(0)
    add("solid-bitmap", "transparent", 1, "solid", ico([(32, 32, dib(opaque))]))
    add("masked-bitmap", "-", 0, "-", ico([(32, 32, dib(opaque, mask_of=picture(32)))]))
    # A PNG that is not 8-bit RGBA is decoded all the same: Windows refuses one that does
    # not, alone or beside a sound image.
    rgb = corrupt_png(picture(32).convert("RGB"))
    add("corrupt-rgb", "bad-image", 1, "refused", ico([(32, 24, rgb)]))
    add("corrupt-rgb-pair", "bad-image", 2, "refused", ico([(16, 32, dib(picture(16))), (32, 24, rgb)]))
    # Two images whose data share bytes: damaged, though each still draws.
    p16 = dib(picture(16))
    add("overlap", "entry-overlap", 2, "-",
        ico([(16, 32, p16), (32, 32, good)], overrides={0: (len(p16) + 16, first + 16)}))
    with open(os.path.join(out, "expected.txt"), "w") as f:
        f.write("\n".join(rows) + "\n")


if __name__ == "__main__":
    main()
