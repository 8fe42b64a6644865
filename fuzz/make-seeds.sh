#!/usr/bin/env bash
# Seeds for the fuzz targets, from files nobody here wrote: small PE libraries of wine
# that hold icons, their RT_ICON payloads (DIBs and PNGs) and their groups as .ico files.
#   fuzz/make-seeds.sh SEED_DIR
set -euo pipefail
out=${1:?usage: make-seeds.sh SEED_DIR}
wine64=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
mkdir -p "$out"/pe "$out"/dib "$out"/moduledib "$out"/ico
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
    n=$((n + 1))
done
for f in "$work"/*_14_*.ico; do
    [ -f "$f" ] && cp "$f" "$out/ico/"
done
echo "make-seeds: $(ls "$out"/pe | wc -l) PE, $n DIB/PNG, $(ls "$out"/ico | wc -l) .ico seeds"
