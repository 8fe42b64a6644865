#!/usr/bin/env bash
# The photo formats along the direct road: the bench's 1024 x 1024 soft.png encoded as
# HEIC and AVIF (heif-enc) and JPEG XL (cjxl), each timed through glyphora-cli ico beside
# the PNG itself and beside the format's own reference decoder writing raw output
# (heif-convert and avifdec to Y4M, djxl to PAM).
#
#   bench/photo-formats.sh WORK_DIR GLYPHORA_CLI [OUT_DIR]      (run.sh calls it)
#
# Goal: a file to .ico costs no more than the PNG to .ico plus 1.2 x the reference
# decoder on the same file, so that the reader adds nothing of its own.
set -euo pipefail
work=$1
cli=$2
runs=${RUNS:-15}
for tool in heif-enc cjxl heif-convert avifdec djxl hyperfine; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

in=$work/in
out=${3:-$work/out}
png=$in/soft.png
# made again only when the PNG is newer; the encoders take seconds at this size
[ "$in/soft.heic" -nt "$png" ] || heif-enc -q 90 -o "$in/soft.heic" "$png" >/dev/null
[ "$in/soft.avif" -nt "$png" ] || heif-enc -q 90 -A -o "$in/soft.avif" "$png" >/dev/null
[ "$in/soft.jxl" -nt "$png" ] || cjxl -d 1 "$png" "$in/soft.jxl" >/dev/null 2>&1

declare -A reference=(
    [heic]="heif-convert $in/soft.heic $out/reference-heic.y4m"
    [avif]="avifdec $in/soft.avif $out/reference-avif.y4m"
    [jxl]="djxl $in/soft.jxl $out/reference-jxl.pam"
)
for format in heic avif jxl; do
    # -N: no shell around the commands, whose start-up would count twice in the goal
    hyperfine -N -w 2 -r "$runs" --export-json "$work/photo-$format.json" \
        -n glyphora "$cli -q ico $in/soft.$format -o $out/g-$format.ico" \
        -n png "$cli -q ico $png -o $out/g-png.ico" \
        -n reference "${reference[$format]}" >/dev/null
done

/usr/bin/python3 - "$work" <<'PY'
import json, os, sys
work = sys.argv[1]
titles = {"heic": "1024 x 1024 HEIC", "avif": "1024 x 1024 AVIF", "jxl": "1024 x 1024 JPEG XL"}
decoders = {"heic": "heif-convert", "avif": "avifdec", "jxl": "djxl"}
for fmt in ("heic", "avif", "jxl"):
    data = json.load(open(os.path.join(work, f"photo-{fmt}.json")))["results"]
    med = {r["command"]: r["median"] * 1000 for r in data}
    cpu = {r["command"]: (r["user"] + r["system"]) * 1000 for r in data}
    print(titles[fmt])
    print(f"  {'command':24} {'median ms':>10} {'cpu ms':>8}")
    for label in ("glyphora", "png", "reference"):
        name = label if label != "reference" else decoders[fmt] + " (raw out)"
        print(f"  {name:24} {med[label]:10.1f} {cpu[label]:8.1f}")
    budget = med["png"] + 1.2 * med["reference"]
    cbudget = cpu["png"] + 1.2 * cpu["reference"]
    ok = med["glyphora"] <= budget
    print(f"  goal: <= PNG to .ico + 1.2 x {decoders[fmt]} = {budget:.1f} ms (cpu {cbudget:.1f}): "
          f"{med['glyphora']:.1f} ms (cpu {cpu['glyphora']:.1f}) {'met' if ok else 'MISSED'}")
    print()
PY
