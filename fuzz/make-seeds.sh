#!/usr/bin/env bash
# Seeds for the fuzz targets, from files nobody here wrote: small PE libraries of wine
# that hold icons, their RT_ICON payloads (DIBs and PNGs) and their groups as .ico files.
#   fuzz/make-seeds.sh SEED_DIR
set -euo pipefail
out=${1:?usage: make-seeds.sh SEED_DIR}
wine64=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
mkdir -p "$out"/pe "$out"/dib "$out"/moduledib "$out"/ico "$out"/png
command -v wrestool >/dev/null || { echo "make-seeds: icoutils is missing" >&2; exit 77; }
[ -d "$wine64" ] || { echo "make-seeds: wine's PE libraries are missing" >&2; exit 77; }

# The smallest wine files with icon groups keep each run of the PE target fast.
for f in hh.exe iexplore.exe msiexec.exe winemine.exe; do
    [ -f "$wine64/$f" ] && cp "$wine64/$f" "$out/pe/$f"
done
# A PE32 file too, when there is one.
for f in /usr/lib/x86_64-linux-gnu/wine/i386-windows/*.dll; do
    [ -f "$f" ] && cp "$f" "$out/pe/" && break
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for f in notepad.exe winemine.exe comdlg32.dll; do
    [ -f "$wine64/$f" ] || continue
    wrestool -x --raw -t3 -o "$work" "$wine64/$f" 2>/dev/null || true
    wrestool -x -t14 -o "$work" "$wine64/$f" 2>/dev/null || true
done
n=0
for f in "$work"/*_3_*; do
    [ -f "$f" ] || continue
    # Keep the seeds small: the larger PNGs teach the decoder nothing the small ones do not.
    [ "$(stat -c %s "$f")" -le 70000 ] || continue
    cp "$f" "$out/dib/$(basename "$f")"
    # decodeModuleDib's input: the width and height bytes, then the payload.
    { printf '\x20\x20'; cat "$f"; } > "$out/moduledib/$(basename "$f")"
    [ "$(head -c 4 "$f" | od -An -tx1 | tr -d ' ')" = 89504e47 ] && cp "$f" "$out/png/$(basename "$f")"
    n=$((n + 1))
done
for f in "$work"/*_14_*.ico; do
    [ -f "$f" ] && cp "$f" "$out/ico/"
done
echo "make-seeds: $(ls "$out"/pe | wc -l) PE, $n DIB/PNG ($(ls "$out"/png | wc -l) PNG), $(ls "$out"/ico | wc -l) .ico seeds"

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
