#!/usr/bin/env bash
# Compares the module loader's view of wine's libraries (NAME.loader.txt, left in DIR by
# run-wine-tests.sh together with a copy of the library NAME) with what the program's
# own PE reader finds in the same files (written by DUMPER, see peresourcedump.cpp).
# Both must list the same RT_GROUP_ICON names and payloads in the same order and the
# same RT_ICON IDs and payloads.
#
#   compare-icon-dumps.sh DUMPER DIR
#
# Exit status: 0 same, 1 different, 77 skipped (no loader dumps, i.e. no wine run).
set -euo pipefail
dumper=$1
dir=$2

shopt -s nullglob
dumps=("$dir"/*.loader.txt)
if [ ${#dumps[@]} -eq 0 ]; then
    echo "SKIPPED: no loader dumps in $dir (the wine run did not take place)"
    exit 77
fi

# One line per resource without its payload: kind, name, size, and a checksum.
summary() {
    while read -r kind name size payload; do
        if [ "$kind" = glyphora-icon-dump ]; then
            echo "$kind $name"
        else
            echo "$kind $name $size $(printf %s "$payload" | cksum | cut -d' ' -f1)"
        fi
    done <"$1"
}

failed=0
for loader in "${dumps[@]}"; do
    library=${loader%.loader.txt}
    reader=$library.reader.txt
    name=$(basename "$library")
    if ! "$dumper" "$library" "$reader"; then
        echo "FAIL $name: the PE reader could not read it"
        failed=1
        continue
    fi
    if cmp -s "$loader" "$reader"; then
        echo "same $name: $(grep -c '^group ' "$loader") groups, $(grep -c '^icon ' "$loader") icons"
    else
        echo "FAIL $name: the PE reader and the loader differ (- loader, + reader):"
        diff <(summary "$loader") <(summary "$reader") | head -n 40 || true
        failed=1
    fi
done
exit $failed
