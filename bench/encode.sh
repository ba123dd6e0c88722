#!/usr/bin/env bash
# Times `encode` on encodings that give every glyph of a 63,489-glyph font its own code.
#
#   bench/encode.sh [path/to/kestrix]     (default: build/src/kestrix)
#
# 1. all 63,488 encodable glyphs: read, resolved and sorted in full; the subtable would
#    need more than 65,535 bytes, so encode refuses it and leaves the font as it was;
# 2. the first 32,751 glyphs, the most one run of codes fits in a format 4 subtable:
#    built and installed;
# 3. all 63,488 glyphs on codes 1 to 1,000, so that every code is given 63 or 64 times:
#    the order among equal codes decides which glyph a code keeps.
# The lines come in descending code order, the worst case for a naive sort.
# Each must finish in under a second; the times include loading the font.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
kestrix=${1:-$here/../build/src/kestrix}
font=$(find /usr/share/fonts -name unifont_sample.ttf -print -quit)
[ -n "$font" ] || { echo "unifont_sample.ttf not found under /usr/share/fonts" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/make_encoding.py" "$font" > "$work/all.enc"
python3 "$here/make_encoding.py" "$font" 32751 > "$work/fits.enc"
python3 "$here/make_encoding.py" "$font" 63488 1000 > "$work/dups.enc"

status=0
run() {  # label, expected exit status, kestrix arguments...
    local label=$1 want=$2
    shift 2
    local start end got=0
    start=$(date +%s.%N)
    "$kestrix" "$@" > /dev/null 2> "$work/err" || got=$?
    end=$(date +%s.%N)
    local secs
    secs=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
    printf '%-42s %6.3f s  (exit %d)\n' "$label" "$secs" "$got"
    if [ "$got" -ne "$want" ]; then
        echo "  unexpected exit status; stderr:" >&2
        sed 's/^/  /' "$work/err" >&2
        status=1
    fi
    if awk -v s="$secs" 'BEGIN { exit !(s >= 1) }'; then
        echo "  too slow: must finish in under a second" >&2
        status=1
    fi
}

run "load only" 0 "$font" font pop
run "encode all 63,488 glyphs (refused)" 255 "$font" font "$work/all.enc" 3 1 encode pop
run "encode 32,751 glyphs" 0 "$font" font "$work/fits.enc" 3 1 encode pop
run "encode 63,488 glyphs on 1,000 codes" 0 "$font" font "$work/dups.enc" 3 1 encode pop
exit $status
