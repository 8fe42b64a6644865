#!/usr/bin/env bash
# Builds the program and starts it.  Without a display it starts under xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display found, starting glyphora under xvfb-run (invisible)"
    exec xvfb-run -a -s "-screen 0 1920x1080x24" build/bin/glyphora "$@"
fi
exec build/bin/glyphora "$@"
