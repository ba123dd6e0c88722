#!/usr/bin/env bash
# Times `afm` on fonts whose kerning is in GPOS (`kestrix F font 3 1 afm > /dev/null`)
# beside FontForge writing the AFM of the same font (`fontforge -lang=ff -c 'Open($1);
# Generate($2)'`), and, with OLD_KESTRIX set, beside an earlier kestrix that reads only the
# kern table. Times are the median of RUNS runs, in milliseconds.
#
#   bench/gpos.sh                        # uses build/src/kestrix
#   OLD_KESTRIX=/tmp/oldbuild/src/kestrix RUNS=9 bench/gpos.sh [FONT...]
#
# Without fonts it takes the corpus fonts with GPOS pair kerning (fonts-liberation2,
# fonts-freefont-ttf, fonts-dejavu-core) and, with python3 and fontTools, FreeSerif with
# its kern table removed (kerning in GPOS only).
# Goal: afm at most a tenth of FontForge's time, at most twice the earlier afm's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kestrix=${KESTRIX:-$root/build/src/kestrix}
old=${OLD_KESTRIX:-}
runs=${RUNS:-7}
[ -x "$kestrix" ] || { echo "no kestrix at $kestrix (build first)" >&2; exit 1; }
command -v fontforge >/dev/null || { echo "fontforge is needed (fontforge-nox)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fonts=("$@")
if [ ${#fonts[@]} -eq 0 ]; then
    for f in liberation2/LiberationSans-Regular.ttf liberation2/LiberationSerif-Regular.ttf \
             freefont/FreeSerif.ttf freefont/FreeSerifBold.ttf dejavu/DejaVuSans.ttf; do
        if [ -f "/usr/share/fonts/truetype/$f" ]; then fonts+=("/usr/share/fonts/truetype/$f");
        else echo "skip: $f not installed" >&2; fi
    done
    if [ -f /usr/share/fonts/truetype/freefont/FreeSerif.ttf ] &&
        /usr/bin/python3 -c "import fontTools" 2>/dev/null; then
        /usr/bin/python3 -c '
import sys
from fontTools.ttLib import TTFont
f = TTFont(sys.argv[1]); del f["kern"]; f.save(sys.argv[2])' \
            /usr/share/fonts/truetype/freefont/FreeSerif.ttf "$work/FreeSerif-GPOS-only.ttf"
        fonts+=("$work/FreeSerif-GPOS-only.ttf")
    fi
fi

. "$root/bench/lib.sh"
# The command never overwrites its output: remove it before each run.
before_run() { rm -f "$work/ff.afm"; }

printf '%-28s %7s %9s %9s %10s %8s %8s\n' font pairs "afm ms" "old ms" "ff ms" "afm/ff" "afm/old"
for f in "${fonts[@]}"; do
    afm=$(median_ms "$kestrix" "$f" font 3 1 afm)
    pairs=$("$kestrix" "$f" font 3 1 afm 2>/dev/null | grep -c '^KPX' || true)
    oldms=-
    [ -n "$old" ] && oldms=$(median_ms "$old" "$f" font 3 1 afm)
    ff=$(median_ms fontforge -lang=ff -c 'Open($1); Generate($2)' "$f" "$work/ff.afm")
    vs_ff=$(awk -v a="$afm" -v b="$ff" 'BEGIN { printf "%.3f", a / b }')
    vs_old=$(awk -v a="$afm" -v b="$oldms" 'BEGIN { if (b == "-") print "-"; else printf "%.2f", a / b }')
    printf '%-28s %7s %9s %9s %10s %8s %8s\n' "$(basename "$f")" "$pairs" "$afm" "$oldms" "$ff" "$vs_ff" "$vs_old"
done
