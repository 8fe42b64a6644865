#!/usr/bin/env bash
# glyphora-cli lint against the Windows icon loader: every icon file that
# make-broken-icons.py writes to break one rule must get that rule from lint (exit 1), and
# the loader under wine must do to that entry what the rule says (refuse it, draw it
# blank or as a solid square, or squash it); the sound file lints without an error and
# the loader shows it.
#
#   run-wine-lint.sh GLYPHORA_CLI
#
# Exit status: 0 passed, 1 failed, 77 skipped (no mingw-w64 or no wine).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
cli=$1

source "$source_dir/tests/win32/wine-setup.sh"
[ -n "$cxx" ] || skip "mingw-w64 is not installed"
start_wine glyphora-lint

"$cxx" -std=c++17 -O1 -g0 -Wall -Wextra -static -municode "$source_dir/tests/win32/icondraw.cpp" \
    -luser32 -lgdi32 -o "$work/icondraw.exe"
/usr/bin/python3 "$source_dir/tests/win32/make-broken-icons.py" "$work/icons"

args=()
for ico in "$work"/icons/*.ico; do
    args+=("$(winpath "$ico")")
    status=0
    "$cli" -q lint --json "$ico" > "$ico.lint" || status=$?
    echo "$status" > "$ico.status"
done
timeout -k 10 300 "$wine" "$work/icondraw.exe" "${args[@]}" 2>"$work/wine-errors.txt" | tr -d '\r' \
    > "$work/loader.txt"

/usr/bin/python3 - "$work/icons" "$work/loader.txt" <<'PY'
import json, os, re, sys
icons, loader_file = sys.argv[1], sys.argv[2]
loader = {}
for line in open(loader_file):
    match = re.match(r"^(\S+) (\d+) file=(.*) data=(.*)$", line.rstrip("\n"))
    if match:
        name = match.group(1).replace("\\", "/").rsplit("/", 1)[1][:-len(".ico")]
        loader[(name, int(match.group(2)))] = (match.group(3), match.group(4))
failed = 0
for row in open(os.path.join(icons, "expected.txt")):
    name, rule, entry, expected = row.split()
    entry = int(entry)
    base = os.path.join(icons, name + ".ico")
    report = json.load(open(base + ".lint"))
    status = int(open(base + ".status").read())
    findings = report["files"][0]["findings"]
    errors = [f for f in findings if f["severity"] == "error"]
    got = loader.get((name, entry)) or loader.get((name, 1)) or loader.get((name, 0))
    verdicts = f"file {got[0]}, data {got[1]}" if got else "no line from the loader"
    problems = []
    if rule == "-":
        if status != 0 or errors:
            problems.append(f"lint found errors: {[f['rule'] for f in errors]}")
        if not got or not got[0].startswith("shown"):
            problems.append("the loader does not show it")
    else:
        hit = [f for f in errors if f["rule"] == rule and f.get("entry", 0) == entry]
        if status != 1 or not hit:
            problems.append(f"lint exit {status}, rules {[(f['rule'], f.get('entry', 0)) for f in findings]}")
        if expected == "squashed":
            if not got or not any(v.startswith(("shown", "solid")) and not v.endswith(" 32x32") for v in got):
                problems.append("the loader does not squash it")
        elif expected != "-" and (not got or expected not in [v.split(" ")[0] for v in got]):
            problems.append(f"the loader does not give '{expected}'")
    print(f"{'FAILED' if problems else 'ok    '} {name:16} {rule:14} loader: {verdicts}"
          + ("".join("\n         " + p for p in problems)))
    failed += bool(problems)
sys.exit(1 if failed else 0)
PY
status=$?
[ "$status" -eq 0 ] && echo "PASSED" || { echo "FAILED"; cat "$work/wine-errors.txt"; }
exit "$status"
