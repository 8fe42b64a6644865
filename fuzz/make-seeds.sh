#!/usr/bin/env bash
# Seeds for the fuzz targets.  SEED_DIR/KIND holds small ones: icons of 8 and 16 pixels
# in every depth and PNG colour type (small-seeds.py), and PE32, PE32+ and resource-only
# files of a few kilobytes made from them by mingw-w64, plus the RT_ICON payloads of a
# few KB from wine's libraries, files nobody here wrote.  SEED_DIR/real/KIND holds what
# is too large for a quick run: whole wine libraries and their icon groups as .ico files,
# for the long run's "real files" pass.
#   fuzz/make-seeds.sh SEED_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:?usage: make-seeds.sh SEED_DIR}
wine64=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
# made afresh each time: an older layout's whole libraries must not stay among the small seeds
rm -rf "$out"/pe "$out"/dib "$out"/moduledib "$out"/ico "$out"/png "$out"/rc "$out"/svg "$out"/document "$out"/real
mkdir -p "$out"/pe "$out"/dib "$out"/moduledib "$out"/ico "$out"/png "$out"/real/pe "$out"/real/ico
out=$(cd "$out" && pwd)
"$here/small-seeds.py" "$out"
# .glyphora documents naming the pictures fuzz_document writes at start (a.png, b.png,
# c.svg, d.jpg), with a style, several objects of one picture, and a remote path
mkdir -p "$out"/document
printf '%s' '{"format": "glyphora-composition", "version": 1, "objects": [{"id": 0, "picture": "a.png", "x": 3, "y": 4, "scale": 200, "rotation": 30}]}' > "$out/document/one.glyphora"
printf '%s' '{"format": "glyphora-composition", "version": 1, "style": {"Container": {"shape": 2, "radius": 40, "backColor1": "#ff0000"}, "Badge": {"badgeText": "NEW"}, "Canvas": {"canvasSize": 1}}, "objects": [{"id": 0, "picture": "b.png"}, {"id": 1, "picture": "sub/../b.png", "scale": 50}, {"id": 2, "picture": "d.jpg", "scale": 300}]}' > "$out/document/styled.glyphora"
printf '%s' '{"format": "glyphora-composition", "version": 1, "objects": [{"id": 0, "picture": "c.svg", "scale": 5}, {"id": 1, "picture": "a.png", "scale": 100000}]}' > "$out/document/limits.glyphora"
printf '%s' '{"format": "glyphora-composition", "version": 1, "objects": [{"id": 0, "picture": "//host/a.png"}, {"id": 1, "picture": "http://x/a.png"}]}' > "$out/document/remote.glyphora"
if command -v x86_64-w64-mingw32-windres >/dev/null && command -v i686-w64-mingw32-gcc >/dev/null; then
    # an executable of each width, and a .mun-style file of resources without code
    (cd "$out/rc" && printf 'int entry(void) { return 0; }\n' > entry.c \
        && x86_64-w64-mingw32-windres icons.rc -O coff -o res64.o \
        && i686-w64-mingw32-windres icons.rc -O coff -o res32.o \
        && x86_64-w64-mingw32-gcc -Os -s -nostdlib -Wl,-e,entry -o "$out/pe/small64.exe" entry.c res64.o \
        && i686-w64-mingw32-gcc -Os -s -nostdlib -shared -Wl,-e,_entry -o "$out/pe/small32.dll" entry.c res32.o \
        && x86_64-w64-mingw32-ld -s --dll -e 0 -o "$out/pe/resources64.mun" res64.o \
        && x86_64-w64-mingw32-windres noicons.rc -O coff -o noicons.o \
        && x86_64-w64-mingw32-ld -s --dll -e 0 -o "$out/pe/noicons64.dll" noicons.o)
fi
command -v wrestool >/dev/null || { echo "make-seeds: icoutils is missing" >&2; exit 77; }
[ -d "$wine64" ] || { echo "make-seeds: wine's PE libraries are missing" >&2; exit 77; }

# The smallest wine files with icon groups keep each run of the PE target fast.
for f in hh.exe iexplore.exe msiexec.exe winemine.exe; do
    [ -f "$wine64/$f" ] && cp "$wine64/$f" "$out/real/pe/$f"
done
# A PE32 file too, when there is one.
for f in /usr/lib/x86_64-linux-gnu/wine/i386-windows/*.dll; do
    [ -f "$f" ] && cp "$f" "$out/real/pe/" && break
done

# without mingw-w64, the wine files stand in for the small PE seeds
[ -n "$(ls "$out"/pe)" ] || cp "$out"/real/pe/* "$out"/pe/

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for f in notepad.exe winemine.exe comdlg32.dll; do
    [ -f "$wine64/$f" ] || continue
    wrestool -x --raw -t3 -o "$work" "$wine64/$f" 2>/dev/null || true
    wrestool -x -t14 -o "$work" "$wine64/$f" 2>/dev/null || true
done
for f in "$work"/*_3_*; do
    [ -f "$f" ] || continue
    # Keep the seeds small: the larger images teach the decoders nothing the small ones do not.
    [ "$(stat -c %s "$f")" -le 8192 ] || continue
    cp "$f" "$out/dib/$(basename "$f")"
    # decodeModuleDib's input: the width and height bytes, then the payload.
    { printf '\x20\x20'; cat "$f"; } > "$out/moduledib/$(basename "$f")"
    [ "$(head -c 4 "$f" | od -An -tx1 | tr -d ' ')" = 89504e47 ] && cp "$f" "$out/png/$(basename "$f")"
done
for f in "$work"/*_14_*.ico; do
    [ -f "$f" ] && cp "$f" "$out/real/ico/"
done
echo "make-seeds: $(ls "$out"/pe | wc -l) PE, $(ls "$out"/dib | wc -l) DIB/PNG ($(ls "$out"/png | wc -l) PNG), $(ls "$out"/ico | wc -l) .ico seeds;" \
    "$(ls "$out"/real/pe | wc -l) PE and $(ls "$out"/real/ico | wc -l) .ico real files"

# HEIF, AVIF and JPEG XL seeds, made by Debian's encoders from a small picture with alpha.
mkdir -p "$out"/heif "$out"/jxl
if command -v heif-enc >/dev/null && command -v cjxl >/dev/null; then
    /usr/bin/python3 -c "
import sys
from PIL import Image
img = Image.new('RGBA', (48, 32))
img.putdata([(x * 5, y * 8, (x + y) * 3, 255 - x * 4) for y in range(32) for x in range(48)])
img.save(sys.argv[1])" "$work/photo.png"
    heif-enc -q 50 -o "$out/heif/lossy.heic" "$work/photo.png" >/dev/null
    heif-enc -q 50 -A -o "$out/heif/lossy.avif" "$work/photo.png" >/dev/null
    heif-enc -L -p chroma=444 --matrix_coefficients=0 -o "$out/heif/lossless.heic" "$work/photo.png" >/dev/null
    cjxl "$work/photo.png" "$out/jxl/lossy.jxl" >/dev/null 2>&1
    cjxl -d 0 "$work/photo.png" "$out/jxl/lossless.jxl" >/dev/null 2>&1
    cjxl --container=1 "$work/photo.png" "$out/jxl/container.jxl" >/dev/null 2>&1
fi
echo "make-seeds: $(ls "$out"/heif | wc -l) HEIF/AVIF, $(ls "$out"/jxl | wc -l) JPEG XL seeds"
