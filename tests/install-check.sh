#!/usr/bin/env bash
# Installs the build into a throwaway prefix and checks that the desktop finds the
# program: executables, a valid .desktop entry and its icon in the hicolor theme.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail=0
check() { if [ -e "$prefix/$1" ]; then echo "ok: $1"; else echo "missing: $1"; fail=1; fi; }
check bin/glyphora
check bin/glyphora-cli
check share/applications/glyphora.desktop
for size in 16 32 48 256; do check "share/icons/hicolor/${size}x${size}/apps/glyphora.png"; done
desktop-file-validate "$prefix/share/applications/glyphora.desktop"
grep -qx 'Exec=glyphora' "$prefix/share/applications/glyphora.desktop" || { echo "Exec line"; fail=1; }
grep -qx 'Icon=glyphora' "$prefix/share/applications/glyphora.desktop" || { echo "Icon line"; fail=1; }
"$prefix/bin/glyphora-cli" --version | grep -q '3\.2\.0' || { echo "glyphora-cli --version"; fail=1; }
exit $fail
