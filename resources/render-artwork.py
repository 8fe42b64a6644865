#!/usr/bin/python3
"""Render the program's artwork.

Tool icons come from Microsoft's Fluent System Icons (MIT licence, npm package
@fluentui/svg-icons); the SVGs used are kept in resources/images/fluent/ and recoloured here.
The product logo is drawn by hand in resources/logo/.

    python3 resources/render-artwork.py                 # render from the SVGs in the tree
    python3 resources/render-artwork.py --import DIR    # first copy the SVGs from an unpacked
                                                        # @fluentui/svg-icons package (DIR/icons)

Needs rsvg-convert (librsvg2-bin), convert (imagemagick) and icotool (icoutils).  The
output is committed, so building the program needs none of them.  The same input gives
the same bytes: rsvg-convert writes no time stamps and ImageMagick is told to leave them out.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.abspath(__file__))
IMAGES = os.path.join(ROOT, "images")
FLUENT = os.path.join(IMAGES, "fluent")
DRAWN = os.path.join(IMAGES, "drawn")  # icons with no Fluent twin, drawn on the same 24 grid
LOGO = os.path.join(ROOT, "logo")
HICOLOR = os.path.join(ROOT, "linux", "hicolor")
WINDOWS = os.path.join(ROOT, "windows")

# Colours.  BLACK is close to the text colour of Windows 11 in light mode; GRAY is a
# disabled grey that reads on a light and on a dark window.  Icons without a white twin
# are coloured so that they read in both schemes.
BLACK = "#1f1f1f"
WHITE = "#ffffff"
GRAY = "#8a8a8a"
ACCENT = "#0078d4"
GREEN = "#107c10"
RED = "#c42b1c"

# Output file, Fluent icon, pixel size, colour.
TOOL_ICONS = [
    # main window toolbar
    ("Update24.png", "arrow_sync_24_regular", 24, BLACK),
    ("UpdateWhite24.png", "arrow_sync_24_regular", 24, WHITE),
    ("websiteIcon24.png", "globe_24_regular", 24, BLACK),
    ("websiteWhiteIcon24.png", "globe_24_regular", 24, WHITE),
    ("About24.png", "info_24_regular", 24, BLACK),
    ("AboutWhite24.png", "info_24_regular", 24, WHITE),
    # Create Icon tab
    ("_BackIosBlack64.png", "chevron_left_48_regular", 64, BLACK),
    ("_BackIosWhite64.png", "chevron_left_48_regular", 64, WHITE),
    ("_PlusBlack24.png", "add_24_regular", 24, BLACK),
    ("_PlusWhite24.png", "add_24_regular", 24, WHITE),
    ("_EditBlack24.png", "edit_24_regular", 24, BLACK),
    ("_EditWhite24.png", "edit_24_regular", 24, WHITE),
    ("_playcircleBlack24.png", "play_circle_24_regular", 24, BLACK),
    ("_playcircleWhite24.png", "play_circle_24_regular", 24, WHITE),
    ("_AddImageBlack256.png", "image_add_32_light", 256, BLACK),
    ("_AddImageWhite256.png", "image_add_32_light", 256, WHITE),
    ("_UpBlack24.png", "chevron_left_48_regular@90", 24, BLACK),
    ("_UpWhite24.png", "chevron_left_48_regular@90", 24, WHITE),
    ("_DownBlack24.png", "chevron_left_48_regular@-90", 24, BLACK),
    ("_DownWhite24.png", "chevron_left_48_regular@-90", 24, WHITE),
    ("_DeleteBlack24.png", "delete_24", 24, BLACK),
    ("_DeleteWhite24.png", "delete_24", 24, WHITE),
    # Extract Icon tab: the form's first icons, then the light, dark and disabled sets
    ("load_extractIcon.png", "folder_open_24_regular", 24, BLACK),
    ("_load_extractIconBlack.png", "folder_open_24_regular", 24, BLACK),
    ("_load_extractIconWhite.png", "folder_open_24_regular", 24, WHITE),
    ("_load_extractIconGray.png", "folder_open_24_regular", 24, GRAY),
    ("export_extractIcon.png", "arrow_export_ltr_24_regular", 24, BLACK),
    ("_export_extractIcon.png", "arrow_export_ltr_24_regular", 24, BLACK),
    ("_export_extractIconWhite.png", "arrow_export_ltr_24_regular", 24, WHITE),
    ("_export_extractIconGray.png", "arrow_export_ltr_24_regular", 24, GRAY),
    # export dialog
    ("IconYes24.png", "checkmark_circle_24_filled", 24, GREEN),
    ("IconNo24.png", "dismiss_circle_24_filled", 24, RED),
    ("export24.png", "arrow_export_ltr_24_regular", 24, ACCENT),
]

# Icons that sit on the logo's plate (file, Fluent icon, size).
PLATE_ICONS = [
    ("Update128.png", "arrow_sync_24_regular", 128),
]

LOGO_SVG = os.path.join(LOGO, "glyphora.svg")
LOGO_SMALL_SVG = os.path.join(LOGO, "glyphora-16.svg")  # redrawn on the 16 pixel grid


def run(*args):
    subprocess.run(args, check=True)


def fluent_svg(name):
    """A Fluent icon by name; "name@deg" turns it about its centre (the up and down
    arrows are the left chevron turned); names not in fluent/ are drawn here, in drawn/."""
    name, _, degrees = name.partition("@")
    path = os.path.join(FLUENT, name + ".svg")
    if not os.path.exists(path):
        path = os.path.join(DRAWN, name + ".svg")
    with open(path, encoding="utf-8") as f:
        svg = f.read()
    if degrees:
        half = int(re.search(r'viewBox="0 0 (\d+) \d+"', svg).group(1)) / 2
        svg = re.sub(r"(<svg [^>]*>)(.*)(</svg>)",
                     lambda m: '%s<g transform="rotate(%s %g %g)">%s</g>%s'
                     % (m.group(1), degrees, half, half, m.group(2), m.group(3)), svg, flags=re.S)
    return svg


def recolour(svg, colour):
    # The package strips the fills, so every shape paints in the inherited fill: set it once
    # on the root element.
    return svg.replace("<svg ", '<svg fill="%s" ' % colour, 1)


def render_svg_text(svg, size, out):
    with tempfile.NamedTemporaryFile("w", suffix=".svg", delete=False, encoding="utf-8") as f:
        f.write(svg)
        path = f.name
    try:
        render(path, size, out)
    finally:
        os.unlink(path)


def render(svg_path, size, out):
    run("rsvg-convert", "-w", str(size), "-h", str(size), "-o", out, svg_path)


def plate_icon(fluent_name, size):
    """The logo's plate with a white Fluent glyph in the middle, as an SVG of 256 units."""
    glyph = fluent_svg(fluent_name)
    box = int(re.search(r'viewBox="0 0 (\d+) \d+"', glyph).group(1))
    paths = "".join(re.findall(r"<path [^>]*/>", glyph))
    logo = open(LOGO_SVG, encoding="utf-8").read()
    defs = re.search(r"<defs>.*?</defs>", logo, re.S).group(0)
    plate = "".join(re.findall(r'<rect x="1[67]"[^>]*/>', logo))
    scale = 136.0 / box  # the glyph takes a little over half the plate
    offset = (256 - 136) / 2
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">'
            + defs + plate
            + '<g filter="url(#shadow)" fill="#ffffff" transform="translate(%g %g) scale(%g)">%s</g>'
            % (offset, offset, scale, paths)
            + "</svg>")


def write_ico(tmp):
    """glyphora.ico: 16, 32, 48 at 8 bits (palette, 1-bit mask) and 16, 32, 48, 256 at 32 bits."""
    true_colour, paletted = [], []
    for size in (16, 32, 48):
        png = os.path.join(HICOLOR, "%dx%d" % (size, size), "glyphora.png")
        pal = os.path.join(tmp, "p%d.png" % size)
        # Binary alpha and at most 255 colours plus the transparent one, no dithering.
        run("convert", png, "-channel", "A", "-threshold", "50%", "+channel",
            "+dither", "-colors", "255", "-define", "png:exclude-chunks=date,time",
            "PNG8:" + pal)
        true_colour.append(png)
        paletted.append(pal)
    big = os.path.join(HICOLOR, "256x256", "glyphora.png")
    run("icotool", "-c", "-o", os.path.join(WINDOWS, "glyphora.ico"),
        *paletted, *true_colour, "-r", big)


def import_fluent(package):
    icons = os.path.join(package, "icons")
    if not os.path.isdir(icons):
        sys.exit("no icons/ folder in %s" % package)
    os.makedirs(FLUENT, exist_ok=True)
    names = sorted({n.partition("@")[0] for _, n, _, _ in TOOL_ICONS} | {n for _, n, _ in PLATE_ICONS})
    for name in names:
        if os.path.exists(os.path.join(DRAWN, name + ".svg")):
            continue
        shutil.copyfile(os.path.join(icons, name + ".svg"), os.path.join(FLUENT, name + ".svg"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--import", dest="package", metavar="DIR",
                        help="unpacked @fluentui/svg-icons package to copy the SVGs from")
    args = parser.parse_args()
    if args.package:
        import_fluent(args.package)

    for out, name, size, colour in TOOL_ICONS:
        render_svg_text(recolour(fluent_svg(name), colour), size, os.path.join(IMAGES, out))
    for out, name, size in PLATE_ICONS:
        render_svg_text(plate_icon(name, size), size, os.path.join(IMAGES, out))

    render(LOGO_SVG, 128, os.path.join(IMAGES, "AboutLogo.png"))
    for size in (16, 32, 48, 256):
        folder = os.path.join(HICOLOR, "%dx%d" % (size, size))
        os.makedirs(folder, exist_ok=True)
        render(LOGO_SMALL_SVG if size == 16 else LOGO_SVG, size, os.path.join(folder, "glyphora.png"))

    os.makedirs(WINDOWS, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        write_ico(tmp)


if __name__ == "__main__":
    main()
