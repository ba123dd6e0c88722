#!/usr/bin/env bash
# Times the chart command on large real fonts, as one SVG (`kestrix F font 3 1 out.svg
# chart`) and as the HTML atlas (`... out.html chart`), beside loading alone (`F font
# pop`). For each it reports the cells drawn, the glyph outlines defined, the write time,
# the file size, the time per cell (flat when the cost is linear in the glyphs drawn) and
# the first paint: how long headless Chromium takes to load the file and paint its first
# screen (a 1200x900 screenshot), less the time it takes for a blank page. Times are the
# median of RUNS runs (PAINT_RUNS for Chromium), in milliseconds.
#
#   bench/chart.sh                 # uses build/src/kestrix
#   KESTRIX=path RUNS=9 PAINT_RUNS=3 bench/chart.sh [FONT...]
#
# Without fonts it takes fonts/Vera.ttf, DejaVuSans.ttf (fonts-dejavu-core: 5,918 codes
# in 3.10), DroidSansFallbackFull.ttf (fonts-droid-fallback: 28,596 codes, 23,000
# outlines) and unifont.otf (fonts-unifont: 57,000 codes, CFF outlines), charting 3.10
# when the font has it, else 3.1. Goal: the atlas of DroidSansFallbackFull painted in
# under a second.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kestrix=${KESTRIX:-$root/build/src/kestrix}
runs=${RUNS:-5}
paint_runs=${PAINT_RUNS:-3}
[ -x "$kestrix" ] || { echo "no kestrix at $kestrix (build first)" >&2; exit 1; }
browser=$(command -v chromium || command -v chromium-browser || true)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fonts=("$@")
if [ ${#fonts[@]} -eq 0 ]; then
    fonts=("$root/fonts/Vera.ttf")
    for name in DejaVuSans.ttf DroidSansFallbackFull.ttf unifont.otf; do
        found=$(find /usr/share/fonts -name "$name" -print -quit 2>/dev/null || true)
        if [ -n "$found" ]; then fonts+=("$found"); else echo "skip: $name not installed" >&2; fi
    done
fi

. "$root/bench/lib.sh"
# The command never overwrites its output: remove it before each run.
before_run() { rm -f "$work"/chart.*; }

# Median ms of a headless Chromium screenshot of the file (run in a subshell: runs stays).
screenshot_ms() {
    runs=$paint_runs
    median_ms "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars \
        --force-device-scale-factor=1 --user-data-dir="$work/profile" --window-size=1200,900 \
        --screenshot="$work/shot.png" "file://$1"
}

blank=0
if [ -n "$browser" ]; then
    echo '<!DOCTYPE html><title>blank</title>' >"$work/blank.html"
    blank=$(screenshot_ms "$work/blank.html")
    echo "blank page: $blank ms (taken off each first paint)"
else
    echo "chromium not installed: no first paint" >&2
fi

# The 3.10 subtable when the font has one: it holds the codes above U+FFFF.
encoding_of() {
    if "$kestrix" "$1" font 3 10 0 0 - chartrange >/dev/null 2>&1; then echo 10; else echo 1; fi
}

printf '%-28s %-4s %4s %8s %9s %7s %8s %8s %8s %10s\n' font file enc "load ms" "write ms" cells \
    outlines "size MB" "us/cell" "paint ms"
for f in "${fonts[@]}"; do
    enc=$(encoding_of "$f")
    load=$(median_ms "$kestrix" "$f" font pop)
    for ext in svg html; do
        out="$work/chart.$ext"
        chart=$(median_ms "$kestrix" "$f" font 3 "$enc" "$out" chart)
        cells=$(grep -o '<svg x=' "$out" | wc -l)
        outlines=$(grep -o '<path id=' "$out" | wc -l)
        size=$(stat -c %s "$out" | awk '{ printf "%.1f", $1 / 1048576 }')
        per=$(awk -v t="$chart" -v l="$load" -v c="$cells" 'BEGIN { printf "%.2f", (c > 0 ? (t - l) * 1000 / c : 0) }')
        paint=-
        if [ -n "$browser" ]; then
            cp "$out" "$work/shown.$ext"
            shot=$(screenshot_ms "$work/shown.$ext")
            paint=$(awk -v s="$shot" -v b="$blank" 'BEGIN { printf "%.0f", s - b }')
        fi
        printf '%-28s %-4s %4s %8s %9s %7s %8s %8s %8s %10s\n' "$(basename "$f")" "$ext" "3.$enc" \
            "$load" "$chart" "$cells" "$outlines" "$size" "$per" "$paint"
    done
done
