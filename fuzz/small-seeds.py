#!/usr/bin/python3
"""Small seeds for the icon readers' fuzz targets: every kind of image an icon holds, at
8 and 16 pixels, so that each run decodes a few hundred bytes instead of a whole library.

    small-seeds.py SEED_DIR

Writes SEED_DIR/{dib,moduledib,png,ico,rc,svg}: icon payloads (DIBs of 1, 4, 8, 16, 24 and 32
bits with the 40-, 108- and 124-byte headers, and PNGs of every colour type), the same
payloads behind decodeModuleDib's two directory bytes, .ico files holding them, and .ico
files plus a resource script that make-seeds.sh compiles into tiny PE files, and SVG
drawings behind the width, height and pixel format asked of the picture limits."""

import os
import struct
import sys
import zlib


def pixel(x, y, side):
    """An opaque-to-clear gradient with a hole, so that colour, alpha and mask all vary."""
    r, g, b = (x * 255 // side, y * 255 // side, (x + y) * 127 // side)
    a = 0 if (x, y) == (1, 1) else 255 - x * 8
    return r, g, b, a


def dib(side, bits, header_size=40, colours_used=0):
    """A BITMAPINFOHEADER-led icon payload: header, palette, XOR rows (bottom up), AND mask."""
    palette_entries = (colours_used or (1 << bits)) if bits <= 8 else 0
    header = struct.pack("<IiiHHIIiiII", header_size, side, side * 2, 1, bits, 0, 0, 0, 0,
                         colours_used, 0)
    header += b"\0" * (header_size - len(header))
    palette = b"".join(struct.pack("<BBBB", i * 37 % 256, i * 91 % 256, i * 53 % 256, 0)
                       for i in range(palette_entries))
    stride = ((side * bits + 31) // 32) * 4
    mask_stride = ((side + 31) // 32) * 4
    colour = b""
    mask = b""
    for y in reversed(range(side)):
        row = bytearray(stride)
        mask_row = bytearray(mask_stride)
        for x in range(side):
            r, g, b, a = pixel(x, y, side)
            if bits == 32:
                row[x * 4:x * 4 + 4] = bytes((b, g, r, a))
            elif bits == 24:
                row[x * 3:x * 3 + 3] = bytes((b, g, r))
            elif bits == 16:
                row[x * 2:x * 2 + 2] = struct.pack("<H", (r >> 3) << 10 | (g >> 3) << 5 | b >> 3)
            else:
                index = (x + y) % max(1, palette_entries)
                row[x * bits // 8] |= index << (8 - bits - (x * bits) % 8)
            if a < 128:
                mask_row[x // 8] |= 0x80 >> (x % 8)
        colour += bytes(row)
        mask += bytes(mask_row)
    return header + palette + colour + mask


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png(side, colour_type, depth=8, interlace=0, transparency=False, ancillary=False):
    """A PNG of every colour type PNG knows, filtered rows with filter type y % 5; with
    ancillary, the chunks real icon PNGs carry before the data (gAMA, cHRM, bKGD, a
    private one) and the data split over three IDAT chunks."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    raw = b""
    for y in range(side):
        raw += bytes((y % 5,))
        for x in range(side):
            r, g, b, a = pixel(x, y, side)
            values = {0: (g,), 2: (r, g, b), 3: ((x + y) % (1 << min(depth, 8)),), 4: (g, a),
                      6: (r, g, b, a)}[colour_type]
            for v in values:
                raw += bytes((v, v)) if depth == 16 else bytes((v,))
    # interlace=1 marks plain rows as Adam7 passes: the quick road refuses it, Qt's reader
    # reads what it can; both answers are what the seed is for
    ihdr = struct.pack(">IIBBBBB", side, side, depth, colour_type, 0, 0, interlace)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
    if ancillary:
        out += chunk(b"gAMA", struct.pack(">I", 45455))
        out += chunk(b"cHRM", struct.pack(">8I", 31270, 32900, 64000, 33000, 30000, 60000,
                                          15000, 6000))
        out += chunk(b"caNv", b"\0" * 16)
    if colour_type == 3:
        out += chunk(b"PLTE", bytes(range(0, 48)))
    if ancillary:
        out += chunk(b"bKGD", b"\0\xff" * (3 if colour_type in (2, 6) else 1))
    if transparency:
        out += chunk(b"tRNS", bytes((0, 128, 255)) if colour_type == 3 else b"\0\x10")
    data = zlib.compress(raw, 9)
    parts = (data[:len(data) // 3], data[len(data) // 3:len(data) // 2], data[len(data) // 2:]) \
        if ancillary else (data,)
    for part in parts:
        out += chunk(b"IDAT", part)
    out += chunk(b"IEND", b"")
    return out


def ico(entries):
    """An .ico file of (width, height, bits, payload) entries, payloads after the directory."""
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for width, height, bits, payload in entries:
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, bits, len(payload),
                           offset)
        offset += len(payload)
    return out + b"".join(e[3] for e in entries)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    out = sys.argv[1]
    payloads = {}
    for side in (8, 16):
        for bits in (1, 4, 8, 16, 24, 32):
            payloads[f"dib{side}_{bits}"] = (side, bits, dib(side, bits))
    payloads["dib16_8_used16"] = (16, 8, dib(16, 8, colours_used=16))
    payloads["dib16_32_v4"] = (16, 32, dib(16, 32, header_size=108))
    payloads["dib16_32_v5"] = (16, 32, dib(16, 32, header_size=124))
    payloads["dib16_4_v5"] = (16, 4, dib(16, 4, header_size=124))
    pngs = {
        "png16_rgba": png(16, 6), "png16_rgb": png(16, 2), "png16_gray": png(16, 0),
        "png16_grayalpha": png(16, 4), "png16_palette": png(16, 3, transparency=True),
        "png16_palette4": png(16, 3, depth=4), "png16_rgba16": png(16, 6, depth=16),
        "png8_rgb_trns": png(8, 2, transparency=False), "png16_gray_trns": png(16, 0, transparency=True),
        "png8_interlaced": png(8, 6, interlace=1),
        "png16_rgba_chunks": png(16, 6, ancillary=True),
        "png16_grayalpha_chunks": png(16, 4, ancillary=True),
    }
    for name, data in pngs.items():
        payloads[name] = (16 if name.startswith("png16") else 8, 32, data)
        write(f"{out}/png/{name}.png", data)
    for name, (side, bits, data) in payloads.items():
        write(f"{out}/dib/{name}", data)
        write(f"{out}/moduledib/{name}", bytes((side, side)) + data)
        # the directory's 0 bytes: the sides come from the payload's own header
        write(f"{out}/moduledib/{name}_zero", b"\0\0" + data)

    def entry(name):
        side, bits, data = payloads[name]
        return (side, side, bits, data)

    icos = {
        "all_dibs16": [entry(f"dib16_{b}") for b in (1, 4, 8, 16, 24, 32)],
        "all_dibs8": [entry(f"dib8_{b}") for b in (1, 4, 8, 24, 32)],
        "dib_and_png": [entry("dib16_32"), entry("png16_rgba"), entry("dib8_4")],
        "headers": [entry("dib16_32_v4"), entry("dib16_32_v5"), entry("dib16_8_used16")],
        "pngs": [entry(n) for n in pngs],
        "stated256": [(256, 256, 32, payloads["dib16_32"][2]), (0, 0, 32, payloads["png16_rgb"][2])],
        "one": [entry("dib16_4")],
        "growing": [entry("dib8_32"), entry("dib16_8"), entry("png16_palette")],
    }
    for name, entries in icos.items():
        write(f"{out}/ico/{name}.ico", ico(entries))
    # 300 entries that all name the file from the first entry on (4800 bytes): 1.4 MB in
    # all, past the listing's input budget of 1 MB and four times the file.  Read as a DIB,
    # the payload is the directory itself: size 40 (the width byte and three zeros), biWidth
    # 2^29 (planes 0, bits 0x2000), which the decoder refuses at once, so each run costs
    # copies, not decoding.
    count = 300
    size = 6 + 16 * count
    budget = struct.pack("<HHH", 0, 1, count)
    for _ in range(count):
        budget += struct.pack("<BBBBHHII", 40, 0, 0, 0, 0, 0x2000, size - 6, 6)
    write(f"{out}/ico/over_budget.ico", budget)
    # The PE seeds' icons: three groups, one of them string-named, among resources of a
    # numbered and a named type that the reader passes over.
    write(f"{out}/rc/a.ico", ico([entry("dib16_4"), entry("dib8_32"), entry("png8_rgb_trns")]))
    write(f"{out}/rc/b.ico", ico([entry("dib8_1")]))
    write(f"{out}/rc/c.ico", ico([entry("dib8_8"), entry("dib8_24")]))
    write(f"{out}/rc/icons.rc",
          b"1 ICON \"a.ico\"\nMAINICON ICON \"b.ico\"\n7 ICON \"c.ico\"\n"
          b"2 RCDATA { \"data\" }\n1 NOTES { \"text\" }\n")
    # and a file whose resources hold no icon at all
    write(f"{out}/rc/noicons.rc", b"2 RCDATA { \"data\" }\n")
    svgs = {
        "sized": b'<svg xmlns="http://www.w3.org/2000/svg" width="24" height="16">'
                 b'<rect x="2" y="2" width="20" height="12" fill="#c03" opacity="0.5"/></svg>',
        "viewbox": b'<svg xmlns="http://www.w3.org/2000/svg" width="100%" viewBox="0 0 10 40">'
                   b'<circle cx="5" cy="20" r="4" stroke="blue" fill="none"/></svg>',
        "units": b'<svg xmlns="http://www.w3.org/2000/svg" width="10mm" height="1in">'
                 b'<path d="M0 0 L10 10 Q 20 0 30 30 Z" fill="green"/></svg>',
        "nosize": b'<svg xmlns="http://www.w3.org/2000/svg"><text x="1" y="20">A</text></svg>',
        "huge": b'<svg xmlns="http://www.w3.org/2000/svg" width="1e30" height="1e-30">'
                b'<rect width="1" height="1"/></svg>',
        "gradient": b'<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 8 8"><defs>'
                    b'<linearGradient id="g"><stop offset="0" stop-color="red"/>'
                    b'<stop offset="1" stop-color="blue" stop-opacity="0"/></linearGradient>'
                    b'</defs><rect width="8" height="8" fill="url(#g)"/></svg>',
    }
    asks = [(16, 16, 0), (256, 256, 1), (0, 0, 2), (-1, 5, 3), (20000, 10, 4), (4096, 4096, 5),
            (300, 1, 0)]
    for i, (name, document) in enumerate(svgs.items()):
        width, height, fmt = asks[i % len(asks)]
        write(f"{out}/svg/{name}", struct.pack("<iiB", width, height, fmt) + document)


main()
