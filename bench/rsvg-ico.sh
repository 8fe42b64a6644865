#!/bin/sh
# rsvg-ico.sh IN.svg OUT.ico: the SVG drawn by rsvg-convert at each size, joined by icotool.
set -e
in=$1
out=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for s in 16 24 32 48 64 128 256; do
    rsvg-convert -w $s -h $s "$in" -o "$tmp/$s.png"
done
icotool -c -o "$out" "$tmp/16.png" "$tmp/24.png" "$tmp/32.png" "$tmp/48.png" "$tmp/64.png" \
    "$tmp/128.png" -r "$tmp/256.png"
