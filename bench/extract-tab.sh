#!/usr/bin/env bash
# Times the Extract tab against the command line on wine's 64-bit shell32.dll:
#   - the longest stall of the event loop while the tab's first load runs, while the user
#     picks shell32.dll from the library menu and while an .ico of 9 entries is dropped on
#     the list, each until the items are painted (goal: <= 50 ms each, the worst of RUNS);
#   - a load of shell32.dll from the library menu until its items are painted (goal:
#     within 2x of the command line's listing);
#   - `glyphora-cli list` of the same file, process to process (hyperfine median).
#
#   bench/extract-tab.sh [BUILD_DIR]        (default: build)
#
# Runs under the display in DISPLAY, else under xvfb-run.  The tab reads its libraries
# from wine's DLL folder (a throwaway HOME has no wine prefix).  RUNS=n sets the timed runs
# (default 9).  The output ends with the lines "longest stall:", "longest stall pick:",
# "longest stall drop:", "menu load shell32:" and "cli list shell32:".
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli=$(realpath "$build/bin/glyphora-cli")
cmake --build "$build" --target glyphora-extracttabbench >/dev/null
bench=$(realpath "$build/bin/glyphora-extracttabbench")
runs=${RUNS:-9}
dll=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll

for tool in hyperfine /usr/bin/python3 convert icotool; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[ -f "$dll" ] || { echo "bench: $dll is missing (wine64)" >&2; exit 1; }

work=${BENCH_DIR:-$build/bench-extract-tab}
rm -rf "$work"
mkdir -p "$work/home"
work=$(realpath "$work")

# The dropped .ico: nine sizes of a noise picture, 16 to 255 as bitmaps and 256 as PNG.
sides=(16 20 24 32 40 48 64 128)
pictures=()
for side in "${sides[@]}" 256; do
    convert -size "${side}x${side}" plasma:fractal -alpha set "PNG32:$work/p$side.png"
done
for side in "${sides[@]}"; do pictures+=("$work/p$side.png"); done
icotool -c -o "$work/drop.ico" "${pictures[@]}" -r "$work/p256.png"

echo "uptime: $(uptime)"
# A fresh HOME: no wine prefix, so the tab reads wine's DLL folder, and no stored folders.
tab=(env HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_LOGGING_RULES="*.debug=false;*.info=false"
     "$bench" --runs "$runs" --drop "$work/drop.ico")
if [ -z "${DISPLAY:-}" ]; then
    tab=(xvfb-run -a "${tab[@]}")
fi
"${tab[@]}" > "$work/tab.txt" 2> "$work/tab-log.txt"
hyperfine -w 2 -r "$((runs > 5 ? runs : 5))" --export-json "$work/cli.json" -n cli "$cli -q list $dll" >/dev/null

grep -v '^longest stall\|^menu load shell32:' "$work/tab.txt"
grep '^longest stall:' "$work/tab.txt"
grep '^longest stall pick:' "$work/tab.txt"
grep '^longest stall drop:' "$work/tab.txt"
grep '^menu load shell32:' "$work/tab.txt"
/usr/bin/python3 - "$work/cli.json" <<'PY'
import json, sys
result = json.load(open(sys.argv[1]))["results"][0]
print(f"cli list shell32: {result['median'] * 1000:.0f} ms")
PY
