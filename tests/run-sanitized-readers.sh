#!/usr/bin/env bash
# The tests of every reader of outside bytes again, with AddressSanitizer and
# UndefinedBehaviorSanitizer: PE resources, the DIB and PNG-in-ICO decoders, the .ico
# listing, assembly and lint, the HEIF/AVIF and JPEG XL plugins, SVG documents, .glyphora
# documents, the settings store and update.txt.  In a build folder of their own, with
# GLYPHORA_SANITIZE=readers: only those readers are instrumented, and only the targets
# these tests need are built (no GUI but the update check's dialog).
#   tests/run-sanitized-readers.sh SOURCE_DIR BUILD_DIR [JOBS]
set -euo pipefail
source=${1:?usage: run-sanitized-readers.sh SOURCE_DIR BUILD_DIR [JOBS]}
build=${2:?usage: run-sanitized-readers.sh SOURCE_DIR BUILD_DIR [JOBS]}
jobs=${3:-$(nproc)}
tests="tst_peresourcereader tst_icondecoder tst_icoassembly tst_iconlisting tst_winedlls tst_mingwdlls
       tst_clilistextract tst_fastpng tst_imageformats tst_icolint tst_svgrasterizer tst_documentlimits
       tst_registrystore tst_checkupdate"

# -O1 with line tables only: half the compile time of -O2 -g under the sanitizers, and
# still every report's stack with files and lines.
cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DGLYPHORA_SANITIZE=readers >/dev/null
cmake --build "$build" -j"$jobs" --target glyphora-cli $tests
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
# what the codec libraries keep for the life of the process
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$source/fuzz/lsan-suppressions.txt}
# Nothing here needs a screen (the update check's dialog is only read back), and off it
# these tests cannot take the focus from the widget tests running beside them.
export QT_QPA_PLATFORM=offscreen
cd "$build"
exec ctest --output-on-failure --no-tests=error -j"$jobs" -R "^($(echo $tests | tr ' ' '|'))\$"
