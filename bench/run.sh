#!/usr/bin/env bash
# Times glyphora-cli ico against ImageMagick and Pillow (and, for the SVG, rsvg-convert
# plus icotool) on the same deterministic pictures, process to process.
#
#   bench/run.sh [BUILD_DIR]        (default: build)
#
# Prints, per picture, each tool's median wall time (hyperfine), its peak resident memory
# (/usr/bin/time, the largest of three runs), and how many times slower each peer is.
# Then the largest channel difference between the reduced-size JPEG decode and the full
# decode.  Numbers taken while other jobs load the machine are noisy: read them with
# `uptime` in mind; the cpu column (user + system, mean) suffers less from that.  RUNS=n changes the number of timed runs (default 15).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli=$(realpath "$build/bin/glyphora-cli")
cmake --build "$build" --target glyphora-decodediff >/dev/null
diff=$(realpath "$build/bin/glyphora-decodediff")
runs=${RUNS:-15}
sizes=16,24,32,48,64,128,256

for tool in hyperfine /usr/bin/time /usr/bin/convert /usr/bin/python3 rsvg-convert icotool; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

work=${BENCH_DIR:-$build/bench}
mkdir -p "$work/in"
work=$(realpath "$work")
# The icons go to memory (tmpfs) unless BENCH_OUT names a folder: glyphora-cli replaces
# its output through QSaveFile, whose fdatasync on a real disk adds that disk's flush
# time (25-30 ms on a busy virtual disk) which the peers, writing in place, do not pay.
if [ -n "${BENCH_OUT:-}" ]; then
    out=$BENCH_OUT
    mkdir -p "$out"
elif [ -d /dev/shm ] && [ -w /dev/shm ]; then
    out=$(mktemp -d /dev/shm/glyphora-bench.XXXXXX)
    trap 'rm -rf "$out"' EXIT
else
    out=$work/out
    mkdir -p "$out"
fi
out=$(realpath "$out")
echo "icons written to $out"
/usr/bin/python3 bench/make-inputs.py "$work/in"
bench=$(realpath bench)

# peak KB of a command, the largest of three runs
peak() {
    local best=0 kb
    for _ in 1 2 3; do
        kb=$( /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1 )
        [ "$kb" -gt "$best" ] && best=$kb
    done
    echo "$best"
}

report=$work/report.tsv
: > "$report"

# bench_one NAME INPUT LABEL=COMMAND...
bench_one() {
    local name=$1 input=$2
    shift 2
    local args=() labels=() cmds=()
    for spec in "$@"; do
        labels+=("${spec%%=*}")
        cmds+=("${spec#*=}")
        args+=(-n "${spec%%=*}" "${spec#*=}")
    done
    hyperfine -w 2 -r "$runs" --export-json "$work/$name.json" "${args[@]}" >/dev/null
    local i
    for i in "${!labels[@]}"; do
        # shellcheck disable=SC2086
        echo -e "$name\t${labels[$i]}\t$(peak sh -c "${cmds[$i]}")" >> "$report"
    done
}

im="/usr/bin/convert"
echo "uptime: $(uptime)"
echo

bench_one photo "$work/in/photo.jpg" \
    "glyphora=$cli -q ico $work/in/photo.jpg -o $out/g.ico" \
    "imagemagick=$im $work/in/photo.jpg -define icon:auto-resize=$sizes $out/im.ico" \
    "imagemagick-jpeg:size=$im -define jpeg:size=512x512 $work/in/photo.jpg -define icon:auto-resize=$sizes $out/imf.ico" \
    "pillow=/usr/bin/python3 $bench/pillow-ico.py $work/in/photo.jpg $out/p.ico"
for png in soft wide; do
    bench_one $png "$work/in/$png.png" \
        "glyphora=$cli -q ico $work/in/$png.png -o $out/g.ico" \
        "imagemagick=$im $work/in/$png.png -define icon:auto-resize=$sizes $out/im.ico" \
        "pillow=/usr/bin/python3 $bench/pillow-ico.py $work/in/$png.png $out/p.ico"
done
bench_one drawing "$work/in/drawing.svg" \
    "glyphora=$cli -q ico $work/in/drawing.svg -o $out/g.ico" \
    "imagemagick=$im -background none $work/in/drawing.svg -define icon:auto-resize=$sizes $out/im.ico" \
    "rsvg-convert+icotool=$bench/rsvg-ico.sh $work/in/drawing.svg $out/r.ico"

/usr/bin/python3 - "$work" <<'PY'
import json, sys, os
work = sys.argv[1]
peaks = {}
for line in open(os.path.join(work, "report.tsv")):
    name, label, kb = line.rstrip("\n").split("\t")
    peaks[(name, label)] = int(kb)
goals = {"photo": {"pillow": 10.0, "imagemagick-jpeg:size": 1.5},
         "soft": {"*": 2.0}, "drawing": {"*": 1.3}}
titles = {"photo": "4000 x 3000 JPEG", "soft": "1024 x 1024 PNG, soft alpha",
          "wide": "2000 x 1000 PNG", "drawing": "SVG: gradients, text, pattern, filter"}
for name in ("photo", "soft", "wide", "drawing"):
    data = json.load(open(os.path.join(work, name + ".json")))["results"]
    med = {r["command"]: r["median"] * 1000 for r in data}
    cpu = {r["command"]: (r["user"] + r["system"]) * 1000 for r in data}
    ours = med["glyphora"]
    print(f"{titles[name]}")
    print(f"  {'tool':24} {'median ms':>10} {'cpu ms':>8} {'peak MB':>8} {'x slower (wall)':>16} {'x (cpu)':>8}")
    for label, m in med.items():
        mb = peaks[(name, label)] / 1024
        ratio = "" if label == "glyphora" else f"{m / ours:.2f}"
        cratio = "" if label == "glyphora" else f"{cpu[label] / cpu['glyphora']:.2f}"
        print(f"  {label:24} {m:10.1f} {cpu[label]:8.1f} {mb:8.1f} {ratio:>16} {cratio:>8}")
    peers = {k: v for k, v in med.items() if k != "glyphora"}
    g = goals.get(name, {})
    for peer, want in g.items():
        if peer == "*":
            best = min(peers, key=peers.get)
            got = peers[best] / ours
            print(f"  goal: >= {want}x faster than the faster peer ({best}): {got:.2f}x {'met' if got >= want else 'MISSED'}")
        else:
            got = peers[peer] / ours
            print(f"  goal: >= {want}x faster than {peer}: {got:.2f}x {'met' if got >= want else 'MISSED'}")
    if ("pillow" in med):
        ok = peaks[(name, "glyphora")] <= peaks[(name, "pillow")]
        print(f"  goal: peak memory <= Pillow's: {'met' if ok else 'MISSED'}")
    print()
PY
# HEIC, AVIF and JPEG XL made from soft.png, against PNG and their reference decoders
"$bench/photo-formats.sh" "$work" "$cli" "$out"

echo "Reduced-size JPEG decode against the full decode (largest channel difference, 0-255):"
"$diff" "$work/in/photo.jpg"
