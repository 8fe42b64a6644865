#!/usr/bin/env bash
# The readers' tests again (extraction, and the photo-format plugins), built with AddressSanitizer and
# UndefinedBehaviorSanitizer (GLYPHORA_SANITIZE): only the targets they need, in a build
# folder of their own.
#   tests/run-sanitized-readers.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source=${1:?usage: run-sanitized-readers.sh SOURCE_DIR BUILD_DIR}
build=${2:?usage: run-sanitized-readers.sh SOURCE_DIR BUILD_DIR}
tests="tst_peresourcereader tst_icondecoder tst_icoassembly tst_iconlisting tst_winedlls tst_mingwdlls tst_clilistextract tst_fastpng tst_imageformats tst_icolint"

cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLYPHORA_SANITIZE=ON >/dev/null
cmake --build "$build" -j2 --target glyphora-cli $tests
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
# what the codec libraries keep for the life of the process
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$source/fuzz/lsan-suppressions.txt}
cd "$build"
exec ctest --output-on-failure --no-tests=error -R "^($(echo $tests | tr ' ' '|'))\$"
