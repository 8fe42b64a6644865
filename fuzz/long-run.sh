#!/usr/bin/env bash
# Runs every fuzz target for a given time on all cores (libFuzzer's fork mode: one job a
# core, the corpus shared and merged) and prints one line a target: executions, executions
# per second, coverage, and the crashes, leaks, timeouts and out-of-memory inputs found,
# each saved in BUILD_DIR/artifacts.  Exit 1 when anything was found.
#   fuzz/long-run.sh SECONDS_PER_TARGET [BUILD_DIR] [--real]
# --real adds a pass of the PE and .ico targets over whole wine libraries and their icon
# groups (inputs up to 1 MB, a few hundred runs a second) for the same time each.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:?usage: long-run.sh SECONDS_PER_TARGET [BUILD_DIR] [--real]}
build=${2:-$here/../build-fuzz}
real=${3:-}
command -v clang++-14 >/dev/null || { echo "long-run: clang++-14 is missing" >&2; exit 77; }
cores=$(nproc)

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j"$cores" >/dev/null
"$here/make-seeds.sh" "$build/seeds" >/dev/null
build=$(cd "$build" && pwd)

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/lsan-suppressions.txt}
export QT_QPA_PLATFORM=offscreen
found=0
run() {
    local target=$1 corpus=$2 seeds=$3 dict=$4 maxlen=$5
    local log="$build/long-$(basename "$corpus").log"
    mkdir -p "$corpus" "$build/artifacts"
    # inputs of earlier runs with 1 MB inputs: past the limit they would only be cut
    find "$corpus" -type f -size +"$((maxlen / 1024))"k -delete
    # Fork mode goes on past a crash, a timeout or an out-of-memory input, keeping each.
    "$build/bin/$target" "$corpus" "$seeds" -fork="$cores" -max_total_time="$seconds" \
        -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -timeout=10 -rss_limit_mb=2048 \
        -max_len="$maxlen" -dict="$here/dict/$dict" \
        -artifact_prefix="$build/artifacts/$(basename "$corpus")-" < /dev/null > "$log" 2>&1 || true
    # the fork parent's progress lines:
    #   #EXECS: cov: C ft: F corp: N exec/s: E oom/timeout/crash: O/T/X time: Ss job: J ...
    local last
    last=$(grep -E '^#[0-9]+: cov:' "$log" | tail -1)
    if [ -z "$last" ]; then
        echo "$(basename "$corpus"): no progress line, see $log"
        found=1
        return
    fi
    local execs cov ft time faults
    execs=$(sed -E 's/^#([0-9]+):.*/\1/' <<< "$last")
    cov=$(sed -E 's/.* cov: ([0-9]+).*/\1/' <<< "$last")
    ft=$(sed -E 's/.* ft: ([0-9]+).*/\1/' <<< "$last")
    time=$(sed -E 's/.* time: ([0-9]+)s.*/\1/' <<< "$last")
    faults=$(sed -E 's|.* oom/timeout/crash: ([0-9]+)/([0-9]+)/([0-9]+).*|\3 crashes or leaks, \2 timeouts, \1 out of memory|' <<< "$last")
    printf '%-28s %12s executions %8s/s  cov %5s  ft %6s  %s\n' "$(basename "$corpus")" "$execs" \
        "$((execs / (time > 0 ? time : 1)))" "$cov" "$ft" "$faults"
    grep -qE 'oom/timeout/crash: 0/0/0' <<< "$last" || found=1
}
while read -r target seeds dict; do
    run "$target" "$build/corpus/$target" "$build/seeds/$seeds" "$dict" 65536
done < "$here/targets.txt"
if [ "$real" = --real ]; then
    run fuzz_peresources "$build/corpus/fuzz_peresources-real" "$build/seeds/real/pe" pe.dict 1048576
    run fuzz_icolisting "$build/corpus/fuzz_icolisting-real" "$build/seeds/real/ico" ico.dict 1048576
fi
[ "$found" = 0 ] || echo "long-run: inputs were found, see $build/artifacts and the logs in $build" >&2
exit $found
