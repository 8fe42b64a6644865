# shellcheck shell=bash
# Sourced by the scripts that build Windows programs with mingw-w64 and run them under
# wine.  A missing tool is a skip (exit 77), not a failure.
#
#   skip MESSAGE        prints "SKIPPED: MESSAGE" and exits 77
#   $cxx                the mingw-w64 C++ compiler (the posix-threads one first), or empty
#   start_wine NAME     finds wine (skips without it) and sets up a throwaway prefix in a
#                       fresh folder $work, named NAME.XXXXXX and removed on exit
#   winpath PATH        "/a/b" -> "Z:\a\b": wine maps the whole Unix tree to drive Z

skip() {
    echo "SKIPPED: $*"
    exit 77
}

cxx=$(command -v x86_64-w64-mingw32-g++-posix || command -v x86_64-w64-mingw32-g++ || true)

start_wine() {
    # Debian 12 installs the 64-bit loader as /usr/lib/wine/wine64; its /usr/bin/wine
    # falls back to it when there is no 32-bit wine.
    wine=$(command -v wine64 || true)
    [ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
    [ -z "$wine" ] && wine=$(command -v wine || true)
    [ -n "$wine" ] || skip "wine64 is not installed"
    wineserver=$(command -v wineserver || true)
    [ -z "$wineserver" ] && [ -x /usr/lib/wine/wineserver ] && wineserver=/usr/lib/wine/wineserver

    work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
    export WINEPREFIX=$work/prefix
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
    export HOME=$work/home                   # the prefix links its shell folders into $HOME
    export WINELOADER=$wine
    mkdir -p "$HOME"
    trap stop_wine EXIT
}

stop_wine() {
    if [ -n "$wineserver" ] && [ -d "$WINEPREFIX" ]; then
        "$wineserver" -k >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}

winpath() {
    local p=$1
    echo "Z:${p//\//\\}"
}
