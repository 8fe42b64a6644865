#!/usr/bin/env bash
# Times the composed icon in process: a composition with every effect on and 10 image
# objects at each canvas size, the PNG export sizes, and one wheel notch on an object made
# from a 4000 x 3000 photo (rebuild of its display image and a full render).
#
#   bench/compose.sh [BUILD_DIR]        (default: build)
#
# Prints median milliseconds, ending with the lines "render 300:", "render 1200:",
# "wheel notch:" (the slowest of the three canvas sizes), "largest channel difference:"
# (the display image scaled through the halvings against a plain smooth scale of the
# whole photo, 0-255) and "undo:" (one undo and its repaint on the 1024 canvas with 10
# objects, the slowest kind of step; goal at most 16 ms, one frame).  RUNS=n sets the
# timed runs per figure (default 41).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target glyphora-composebench >/dev/null
bench=$(realpath "$build/bin/glyphora-composebench")
work=${BENCH_DIR:-$build/bench}
mkdir -p "$work/in"
if [ ! -f "$work/in/photo.jpg" ] || [ ! -f "$work/in/soft.png" ] || [ ! -f "$work/in/wide.png" ]; then
    /usr/bin/python3 bench/make-inputs.py "$work/in"
fi
echo "uptime: $(uptime)"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$bench" "$work/in/photo.jpg" "$work/in/soft.png" "$work/in/wide.png" \
    --runs "${RUNS:-41}"
