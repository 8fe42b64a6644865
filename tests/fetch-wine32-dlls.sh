#!/usr/bin/env bash
# Makes wine's 32-bit PE libraries (PE32) available to the reader tests as outside
# oracles, without installing the 32-bit wine itself: the i386 libwine package is
# downloaded and only its i386-windows folder unpacked into DEST.  Does nothing when the
# folder is installed or already unpacked; never fails the caller, since the tests still
# run on the 64-bit libraries without it.
set -uo pipefail
dest=$1
installed=/usr/lib/i386-linux-gnu/wine/i386-windows
folder=usr/lib/i386-linux-gnu/wine/i386-windows

[ -d "$installed" ] && exit 0
[ -d "$dest/i386-windows" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
    echo "fetch-wine32-dlls: not root, the PE32 libraries are left out" >&2
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(dpkg-query -W -f='${Version}' libwine 2>/dev/null)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
if ! apt-cache show "libwine:i386=$version" >/dev/null 2>&1; then
    apt-get update -q >/dev/null 2>&1
fi
if ! (cd "$work" && apt-get download -q "libwine:i386=$version" >/dev/null 2>&1); then
    echo "fetch-wine32-dlls: cannot download libwine:i386 $version, the PE32 libraries are left out" >&2
    exit 0
fi
mkdir -p "$work/x"
dpkg-deb --fsys-tarfile "$work"/libwine_*_i386.deb | tar -x -C "$work/x" "./$folder" || exit 0
mkdir -p "$dest"
mv "$work/x/$folder" "$dest/i386-windows"
echo "fetch-wine32-dlls: $(ls "$dest/i386-windows" | wc -l) PE32 files in $dest/i386-windows"
