#!/usr/bin/env bash
# The Windows build (dist/windows/ from scripts/windows.sh) under wine, against the Linux
# build of the same tree:
# - glyphora-cli.exe ico of a PNG, a JPEG and an SVG: the same entries as the Linux
#   program's icon, every entry's pixels within a small difference (Qt SVG against librsvg
#   for the SVG, so a larger one there);
# - glyphora-cli.exe list and extract of wine's shell32.dll: the same listing, byte-equal
#   icons; lint of every wine file with icon groups: the same findings;
# - glyphora.exe starts and shows its main window; a picture opened through the Create
#   tab's dialog becomes an .ico by "Create Ico File" (wine's own file dialogs, typed into);
#   the Extract tab lists wine's shell32.dll through the Windows module loader, as many
#   groups as wrestool finds with numeric names (the string-named ones are not listed
#   there); closed, it leaves its geometry in the registry.  A screenshot of the Extract
#   tab is kept as OUT_DIR/windows-build.png.
#
#   run-wine-windows-build.sh LINUX_GLYPHORA_CLI OUT_DIR
#
# Exit status: 0 passed, 1 failed, 77 skipped (no Windows build, no wine, no display).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
linux_cli=$1
out_dir=$2
dist=${GLYPHORA_WINDOWS_DIST:-$source_dir/dist/windows}

source "$source_dir/tests/win32/wine-setup.sh"
prefix=$("$source_dir/scripts/windows-deps.sh" --prefix)
[ -e "$(dirname "$prefix")/.done-qtbase" ] \
    || skip "the cross-built Qt is absent ($prefix): run scripts/windows-deps.sh, then scripts/windows.sh"
[ -x "$dist/glyphora-cli.exe" ] && [ -e "$dist/glyphora.exe" ] \
    || skip "the Windows program is not built ($dist): run scripts/windows.sh"
start_wine glyphora-windows-build
# a crash ends the program at once instead of waiting in wine's debugger
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winedbg.exe="
mkdir -p "$out_dir"

status=0
fail() {
    echo "FAILED: $*"
    status=1
}

# wine's own start-up (the prefix) before anything is timed or compared
"$wine" wineboot -i >/dev/null 2>&1 || true

cli_exe() {
    timeout -k 10 300 "$wine" "$dist/glyphora-cli.exe" "$@" 2>"$work/wine-stderr.txt" | tr -d '\r'
}

# The pictures: made here, so that the test needs nothing but Pillow.
/usr/bin/python3 - "$work" <<'PY'
import sys
from PIL import Image, ImageDraw
out = sys.argv[1]
img = Image.new("RGBA", (300, 200), (0, 0, 0, 0))
d = ImageDraw.Draw(img)
d.ellipse((20, 20, 280, 180), fill=(40, 120, 220, 200), outline=(255, 255, 255, 255), width=6)
d.rectangle((120, 60, 180, 140), fill=(240, 90, 30, 255))
img.save(f"{out}/soft.png")
photo = Image.new("RGB", (640, 480))
px = photo.load()
for y in range(480):
    for x in range(640):
        px[x, y] = ((x * 255) // 639, (y * 255) // 479, ((x ^ y) & 0xff))
photo.save(f"{out}/photo.jpg", quality=90)
PY
cat > "$work/drawing.svg" <<'EOF'
<svg xmlns="http://www.w3.org/2000/svg" width="120" height="100" viewBox="0 0 120 100">
  <defs>
    <linearGradient id="g" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="#1e5bd8"/><stop offset="1" stop-color="#9fd4ff"/>
    </linearGradient>
  </defs>
  <rect x="6" y="6" width="108" height="88" rx="18" fill="url(#g)"/>
  <circle cx="60" cy="50" r="28" fill="#ff7a1a" fill-opacity="0.8" stroke="#ffffff" stroke-width="4"/>
  <path d="M20 80 L50 30 L80 80 Z" fill="none" stroke="#202020" stroke-width="3"/>
</svg>
EOF

# Every entry of two icons, extracted by icotool: the share of pixels whose channels differ
# by more than 32 (where either is not fully transparent), and the mean difference over all
# channels.
compare_icons() {
    /usr/bin/python3 - "$1" "$2" "$3" "$4" <<'PY'
import glob, os, sys
from PIL import Image, ImageChops, ImageStat
linux_dir, windows_dir, share_allowed, mean_allowed = sys.argv[1], sys.argv[2], float(sys.argv[3]), float(sys.argv[4])
names = sorted(os.path.basename(p) for p in glob.glob(os.path.join(linux_dir, "*.png")))
other = sorted(os.path.basename(p) for p in glob.glob(os.path.join(windows_dir, "*.png")))
if names != other or not names:
    print(f"   entries differ: Linux {names}, Windows {other}")
    sys.exit(1)
ok = True
for name in names:
    a = Image.open(os.path.join(linux_dir, name)).convert("RGBA")
    b = Image.open(os.path.join(windows_dir, name)).convert("RGBA")
    pa, pb = a.tobytes(), b.tobytes()
    far = 0
    for p in range(0, len(pa), 4):
        if (pa[p + 3] or pb[p + 3]) and max(abs(pa[p + i] - pb[p + i]) for i in range(4)) > 32:
            far += 1
    share = 100.0 * far / (a.width * a.height)
    mean = sum(ImageStat.Stat(ImageChops.difference(a, b)).mean) / 4
    verdict = "ok" if share <= share_allowed and mean <= mean_allowed else "TOO DIFFERENT"
    if verdict != "ok":
        ok = False
    print(f"   {name}: {share:.2f}% of pixels differ by more than 32, mean difference {mean:.2f}: {verdict}")
sys.exit(0 if ok else 1)
PY
}

# The entries of icon ICO as DIR/INDEX_WxHxD.png: named alike, two icons' folders compare.
# (icotool finds fault with the 72 dpi resolution fields, which Windows ignores)
entries() {
    local base
    base=$(basename "$1" .ico)
    mkdir -p "$2"
    icotool -x -o "$2" "$1" 2>/dev/null
    (cd "$2" && for f in "$base"_*.png; do mv "$f" "${f#"$base"_}"; done)
}

# name, per cent of pixels allowed to differ by more than 32, mean difference allowed;
# the SVG is drawn by Qt SVG on Windows and librsvg on Linux: edges differ a little
for row in "soft.png 0 0.1" "photo.jpg 0 0.1" "drawing.svg 3 3.0"; do
    read -r input share mean <<<"$row"
    echo "== ico $input"
    "$linux_cli" -q ico "$work/$input" -o "$work/$input.linux.ico"
    if ! cli_exe -q ico "$(winpath "$work/$input")" -o "$(winpath "$work/$input.windows.ico")"; then
        fail "glyphora-cli.exe ico $input"
        cat "$work/wine-stderr.txt"
        continue
    fi
    entries "$work/$input.linux.ico" "$work/$input.linux"
    entries "$work/$input.windows.ico" "$work/$input.windows"
    compare_icons "$work/$input.linux" "$work/$input.windows" "$share" "$mean" || fail "ico $input"
done

library=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll
if [ -e "$library" ]; then
    echo "== list and extract $(basename "$library")"
    "$linux_cli" list "$library" | sed "s|$library|LIBRARY|g" >"$work/list.linux"
    cli_exe list "$(winpath "$library")" | sed 's|Z:\\.*shell32.dll|LIBRARY|g' >"$work/list.windows" \
        || fail "glyphora-cli.exe list"
    if ! diff -u "$work/list.linux" "$work/list.windows"; then
        fail "list: the listings differ"
    else
        echo "   $(wc -l <"$work/list.linux") lines alike"
    fi
    # the readers' log lines reach stderr as on Linux
    "$linux_cli" --verbose list "$library" 2>"$work/log.linux" >/dev/null
    cli_exe --verbose list "$(winpath "$library")" >/dev/null
    if [ "$(wc -l <"$work/wine-stderr.txt")" -ne "$(wc -l <"$work/log.linux")" ]; then
        fail "--verbose list: $(wc -l <"$work/wine-stderr.txt") log lines, the Linux program prints $(wc -l <"$work/log.linux")"
    else
        echo "   $(wc -l <"$work/log.linux") log lines, as on Linux"
    fi
    mkdir -p "$work/extract.linux" "$work/extract.windows"
    "$linux_cli" -q extract "$library" -o "$work/extract.linux/shell32.ico"
    cli_exe -q extract "$(winpath "$library")" -o "$(winpath "$work/extract.windows/shell32.ico")" \
        || fail "glyphora-cli.exe extract"
    if ! diff -r "$work/extract.linux" "$work/extract.windows" >/dev/null; then
        fail "extract: the icons differ"
        diff -r "$work/extract.linux" "$work/extract.windows" | head -n 5
    else
        echo "   $(find "$work/extract.linux" -type f | wc -l) icons byte-equal"
    fi
    # lint, where Windows reads each library's icons in one go and Linux maps them
    wine_dir=$(dirname "$library")
    libraries=()
    for f in "$wine_dir"/*.dll "$wine_dir"/*.exe "$wine_dir"/*.cpl; do
        [ -n "$(wrestool -l -t14 "$f" 2>/dev/null)" ] && libraries+=("$f")
    done
    echo "== lint of ${#libraries[@]} wine files"
    file_names='s#^[^ ]*[\\/]([^\\/ ]+\.(dll|exe|cpl))#\1#'
    "$linux_cli" -q lint "${libraries[@]}" | sed -E "$file_names" >"$work/lint.linux" || true
    windows_paths=()
    for f in "${libraries[@]}"; do windows_paths+=("$(winpath "$f")"); done
    cli_exe -q lint "${windows_paths[@]}" | sed -E "$file_names" >"$work/lint.windows" || true
    if cmp -s "$work/lint.linux" "$work/lint.windows" && [ -s "$work/lint.linux" ]; then
        echo "   $(wc -l <"$work/lint.linux") findings alike"
    else
        fail "lint: the findings differ"
        diff -u "$work/lint.linux" "$work/lint.windows" | head -n 20
    fi
else
    fail "wine's $library is missing"
fi

echo "== wildcards and names beyond ASCII, as typed into cmd.exe"
# cmd.exe hands "*.png" to the program as written; the program matches it itself.
names_dir="$work/bilder-äöü"
mkdir -p "$names_dir"
cp "$work/soft.png" "$names_dir/ünïcode-1.png"
cp "$work/soft.png" "$names_dir/plain-2.png"
cp "$work/photo.jpg" "$names_dir/photo.jpg"
(cd "$names_dir" && timeout -k 10 300 "$wine" cmd /c "$(winpath "$dist/glyphora-cli.exe") -q ico *.png --out-dir icons" \
    >"$work/cmd-out.txt" 2>&1) || fail "glyphora-cli.exe ico *.png in cmd.exe: $(tr -d '\r' <"$work/cmd-out.txt")"
made=$(cd "$names_dir/icons" 2>/dev/null && ls | sort | tr '\n' ' ')
if [ "$made" = "plain-2.ico ünïcode-1.ico " ] && icotool -l "$names_dir/icons/ünïcode-1.ico" >/dev/null 2>&1; then
    echo "   *.png gave: $made"
else
    fail "ico *.png --out-dir icons made '$made', not plain-2.ico and ünïcode-1.ico"
fi
cli_exe -q lint "$(winpath "$names_dir")\\icons\\*-?.ico" >"$work/lint-wild.txt" || true
[ "$(grep -c 'missing-dpi-size' "$work/lint-wild.txt")" -eq 2 ] \
    || fail "lint icons\\*-?.ico: $(cat "$work/lint-wild.txt")"
if cli_exe -q ico "$(winpath "$names_dir")\\nothing*.png" --out-dir "$(winpath "$names_dir")\\none"; then
    fail "ico of a pattern that matches nothing succeeded"
elif ! grep -q 'nothing\*\.png' "$work/wine-stderr.txt"; then
    fail "ico of a pattern that matches nothing: $(cat "$work/wine-stderr.txt")"
fi

echo "== glyphora.exe"
# The window's controls are clicked at their places in its first-run size (986 x 513);
# the dialogs are wine's, found by their titles.
wait_window() {
    local name=$1 found=
    for _ in $(seq 1 "${2:-30}"); do
        found=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -n 1 || true)
        [ -n "$found" ] && break
        sleep 1
    done
    echo "$found"
}
type_into_dialog() {
    # the name field has the focus and may hold a proposed name
    xdotool key End shift+Home BackSpace
    xdotool type --delay 15 "$1"
    xdotool key Return
}
if [ -z "${DISPLAY:-}" ]; then
    echo "   no display: the window is not checked (run under xvfb-run)"
else
    # The program logs to stderr, where its library listing says how many groups it found.
    "$wine" "$dist/glyphora.exe" >"$work/gui.log" 2>&1 &
    gui=$!
    window=$(wait_window 'Glyphora$' 60)
    if [ -z "$window" ]; then
        fail "the main window did not appear within 60 s"
        cat "$work/gui.log"
    else
        sleep 2 # the first paint
        echo "   window \"$(xdotool getwindowname "$window")\", $(xdotool getwindowgeometry "$window" | tail -n 1 | sed 's/^ *//')"

        # Create tab: "Open Image" in the middle of the drop frame, then "Create Ico File"
        # below the preview.
        xdotool mousemove --window "$window" 493 256 click 1
        dialog=$(wait_window 'Add Image Files')
        if [ -z "$dialog" ]; then
            fail "the Create tab's open dialog did not appear"
        else
            type_into_dialog "$(winpath "$work/soft.png")"
            sleep 3
            xdotool mousemove --window "$window" 492 441 click 1
            dialog=$(wait_window 'Create Icon File')
            if [ -z "$dialog" ]; then
                fail "\"Create Ico File\" showed no save dialog"
            else
                type_into_dialog "$(winpath "$work/from-gui.ico")"
                for _ in $(seq 1 20); do
                    [ -s "$work/from-gui.ico" ] && break
                    sleep 1
                done
                sleep 1
                xdotool key Return # the success box
                if [ ! -s "$work/from-gui.ico" ]; then
                    fail "\"Create Ico File\" wrote no icon"
                else
                    entries "$work/from-gui.ico" "$work/gui.windows"
                    echo "   \"Create Ico File\": $(icotool -l "$work/from-gui.ico" 2>/dev/null | wc -l) entries"
                    compare_icons "$work/soft.png.linux" "$work/gui.windows" 0 0.1 \
                        || fail "the GUI's icon differs from the Linux program's"
                fi
            fi
        fi

        # Extract tab: its first listing, through LoadLibraryExW and EnumResourceNamesW.
        xdotool mousemove --window "$window" 135 50 click 1
        listed=
        for _ in $(seq 1 60); do
            listed=$(tr -d '\r' <"$work/gui.log" | grep -a -m 1 '^Listed .* icons from .*shell32.dll' || true)
            [ -n "$listed" ] && break
            sleep 1
        done
        expected=$(wrestool -l --type=14 "$library" 2>/dev/null | grep -c -- "--name=[0-9]" || true)
        if [ -z "$listed" ]; then
            fail "the Extract tab listed no shell32.dll within 60 s"
        elif [ "$(echo "$listed" | awk '{print $2}')" != "$expected" ]; then
            fail "the Extract tab: \"$listed\", wrestool finds $expected icon groups"
        else
            echo "   Extract tab: \"$listed\", as many as wrestool's groups"
        fi
        sleep 2 # the list paints
        import -window root "$out_dir/windows-build.png"
        echo "   screenshot: $out_dir/windows-build.png"

        # closed as a user closes it, so that the close handler stores the geometry
        "$wine" taskkill /im glyphora.exe >/dev/null 2>&1 || true
        for _ in $(seq 1 30); do
            kill -0 "$gui" 2>/dev/null || break
            sleep 1
        done
        if kill -0 "$gui" 2>/dev/null; then
            fail "glyphora.exe did not end when asked to close"
            "$wine" taskkill /f /im glyphora.exe >/dev/null 2>&1 || true
        fi
        if "$wine" reg query 'HKCU\Software\Vantrel\Orvasto' 2>/dev/null | tr -d '\r' >"$work/geometry.txt" \
                && grep -q width "$work/geometry.txt"; then
            echo "   geometry in the registry: $(grep -E 'pos|width|height' "$work/geometry.txt" | awk '{print $1 "=" $3}' | tr '\n' ' ')"
        else
            fail "the window geometry is not in the registry"
        fi
    fi
    wait "$gui" 2>/dev/null || true
fi

[ "$status" -eq 0 ] && echo "PASSED" || echo "FAILED"
exit "$status"
