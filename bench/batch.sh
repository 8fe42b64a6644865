#!/usr/bin/env bash
# Times glyphora-cli on batches and on a composition, process to process.
#
#   bench/batch.sh [BUILD_DIR]        (default: build)
#
# 1. 200 pictures (make-inputs.py --batch: PNG and JPEG, 256 to 3000 pixels) to .ico in
#    one call, `ico ... --out-dir DIR --jobs 1` and `--jobs 2`, against the same 200
#    through Pillow in one Python process (pillow-batch.py) and through ImageMagick's
#    mogrify in one process, all at the seven sizes 16 to 256.  Goal at --jobs 2: at
#    least 8x Pillow's throughput and 10x ImageMagick's.
# 2. `compose` of a document with every effect and 10 objects on the 1024 canvas, to an
#    .ico and to six PNG sizes; beside them the process start of compose alone.
#
# Prints hyperfine's median wall time, the CPU time (user + system, mean) and the
# ratios.  The icons go to memory (tmpfs) as in run.sh, so that QSaveFile's flush to disk
# is not measured against peers that never flush.  RUNS=n sets the timed runs of the
# batches (default 3: Pillow takes about a minute a run), CRUNS those of compose
# (default 15).  Read the figures with `uptime` in mind: other jobs on the machine slow
# the two-thread run most.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli=$(realpath "$build/bin/glyphora-cli")
runs=${RUNS:-3}
cruns=${CRUNS:-15}
sizes=16,24,32,48,64,128,256

for tool in hyperfine /usr/bin/python3 mogrify; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

work=${BENCH_DIR:-$build/bench}
mkdir -p "$work/in" "$work/batch"
work=$(realpath "$work")
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    out=$(mktemp -d /dev/shm/glyphora-batch.XXXXXX)
else
    out=$(mktemp -d "$work/batch-out.XXXXXX")
fi
trap 'rm -rf "$out"' EXIT
echo "icons written to $out"
/usr/bin/python3 bench/make-inputs.py "$work/in"
/usr/bin/python3 bench/make-inputs.py --batch "$work/batch"
bench=$(realpath bench)
mkdir -p "$out/g1" "$out/g2" "$out/pillow" "$out/im" "$out/ico" "$out/png"

# The composition: every effect, 10 objects made from the bench's pictures, 1024 canvas.
doc=$work/every-effect.glyphora
/usr/bin/python3 - "$doc" <<'PY'
import json, sys
pictures = ["in/photo.jpg", "in/soft.png", "in/wide.png"]
objects = [{"id": i, "picture": pictures[i % 3], "x": 60 + 80 * i, "y": 40 + 70 * i,
            "scale": 10 + 3 * i, "rotation": -40 + 9 * i} for i in range(10)]
style = {
    "Container": {"shape": 1, "radius": 160, "useBackground": True, "backStyle": 1, "backOrientation": 4,
                  "backColor1": "#ffffff", "backColor2": "#3282f6", "useBack3dEffect": True,
                  "useBorder": True, "borderColor": "#1f3a60", "borderWidth": 20, "useGlossy": True,
                  "clipImage": True},
    "Badge": {"useBadge": True, "badgeText": "50% OFF", "badgeTextSize": 22, "badgeOrientation": 0,
              "badgeOrientationDiagonal": 3, "badgeLineWidth": 6},
    "Canvas": {"canvasSize": 3},
}
json.dump({"format": "glyphora-composition", "version": 1, "style": style, "objects": objects},
          open(sys.argv[1], "w"), indent=1)
PY

echo "uptime: $(uptime)"
echo "cores: $(nproc)"
echo

inputs="$work/batch/*"
hyperfine -w 1 -r "$runs" --export-json "$work/batch.json" \
    -n "glyphora --jobs 1" "$cli -q ico $inputs --out-dir $out/g1 --jobs 1" \
    -n "glyphora --jobs 2" "$cli -q ico $inputs --out-dir $out/g2 --jobs 2" \
    -n "pillow" "/usr/bin/python3 $bench/pillow-batch.py $out/pillow $inputs" \
    -n "imagemagick mogrify" "mogrify -path $out/im -format ico -define icon:auto-resize=$sizes $inputs" \
    >/dev/null

hyperfine -w 2 -r "$cruns" --export-json "$work/compose.json" \
    -n "compose to .ico" "$cli -q compose $doc -o $out/ico/every.ico" \
    -n "compose to 6 PNG sizes" "$cli -q compose $doc --png-dir $out/png --sizes 16,24,32,48,64,256" \
    -n "compose process start (--help)" "$cli compose --help" \
    >/dev/null

# every picture made it, by each tool
for d in g1 g2 pillow im; do
    n=$(find "$out/$d" -name '*.ico' | wc -l)
    [ "$n" -eq 200 ] || echo "bench: $d wrote $n icons, not 200" >&2
done

/usr/bin/python3 - "$work" <<'PY'
import json, os, sys
work = sys.argv[1]
def load(name):
    data = json.load(open(os.path.join(work, name + ".json")))["results"]
    return {r["command"]: (r["median"], r["user"] + r["system"]) for r in data}
batch = load("batch")
ours = batch["glyphora --jobs 2"][0]
print("200 pictures (PNG and JPEG, 256-3000 px) to .ico, one process each")
print(f"  {'tool':22} {'median s':>9} {'cpu s':>8} {'pictures/s':>11} {'x slower than --jobs 2':>24}")
for label, (med, cpu) in batch.items():
    ratio = "" if label == "glyphora --jobs 2" else f"{med / ours:.2f}"
    print(f"  {label:22} {med:9.2f} {cpu:8.2f} {200 / med:11.1f} {ratio:>24}")
for peer, want in (("pillow", 8.0), ("imagemagick mogrify", 10.0)):
    got = batch[peer][0] / ours
    cpu = batch[peer][1] / batch["glyphora --jobs 2"][1]
    print(f"  goal: --jobs 2 >= {want}x {peer}'s throughput: {got:.2f}x "
          f"{'met' if got >= want else 'MISSED'} (cpu time {cpu:.2f}x)")
print()
compose = load("compose")
print("compose: every effect, 10 objects, 1024 canvas")
for label, (med, cpu) in compose.items():
    print(f"  {label:32} median {med * 1000:8.1f} ms   cpu {cpu * 1000:8.1f} ms")
PY
