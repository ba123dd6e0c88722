#!/usr/bin/env bash
# Times the chart command (`kestrix F font 3 1 out.svg chart`) on large real fonts beside
# loading alone (`F font pop`), and reports the cells drawn, the glyph outlines defined,
# the file size and the time per cell, which stays flat when the cost is linear in the
# glyphs drawn. Times are the median of RUNS runs, in milliseconds.
#
#   bench/chart.sh                 # uses build/src/kestrix
#   KESTRIX=path RUNS=9 bench/chart.sh [FONT...]
#
# Without fonts it takes fonts/Vera.ttf, unifont_sample.ttf (fonts-unifont: 63,486 codes
# mapped, bitmap glyphs without outlines) and DroidSansFallbackFull.ttf
# (fonts-droid-fallback: 28,596 codes, 23,000 outlines). Goal: unifont under a second.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kestrix=${KESTRIX:-$root/build/src/kestrix}
runs=${RUNS:-5}
[ -x "$kestrix" ] || { echo "no kestrix at $kestrix (build first)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fonts=("$@")
if [ ${#fonts[@]} -eq 0 ]; then
    fonts=("$root/fonts/Vera.ttf")
    for name in unifont_sample.ttf DroidSansFallbackFull.ttf; do
        found=$(find /usr/share/fonts -name "$name" -print -quit 2>/dev/null || true)
        if [ -n "$found" ]; then fonts+=("$found"); else echo "skip: $name not installed" >&2; fi
    done
fi

. "$root/bench/lib.sh"
# The command never overwrites its output: remove it before each run.
before_run() { rm -f "$work/chart.svg"; }

printf '%-28s %8s %9s %7s %8s %8s %10s\n' font "load ms" "chart ms" cells outlines "size MB" "us/cell"
for f in "${fonts[@]}"; do
    load=$(median_ms "$kestrix" "$f" font pop)
    chart=$(median_ms "$kestrix" "$f" font 3 1 "$work/chart.svg" chart)
    cells=$(grep -c '^<svg x=' "$work/chart.svg" || true)
    outlines=$(grep -c '^<path id=' "$work/chart.svg" || true)
    size=$(stat -c %s "$work/chart.svg" | awk '{ printf "%.1f", $1 / 1048576 }')
    per=$(awk -v t="$chart" -v l="$load" -v c="$cells" 'BEGIN { printf "%.2f", (c > 0 ? (t - l) * 1000 / c : 0) }')
    printf '%-28s %8s %9s %7s %8s %8s %10s\n' "$(basename "$f")" "$load" "$chart" "$cells" "$outlines" "$size" "$per"
done
