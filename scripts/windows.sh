#!/usr/bin/env bash
# Builds the Windows program with the cross Qt of scripts/windows-deps.sh (run that once
# first) into build-windows/, and lays out dist/windows/: glyphora.exe, glyphora-cli.exe,
# the Qt DLLs and plugins and the mingw runtime DLLs, a folder that runs where it is copied,
# and the same folder as dist/glyphora-windows-VERSION.zip.  Extra arguments go to cmake.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
triplet=x86_64-w64-mingw32
build=$root/build-windows
dist=$root/dist/windows
jobs=${GLYPHORA_JOBS:-2}

die() { echo "windows: $*" >&2; exit 1; }

prefix=$(scripts/windows-deps.sh --prefix)
top=$(dirname "$prefix")
for step in qtbase qtsvg qtimageformats libdeflate; do
    [ -e "$top/.done-$step" ] || die "the cross-built $step is missing from $top; run scripts/windows-deps.sh first"
done

start=$SECONDS
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# pkg-config must see only the cross-built libraries, never the host's .pc files.
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
export PKG_CONFIG_PATH=
"$prefix/bin/qt-cmake" -S "$root" -B "$build" -G Ninja \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DGLYPHORA_BUILD_TESTS=OFF \
    "${launcher[@]}" "$@"
cmake --build "$build" --parallel "$jobs" --target glyphora glyphora-cli
printf '== program built in %dm%02ds\n' $(((SECONDS - start) / 60)) $(((SECONDS - start) % 60))

# The folder a user copies: the programs, the Qt libraries they load, Qt's plugins in the
# sub-folders Qt looks for beside the executable, and the compiler's runtime.
rm -rf "$dist"
mkdir -p "$dist"
cp "$build/bin/glyphora.exe" "$build/bin/glyphora-cli.exe" "$dist/"
for module in Core Gui Widgets Network Concurrent Svg; do
    cp "$prefix/bin/Qt6$module.dll" "$dist/"
done
plugins=(
    platforms/qwindows.dll platforms/qoffscreen.dll
    styles/qwindowsvistastyle.dll
    imageformats/qgif.dll imageformats/qjpeg.dll imageformats/qico.dll imageformats/qsvg.dll
    imageformats/qwebp.dll imageformats/qtiff.dll
    iconengines/qsvgicon.dll
    tls/qschannelbackend.dll
)
for plugin in "${plugins[@]}"; do
    [ -e "$prefix/plugins/$plugin" ] || die "the Qt plugin $plugin was not built"
    mkdir -p "$dist/$(dirname "$plugin")"
    cp "$prefix/plugins/$plugin" "$dist/$plugin"
done
runtime_dirs=("$(dirname "$(${triplet}-g++-posix -print-libgcc-file-name)")" "/usr/$triplet/lib")
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    found=
    for dir in "${runtime_dirs[@]}"; do
        if [ -e "$dir/$dll" ]; then
            found=$dir/$dll
            break
        fi
    done
    [ -n "$found" ] || die "the mingw runtime $dll was not found in ${runtime_dirs[*]}"
    cp "$found" "$dist/"
done
${triplet}-strip --strip-unneeded "$dist"/*.exe "$dist"/*.dll "$dist"/*/*.dll

# Every DLL that a file of the folder imports is either in the folder or one of Windows' own.
declare -A windows_dlls=()
for dll in advapi32 authz bcrypt comctl32 comdlg32 crypt32 d3d11 d3d12 d3d9 dnsapi dwmapi dwrite \
           dxgi gdi32 imm32 iphlpapi kernel32 mpr msvcrt ncrypt netapi32 normaliz ole32 oleaut32 \
           secur32 setupapi shcore shell32 shlwapi user32 userenv uxtheme version winmm ws2_32 \
           winhttp wtsapi32; do
    windows_dlls[$dll.dll]=1
done
missing=0
while IFS= read -r file; do
    for dll in $(${triplet}-objdump -p "$file" | awk '/DLL Name:/ {print $3}'); do
        lower=${dll,,}
        if [[ "$lower" == api-ms-win-* ]] || [ -n "${windows_dlls[$lower]:-}" ] || [ -e "$dist/$dll" ]; then
            continue
        fi
        echo "windows: ${file#"$dist"/} imports $dll, which is neither in the folder nor part of Windows" >&2
        missing=1
    done
done < <(find "$dist" -name '*.exe' -o -name '*.dll')
[ "$missing" -eq 0 ] || die "the folder is incomplete"

version=$(sed -n 's/^project(Glyphora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zipfile=$root/dist/glyphora-windows-$version.zip
rm -f "$zipfile"
(cd "$root/dist" && zip -qr "$zipfile" windows)
echo "== $dist ($(du -sh "$dist" | cut -f1)), $zipfile"
printf '== done in %dm%02ds\n' $(((SECONDS - start) / 60)) $(((SECONDS - start) % 60))
