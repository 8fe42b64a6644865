#!/usr/bin/env bash
# Builds the fuzz targets with clang-14 and gives each a smoke run: every one of its small
# seeds (see make-seeds.sh) and of the corpus an earlier run left, then mutations of them
# with a dictionary of its format's markers for SECONDS_PER_TARGET.  Fails on any crash,
# leak, timeout or sanitizer report.  The test suite runs it for 5 s a target; the long
# runs on every core are long-run.sh's.
#   fuzz/run-fuzzers.sh [SECONDS_PER_TARGET] [BUILD_DIR]
# Exit 77 (skipped) when clang-14 or libFuzzer is not installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-5}
build=${2:-$here/../build-fuzz}
command -v clang++-14 >/dev/null || { echo "run-fuzzers: clang++-14 is missing" >&2; exit 77; }

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j"$(nproc)"
"$here/make-seeds.sh" "$build/seeds"

# ASan's leak check at exit, UBSan's reports fatal (the build makes them so).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/lsan-suppressions.txt}
export QT_QPA_PLATFORM=offscreen
status=0
run() {
    local target=$1 seeds=$2 dict=$3
    local corpus="$build/corpus/$target"
    mkdir -p "$corpus" "$build/artifacts"
    # inputs of earlier runs with 1 MB inputs: past 64 KB they would only be cut
    find "$corpus" -type f -size +64k -delete
    echo "== $target: $seconds s"
    # 64 KB holds every seed and room to grow; the whole wine libraries are long-run.sh's
    if ! "$build/bin/$target" "$corpus" "$seeds" -max_total_time="$seconds" -timeout=10 \
            -rss_limit_mb=2048 -max_len=65536 -dict="$here/dict/$dict" -print_final_stats=1 \
            -artifact_prefix="$build/artifacts/$target-" < /dev/null > "$build/$target.log" 2>&1; then
        echo "run-fuzzers: $target FAILED, see $build/$target.log" >&2
        tail -40 "$build/$target.log" >&2
        status=1
    fi
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$build/$target.log" | tail -2 || true
}
# one line a target: its name, its seeds under SEED_DIR, its dictionary in fuzz/dict
while read -r target seeds dict; do
    run "$target" "$build/seeds/$seeds" "$dict"
done < "$here/targets.txt"
exit $status
