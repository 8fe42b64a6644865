#!/usr/bin/env bash
# The Windows icon loader reads every .ico that glyphora-cli writes: each benchmark
# picture's icon is loaded under wine with LoadImageW at every size, and the pixels the
# loader made must be those that icotool -x and Pillow read from the same file.  The
# drawing is written a second time with every size of --sizes dpi: the loader must find
# each of the 14 at its own edge length.
#
#   run-wine-icoload.sh GLYPHORA_CLI INPUT_DIR
#
# Exit status: 0 passed, 1 failed, 77 skipped (no mingw-w64 or no wine).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
cli=$1
inputs=$2
default_sizes=(16 24 32 48 64 128 256)
dpi_sizes=(16 20 24 30 32 36 40 48 60 64 72 80 96 256)

source "$source_dir/tests/win32/wine-setup.sh"
[ -n "$cxx" ] || skip "mingw-w64 is not installed"
start_wine glyphora-icoload

"$cxx" -std=c++17 -O1 -g0 -Wall -Wextra -static -municode "$source_dir/tests/win32/icoload.cpp" \
    -luser32 -lgdi32 -o "$work/icoload.exe"
/usr/bin/python3 "$source_dir/bench/make-inputs.py" "$inputs"

status=0
for run in photo.jpg:default soft.png:default wide.png:default drawing.svg:default drawing.svg:dpi; do
    input=${run%%:*}
    set=${run#*:}
    if [ "$set" = dpi ]; then sizes=("${dpi_sizes[@]}"); else sizes=("${default_sizes[@]}"); fi
    ico=$work/$input.$set.ico
    "$cli" -q ico "$inputs/$input" -o "$ico" --sizes "$set"
    listed=$(icotool -l "$ico" 2>/dev/null | grep -c -- '--icon')
    if [ "$listed" -ne "${#sizes[@]}" ]; then
        echo "FAILED: icotool lists $listed images in the $set icon of $input, not ${#sizes[@]}"
        status=1
        continue
    fi
    loaded=$work/$input.$set.loader
    extracted=$work/$input.$set.icotool
    mkdir -p "$loaded" "$extracted"
    echo "== $input, --sizes $set"
    if ! timeout -k 10 300 "$wine" "$work/icoload.exe" "$(winpath "$ico")" "$(winpath "$loaded")" \
            "${sizes[@]}" 2>"$work/wine-errors.txt" | tr -d '\r'; then
        echo "FAILED: the loader did not give every size"
        cat "$work/wine-errors.txt"
        status=1
        continue
    fi
    # (icotool finds fault with the 72 dpi resolution fields, which Windows ignores)
    icotool -x -o "$extracted" "$ico" 2>/dev/null
    # the loader's pixels against icotool's extraction read by Pillow; colour of fully
    # transparent pixels does not count
    /usr/bin/python3 - "$loaded" "$extracted" "${sizes[@]}" <<'PY' || status=1
import glob, os, sys
from PIL import Image
loader, extracted, sizes = sys.argv[1], sys.argv[2], [int(s) for s in sys.argv[3:]]
worst = 0
for i, s in enumerate(sizes, start=1):
    raw = open(os.path.join(loader, f"{s}.bgra"), "rb").read()
    png = glob.glob(os.path.join(extracted, f"*_{i}_{s}x{s}x32.png"))[0]
    ref = Image.open(png).convert("RGBA").tobytes()
    if len(raw) != len(ref):
        print(f"FAILED: {s}: {len(raw)} bytes from the loader, {len(ref)} expected")
        sys.exit(1)
    for p in range(0, len(raw), 4):
        b, g, r, a = raw[p:p + 4]
        R, G, B, A = ref[p:p + 4]
        d = abs(a - A)
        if a or A:
            d = max(d, abs(r - R), abs(g - G), abs(b - B))
        worst = max(worst, d)
print(f"   loader against icotool + Pillow: largest channel difference {worst}")
sys.exit(0 if worst <= 1 else 1)
PY
done
[ "$status" -eq 0 ] && echo "PASSED" || echo "FAILED"
exit "$status"
