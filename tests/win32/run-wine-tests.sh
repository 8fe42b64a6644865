#!/usr/bin/env bash
# Builds the Win32 platform layer with mingw-w64 and runs its checks under wine, in a
# throwaway prefix: the registry, the shell folders, the system metrics and the module
# loader (on a fixture library made here and on wine's own PE libraries).  Also checks
# that the Windows build's resource script compiles.
#
#   run-wine-tests.sh [--dump-dir DIR]
#
# With --dump-dir, the loader's view of each library (see compare-icon-dumps.sh) is left
# in DIR as NAME.loader.txt, together with a copy of the library itself as NAME.
#
# Exit status: 0 passed, 1 failed, 77 skipped (no mingw-w64 or no wine).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
dump_dir=
while [ $# -gt 0 ]; do
    case "$1" in
        --dump-dir) dump_dir=$2; shift 2 ;;
        *) echo "usage: $0 [--dump-dir DIR]" >&2; exit 2 ;;
    esac
done

# Dumps of an earlier run must not outlive a failed or skipped one.
if [ -n "$dump_dir" ]; then
    rm -f "$dump_dir"/*.loader.txt "$dump_dir"/*.reader.txt
fi

# Libraries of wine's prefix that carry many icon groups.
libraries=(shell32.dll comctl32.dll user32.dll comdlg32.dll)
# Prefix creation takes 10-20 s; the checks themselves a few seconds.
wine_timeout=300

source "$source_dir/tests/win32/wine-setup.sh"
cc=$(command -v x86_64-w64-mingw32-gcc-posix || command -v x86_64-w64-mingw32-gcc || true)
windres=$(command -v x86_64-w64-mingw32-windres || true)
[ -n "$cxx" ] && [ -n "$cc" ] && [ -n "$windres" ] \
    || skip "mingw-w64 (x86_64-w64-mingw32-g++, -gcc, -windres) is not installed"
start_wine glyphora-wine

echo "== building with $cxx"
fixture=$work/fixture
mkdir -p "$fixture"
"$cxx" -std=c++17 -O1 -g0 -Wall -Wextra -static -municode \
    -I"$source_dir/platform/win32" \
    "$source_dir/tests/win32/winplatform_test.cpp" \
    "$source_dir"/platform/win32/*.cpp \
    -ladvapi32 -lshell32 -lole32 -luser32 -lgdi32 \
    -o "$work/winplatform_test.exe"

# --- fixture library ------------------------------------------------------------------
# .ico files made byte by byte: header (0, 1, count), 16-byte entries, then payloads.
# The payloads need not be images: the resource compiler and the loader copy them as is.
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
# make_ico FILE "WIDTH HEIGHT BITS LENGTH" ...  (WIDTH 256 is stored as 0)
make_ico() {
    local out=$1; shift
    local count=$# offset=$((6 + 16 * $#)) index=0 spec w h bits len
    {
        le16 0; le16 1; le16 "$count"
        for spec in "$@"; do
            read -r w h bits len <<<"$spec"
            printf "\\x$(printf %02x $((w & 255)))\\x$(printf %02x $((h & 255)))"
            printf '\x00\x00'
            le16 1; le16 "$bits"; le32 "$len"; le32 "$offset"
            offset=$((offset + len))
        done
        for spec in "$@"; do
            read -r w h bits len <<<"$spec"
            head -c "$len" < <(yes "$(basename "$out") image $index ${w}x${h}x${bits}")
            index=$((index + 1))
        done
    } >"$out"
}
make_ico "$fixture/two.ico" "16 16 32 1128" "32 32 32 4265"
make_ico "$fixture/one.ico" "256 256 32 3001"
make_ico "$fixture/three.ico" "48 48 8 3752" "48 48 32 9640" "256 256 32 1"
# Icons are numbered 1, 2, ... in this order; the test program relies on it.
cat >"$fixture/fixture.rc" <<'EOF'
1 ICON "two.ico"
300 ICON "one.ico"
NAMED ICON "three.ico"
EOF
echo 'int glyphoraFixtureAnchor = 1;' >"$fixture/anchor.c"
(cd "$fixture" && "$windres" -O coff fixture.rc -o fixture.res.o)
"$cc" -shared -o "$fixture/fixture.dll" "$fixture/anchor.c" "$fixture/fixture.res.o"
"$cc" -shared -o "$fixture/plain.dll" "$fixture/anchor.c"

# --- the Windows build's own resources ------------------------------------------------
echo "== compiling resources/windows/glyphora.rc"
res=$work/res
mkdir -p "$res"
cp "$source_dir"/resources/windows/glyphora.rc "$source_dir"/resources/windows/glyphora.manifest "$res/"
artwork=--artwork
if [ -f "$source_dir/resources/windows/glyphora.ico" ]; then
    cp "$source_dir/resources/windows/glyphora.ico" "$res/"
else
    artwork=--placeholder
    echo "   (no glyphora.ico yet: compiling against a placeholder)"
    make_ico "$res/glyphora.ico" "16 16 32 1128" "32 32 32 4264"
fi
(cd "$res" && "$windres" -O coff glyphora.rc -o glyphora.res.o)
# Linked into a library, the loader is asked below for the icon group and the manifest.
"$cc" -shared -o "$work/glyphora-resources.dll" "$fixture/anchor.c" "$res/glyphora.res.o"

# --- run ------------------------------------------------------------------------------
mkdir -p "$work/dump"
args=("$(winpath "$fixture")" --app-resources "$(winpath "$work/glyphora-resources.dll")" "$artwork"
      --dump "$(winpath "$work/dump")" "${libraries[@]}" "$(winpath "$fixture/fixture.dll")")
echo "== running under $wine (prefix $WINEPREFIX, display ${DISPLAY:-none})"
start=$(date +%s)
status=0
timeout -k 10 "$wine_timeout" "$wine" "$work/winplatform_test.exe" "${args[@]}" \
    >"$work/output.txt" 2>"$work/wine-errors.txt" || status=$?
tr -d '\r' <"$work/output.txt"
echo "== wine run took $(($(date +%s) - start)) s"
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "FAILED: the wine run did not finish within $wine_timeout s"
    cat "$work/wine-errors.txt"
    exit 1
fi
summary=$(tr -d '\r' <"$work/output.txt" | tail -n 1)
if ! [[ "$summary" =~ ^[0-9]+\ passed,\ 0\ failed$ ]] || [ "$status" -ne 0 ]; then
    echo "FAILED (exit status $status)"
    cat "$work/wine-errors.txt"
    exit 1
fi

if [ -n "$dump_dir" ]; then
    mkdir -p "$dump_dir"
    for library in "${libraries[@]}"; do
        cp "$work/dump/$library.loader.txt" "$dump_dir/"
        cp "$WINEPREFIX/drive_c/windows/system32/$library" "$dump_dir/"
    done
    # the fixture adds a group with a string name
    cp "$work/dump/fixture.dll.loader.txt" "$fixture/fixture.dll" "$dump_dir/"
    echo "== loader dumps left in $dump_dir"
fi
