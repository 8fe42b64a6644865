#!/usr/bin/env bash
# Builds everything and runs every test.  Fails when any test fails or cannot run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# wine's 32-bit libraries serve the PE reader's tests as outside PE32 files
tests/fetch-wine32-dlls.sh build/wine32
cd build
# A test on every core: the widget tests take turns at the display (RESOURCE_LOCK), the
# sanitized and fuzz builds start first.  -j1 (or CTEST_PARALLEL_LEVEL=1) runs one at a time.
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}
# The widget tests need a display; give them a virtual one when there is none.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure --no-tests=error "$@"
fi
exec ctest --output-on-failure --no-tests=error "$@"
