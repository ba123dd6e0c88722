#!/usr/bin/env bash
# Times the afm command on large real fonts: all 65,536 codes mapped, one CH line per
# mapped code, a C -1 line per unencoded named glyph. Beside it the load alone
# (font pop), so the ratio shows what writing the AFM text adds to loading the font.
#
# Usage: bench/afm.sh [path/to/kestrix] [font.ttf ...]
# Defaults: build/src/kestrix; unifont_sample.ttf (fonts-unifont) and
# DroidSansFallbackFull.ttf (fonts-droid-fallback) from /usr/share/fonts.
set -euo pipefail
cd "$(dirname "$0")/.."

kestrix=${1:-build/src/kestrix}
shift || true
fonts=("$@")
if [ "${#fonts[@]}" -eq 0 ]; then
  for name in unifont_sample.ttf DroidSansFallbackFull.ttf; do
    found=$(find /usr/share/fonts -name "$name" -print -quit 2>/dev/null || true)
    if [ -n "$found" ]; then fonts+=("$found"); else echo "skip: $name not installed" >&2; fi
  done
fi
[ -x "$kestrix" ] || { echo "no kestrix at $kestrix (build first)" >&2; exit 1; }

runs=5

# Best wall-clock time of $runs runs of the command, in seconds.
best_of() {
  local best="" start end t
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  printf '%.3f' "$best"
}

printf '%-28s %10s %10s %8s %8s\n' font "load s" "afm s" ratio lines
for f in "${fonts[@]}"; do
  load=$(best_of "$kestrix" "$f" font pop)
  afm=$(best_of "$kestrix" "$f" font 3 1 afm)
  lines=$("$kestrix" "$f" font 3 1 afm 2>/dev/null | wc -l)
  ratio=$(awk -v a="$afm" -v l="$load" 'BEGIN { print (l > 0 ? a / l : 0) }')
  printf '%-28s %10s %10s %8.2f %8s\n' "$(basename "$f")" "$load" "$afm" "$ratio" "$lines"
done
