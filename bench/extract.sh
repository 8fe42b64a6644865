#!/usr/bin/env bash
# Times the extraction roads on wine's 64-bit shell32.dll (184 icon groups), process to
# process, in one run:
#   - listing: `glyphora-cli list` (every image of every group read and decoded, as the
#     Extract tab's parsed-file listing does) against the peer pipeline: `wrestool -x -t14`
#     into .ico files, then Pillow opening every frame of each;
#   - extraction: `glyphora-cli extract` (every group as its own .ico, each saved
#     atomically) against `wrestool -x -t14`.
#
#   bench/extract.sh [BUILD_DIR]        (default: build)
#
# Prints each median wall time (hyperfine), the mean CPU time, the peak resident memory
# (/usr/bin/time, the largest of three runs), the ratios, and the bytes of the images the
# listing decodes (width x height x 4 for every entry), against which its peak memory is
# held.  Then `lint all`: `glyphora-cli lint` over every wine file with icon groups (the
# PE files the tests use) and the benchmark pictures' icons, beside `wrestool -l` listing
# the same files.  RUNS=n changes the number of timed runs (default 15).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli=$(realpath "$build/bin/glyphora-cli")
runs=${RUNS:-15}
dll=${SHELL32:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll}

for tool in hyperfine /usr/bin/time wrestool /usr/bin/python3; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[ -f "$dll" ] || { echo "bench: $dll is missing (wine64)" >&2; exit 1; }

work=${BENCH_DIR:-$build/bench-extract}
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
# The icons go to tmpfs unless BENCH_OUT names another folder: every file glyphora-cli
# writes is flushed (fdatasync, through QSaveFile) before it is renamed into place, and
# on a busy disk that flush, which wrestool never pays, is what the run would measure.
out=${BENCH_OUT:-/dev/shm/glyphora-bench-extract}
rm -rf "$out"
mkdir -p "$out/peer" "$out/ours" "$out/wrestool"
out=$(realpath "$out")

cat > "$work/pillow-frames.py" <<'PY'
import glob, sys
from PIL import Image
count = 0
for path in sorted(glob.glob(sys.argv[1] + "/*.ico")):
    with Image.open(path) as im:
        for i in range(len(im.ico.entry)):
            im.ico.frame(i).load()
            count += 1
print(count)
PY
peer_list="rm -rf $out/peer/* && wrestool -x -t14 -o $out/peer $dll && /usr/bin/python3 $work/pillow-frames.py $out/peer"
ours_list="$cli -q list $dll"
ours_extract="rm -rf $out/ours/* && $cli -q extract $dll -o $out/ours/shell32.ico"
peer_extract="rm -rf $out/wrestool/* && wrestool -x -t14 -o $out/wrestool $dll"

peak() {
    local best=0 kb
    for _ in 1 2 3; do
        kb=$( /usr/bin/time -f '%M' sh -c "$1" 2>&1 >/dev/null | tail -1 )
        [ "$kb" -gt "$best" ] && best=$kb
    done
    echo "$best"
}

# lint all: the wine files with icon groups, and the icons of the benchmark pictures
wine_dir=$(dirname "$dll")
lint_files=()
for f in "$wine_dir"/*.dll "$wine_dir"/*.exe "$wine_dir"/*.cpl; do
    [ -n "$(wrestool -l -t14 "$f" 2>/dev/null)" ] && lint_files+=("$f")
done
/usr/bin/python3 bench/make-inputs.py "$work/in" >/dev/null
for input in "$work"/in/*; do
    "$cli" -q ico "$input" -o "$work/$(basename "$input").ico"
    lint_files+=("$work/$(basename "$input").ico")
done
ours_lint="$cli -q lint ${lint_files[*]}"
peer_lint="wrestool -l ${lint_files[*]}"

echo "uptime: $(uptime)"
hyperfine -w 2 -r "$runs" --export-json "$work/list.json" \
    -n glyphora "$ours_list" -n wrestool+pillow "$peer_list" >/dev/null
hyperfine -w 2 -r "$runs" --export-json "$work/extract.json" \
    -n glyphora "$ours_extract" -n wrestool "$peer_extract" >/dev/null
# (wrestool -l complains about the .ico files, which hold no PE resources, and exits 0)
hyperfine -N -i -w 2 -r "$runs" --export-json "$work/lint.json" \
    -n glyphora "$ours_lint" -n wrestool "$peer_lint" >/dev/null 2>&1
{
    echo "list glyphora $(peak "$ours_list")"
    echo "list wrestool+pillow $(peak "$peer_list")"
    echo "extract glyphora $(peak "$ours_extract")"
    echo "extract wrestool $(peak "$peer_extract")"
} > "$work/peaks.txt"
"$cli" -q list --json "$dll" > "$work/list-output.json"
groups_ours=$(ls "$out/ours" | wc -l)
groups_peer=$(ls "$out/wrestool" | wc -l)

/usr/bin/python3 - "$work" "$groups_ours" "$groups_peer" "${#lint_files[@]}" <<'PY'
import json, os, sys
work, ours_files, peer_files, lint_files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
peaks = {}
for line in open(os.path.join(work, "peaks.txt")):
    bench, label, kb = line.split()
    peaks[(bench, label)] = int(kb)
listing = json.load(open(os.path.join(work, "list-output.json")))
images = sum(e["width"] * e["height"] * 4 for g in listing["groups"] for e in g["entries"])
entries = sum(len(g["entries"]) for g in listing["groups"])
goals = {"list": 5.0, "extract": 3.0}
titles = {"list": "listing: every image of every group decoded",
          "extract": "extraction: every group as an .ico file"}
for bench in ("list", "extract"):
    data = json.load(open(os.path.join(work, bench + ".json")))["results"]
    med = {r["command"]: r["median"] * 1000 for r in data}
    cpu = {r["command"]: (r["user"] + r["system"]) * 1000 for r in data}
    print(titles[bench])
    print(f"  {'tool':18} {'median ms':>10} {'cpu ms':>8} {'peak MB':>8} {'x slower (wall)':>16} {'x (cpu)':>8}")
    for label, m in med.items():
        mb = peaks[(bench, label)] / 1024
        ratio = "" if label == "glyphora" else f"{m / med['glyphora']:.2f}"
        cratio = "" if label == "glyphora" else f"{cpu[label] / cpu['glyphora']:.2f}"
        print(f"  {label:18} {m:10.1f} {cpu[label]:8.1f} {mb:8.1f} {ratio:>16} {cratio:>8}")
    peer = [k for k in med if k != "glyphora"][0]
    got = med[peer] / med["glyphora"]
    print(f"  goal: >= {goals[bench]}x faster than {peer}: {got:.2f}x {'met' if got >= goals[bench] else 'MISSED'}")
    if bench == "list":
        ours = peaks[("list", "glyphora")] * 1024
        print(f"  {len(listing['groups'])} groups, {entries} images, {images / 2**20:.1f} MB decoded")
        print(f"  goal: peak memory < 3x the decoded images ({3 * images / 2**20:.1f} MB): "
              f"{ours / 2**20:.1f} MB, {ours / images:.2f}x {'met' if ours < 3 * images else 'MISSED'}")
    else:
        print(f"  files written: glyphora {ours_files}, wrestool {peer_files}")
    print()
lint = {r["command"]: r["median"] * 1000 for r in json.load(open(os.path.join(work, "lint.json")))["results"]}
ratio = lint["glyphora"] / lint["wrestool"]
print(f"lint all: {lint['glyphora']:.1f} ms  (wrestool -l: {lint['wrestool']:.1f} ms, {ratio:.2f}x, "
      f"{lint_files} files; goal <= 1.5x: {'met' if ratio <= 1.5 else 'MISSED'})")
PY
