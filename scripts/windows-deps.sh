#!/usr/bin/env bash
# Cross-builds, once, the libraries the Windows build of Glyphora links: qtbase, Qt SVG and
# qtimageformats 6.4.2 and libdeflate, for x86_64-w64-mingw32 (posix threads), from Debian's
# source packages (Qt SVG from the release tarball in ../shared/deps, whose Debian tarball is
# not served).  Everything lands in ~/.cache/glyphora-windows/<key>/ (GLYPHORA_WINDOWS_CACHE
# overrides the parent folder); finished steps are kept and skipped on the next run.
# Prints the install prefix on its last line; with --prefix it prints only that and builds
# nothing.  Needs root for the deb-src line and apt-get.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
toolchain=$root/cmake/mingw-w64-x86_64.cmake
triplet=x86_64-w64-mingw32
jobs=${GLYPHORA_JOBS:-2}
deps_dir=${GLYPHORA_DEPS_DIR:-$root/../shared/deps}

die() { echo "windows-deps: $*" >&2; exit 1; }
have() { command -v "$1" >/dev/null 2>&1; }

have ${triplet}-g++-posix || die "${triplet}-g++-posix is missing (apt-get install g++-mingw-w64-x86-64-posix)"
have cmake && have ninja || die "cmake and ninja are needed"
have dpkg-source || die "dpkg-source is missing (apt-get install dpkg-dev)"

# The cross Qt runs the host's moc, rcc and uic, so it is keyed by (and must be) the same
# Debian version as the host tools.
qt_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev-tools 2>/dev/null) \
    || die "qt6-base-dev-tools is not installed (the host tools the cross Qt uses)"
[ -n "$qt_version" ] || die "qt6-base-dev-tools is not installed"
gcc_version=$(${triplet}-gcc-posix -dumpfullversion)
key="qt${qt_version}-gcc${gcc_version}-posix-r1"
cache=${GLYPHORA_WINDOWS_CACHE:-$HOME/.cache/glyphora-windows}
top=$cache/$key
prefix=$top/qt
src=$top/src
work=$top/build
if [ "${1:-}" = "--prefix" ]; then
    echo "$prefix"
    exit 0
fi
mkdir -p "$prefix" "$src" "$work"

total_start=$SECONDS
step() {
    local name=$1; shift
    if [ -e "$top/.done-$name" ]; then
        echo "== $name: already built, kept"
        return
    fi
    echo "== $name"
    local start=$SECONDS
    "$@"
    touch "$top/.done-$name"
    printf '== %s took %dm%02ds\n' "$name" $(((SECONDS - start) / 60)) $(((SECONDS - start) % 60))
}

ensure_deb_src() {
    if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        return
    fi
    [ "$(id -u)" -eq 0 ] || die "no deb-src line in apt's sources; run once as root to add it"
    local list=/etc/apt/sources.list.d/debian.sources
    [ -r "$list" ] || die "$list is missing; add a deb-src line for your archive by hand"
    # The same archives and suites as the binary lines, for sources
    sed -e 's/^Types:.*/Types: deb-src/' "$list" > /etc/apt/sources.list.d/glyphora-deb-src.sources
    apt-get update
}

# apt-get source PACKAGE=VERSION into $src/NAME (unpacked, Debian's patches applied)
fetch_source() {
    local package=$1 version=$2 dest=$src/$1
    if [ -d "$dest/tree" ]; then
        return
    fi
    ensure_deb_src
    rm -rf "$dest"
    mkdir -p "$dest"
    (cd "$dest" && apt-get source -q "$package=$version") \
        || die "apt-get source $package=$version failed"
    local dir
    dir=$(find "$dest" -mindepth 1 -maxdepth 1 -type d | head -n 1)
    [ -n "$dir" ] || die "apt-get source $package left no folder"
    mv "$dir" "$dest/tree"
}

source_version() {
    # The newest version of a source package that apt knows of
    apt-cache showsrc "$1" | awk '/^Version:/ {print $2; exit}'
}

qtbase() {
    fetch_source qt6-base "$qt_version"
    # PCRE2's JIT breaks here: QRegularExpression keeps each thread's JIT stack in a
    # thread_local, which mingw-w64's emulated TLS hands out as garbage in threads that
    # std::thread starts, and the match reads through it (a page fault in
    # pcre2_jit_match the first time a worker thread matches).  Qt falls back to PCRE2's
    # interpreter when the JIT is compiled out.
    local pcre2=$src/qt6-base/tree/src/3rdparty/pcre2/CMakeLists.txt
    if ! grep -q 'CONDITION MINGW' "$pcre2"; then
        printf '\nqt_internal_extend_target(BundledPcre2 CONDITION MINGW\n    DEFINES\n        PCRE2_DISABLE_JIT\n)\n' >> "$pcre2"
    fi
    # An earlier run's build folder is kept: ninja goes on where that run stopped.
    # OpenGL off is not enough in 6.4.2: the Windows platform plugin still compiles its
    # dynamic-GL branch (qwindowswindow.cpp) unless dynamicgl is off as well.
    cmake -S "$src/qt6-base/tree" -B "$work/qtbase" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
        -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
        -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF \
        -DFEATURE_freetype=ON -DFEATURE_harfbuzz=ON -DFEATURE_jpeg=ON -DFEATURE_png=ON \
        -DFEATURE_gif=ON \
        -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF \
        -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
        -DFEATURE_tabletevent=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF \
        -DFEATURE_openssl=OFF \
        > "$work/qtbase-configure.log" 2>&1 \
        || { tail -n 60 "$work/qtbase-configure.log" >&2; die "qtbase configure failed (log: $work/qtbase-configure.log)"; }
    grep -E 'dynamicgl|OpenGL  |Schannel|Freetype|HarfBuzz|JPEG|PNG|GIF' "$work/qtbase-configure.log" || true
    cmake --build "$work/qtbase" --parallel "$jobs"
    cmake --install "$work/qtbase"
}

qtsvg() {
    local tarball=$deps_dir/qtsvg-everywhere-src-6.4.2.tar.xz
    [ -r "$tarball" ] || die "$tarball is missing"
    local want got
    want=$(awk '$2 == "qtsvg-everywhere-src-6.4.2.tar.xz" {print $1}' "$deps_dir/SHA256SUMS")
    got=$(sha256sum "$tarball" | awk '{print $1}')
    [ -n "$want" ] && [ "$want" = "$got" ] || die "checksum of $tarball is $got, SHA256SUMS says '$want'"
    rm -rf "$src/qtsvg" "$work/qtsvg"
    mkdir -p "$src/qtsvg" "$work/qtsvg"
    tar -xJf "$tarball" -C "$src/qtsvg" --strip-components=1
    (cd "$work/qtsvg" && "$prefix/bin/qt-configure-module" "$src/qtsvg" > ../qtsvg-configure.log 2>&1) \
        || { tail -n 60 "$work/qtsvg-configure.log" >&2; die "Qt SVG configure failed"; }
    cmake --build "$work/qtsvg" --parallel "$jobs"
    cmake --install "$work/qtsvg"
}

qtimageformats() {
    fetch_source qt6-imageformats "$(source_version qt6-imageformats)"
    [ -d "$src/qt6-imageformats/tree/src/3rdparty/libwebp" ] \
        || die "the qt6-imageformats source has no bundled libwebp"
    [ -d "$src/qt6-imageformats/tree/src/3rdparty/libtiff" ] \
        || die "the qt6-imageformats source has no bundled libtiff"
    rm -rf "$work/qtimageformats"
    mkdir -p "$work/qtimageformats"
    (cd "$work/qtimageformats" && "$prefix/bin/qt-configure-module" "$src/qt6-imageformats/tree" \
        -- -DFEATURE_system_webp=OFF -DFEATURE_system_tiff=OFF \
           -DFEATURE_jasper=OFF -DFEATURE_mng=OFF \
        > ../qtimageformats-configure.log 2>&1) \
        || { tail -n 60 "$work/qtimageformats-configure.log" >&2; die "qtimageformats configure failed"; }
    cmake --build "$work/qtimageformats" --parallel "$jobs"
    cmake --install "$work/qtimageformats"
    for plugin in qwebp qtiff; do
        [ -e "$prefix/plugins/imageformats/$plugin.dll" ] || die "$plugin.dll was not built"
    done
}

libdeflate() {
    fetch_source libdeflate 1.14-1
    local tree=$src/libdeflate/tree
    # 1.14 builds with its Makefile, which sees from the compiler that it targets Windows
    make -C "$tree" clean >/dev/null
    make -C "$tree" -j"$jobs" CC=${triplet}-gcc-posix AR=${triplet}-gcc-ar-posix \
        libdeflatestatic.lib
    mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
    install -m 644 "$tree/libdeflate.h" "$prefix/include/"
    install -m 644 "$tree/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
    cat > "$prefix/lib/pkgconfig/libdeflate.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: libdeflate
Description: Fast implementation of DEFLATE, zlib, and gzip
Version: 1.14
Libs: -L\${libdir} -ldeflate
Cflags: -I\${includedir}
EOF
}

step qtbase qtbase
step qtsvg qtsvg
step qtimageformats qtimageformats
step libdeflate libdeflate

printf '== all done in %dm%02ds\n' $(((SECONDS - total_start) / 60)) $(((SECONDS - total_start) % 60))
echo "$prefix"
