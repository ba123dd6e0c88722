#!/usr/bin/env bash
# Times the afm command (`kestrix F font 3 1 afm > /dev/null`: all 65,536 codes mapped,
# one CH line per mapped code, a C -1 line per unencoded named glyph) on large real fonts,
# beside loading alone (`F font pop`), so that the cost of the AFM text shows apart from
# the cost of parsing. Times are the median of RUNS runs, in milliseconds.
#
#   bench/afm.sh                 # uses build/src/kestrix
#   KESTRIX=path RUNS=21 bench/afm.sh [FONT...]
#
# Without fonts it takes unifont_sample.ttf (fonts-unifont, 63,489 glyphs) and
# DroidSansFallbackFull.ttf (fonts-droid-fallback) from /usr/share/fonts, plus, when
# python3 with fontTools is at hand, fonts/Vera.ttf with its 3.1 subtable replaced by one
# of 32,767 one-code segments: the worst case of the format 4 segment search.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kestrix=${KESTRIX:-$root/build/src/kestrix}
runs=${RUNS:-9}
[ -x "$kestrix" ] || { echo "no kestrix at $kestrix (build first)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fonts=("$@")
if [ ${#fonts[@]} -eq 0 ]; then
    for name in unifont_sample.ttf DroidSansFallbackFull.ttf; do
        found=$(find /usr/share/fonts -name "$name" -print -quit 2>/dev/null || true)
        if [ -n "$found" ]; then fonts+=("$found"); else echo "skip: $name not installed" >&2; fi
    done
    if /usr/bin/python3 -c "import fontTools" 2>/dev/null; then
        /usr/bin/python3 - "$root/fonts/Vera.ttf" "$work/segments-32767.ttf" <<'PY'
import struct, sys
from fontTools.ttLib import TTFont
from fontTools.ttLib.tables.DefaultTable import DefaultTable
segments = [(2 * k, (1 + k % 200 - 2 * k) & 0xFFFF) for k in range(32766)] + [(0xFFFF, 1)]
n = len(segments)
body = b"".join(struct.pack(">H", code) for code, _ in segments) + b"\0\0"
body += b"".join(struct.pack(">H", code) for code, _ in segments)
body += b"".join(struct.pack(">H", delta) for _, delta in segments) + b"\0\0" * n
sub = struct.pack(">7H", 4, (14 + len(body)) & 0xFFFF, 0, 2 * n, 0, 0, 0) + body
font = TTFont(sys.argv[1])
cmap = DefaultTable("cmap")
cmap.data = struct.pack(">HHHHI", 0, 1, 3, 1, 12) + sub
font["cmap"] = cmap
font.save(sys.argv[2])
PY
        fonts+=("$work/segments-32767.ttf")
    fi
fi

. "$root/bench/lib.sh"

printf '%-28s %9s %9s %7s %8s\n' font "load ms" "afm ms" ratio lines
for f in "${fonts[@]}"; do
    load=$(median_ms "$kestrix" "$f" font pop)
    afm=$(median_ms "$kestrix" "$f" font 3 1 afm)
    lines=$("$kestrix" "$f" font 3 1 afm 2>/dev/null | wc -l)
    ratio=$(awk -v a="$afm" -v l="$load" 'BEGIN { printf "%.2f", (l > 0 ? a / l : 0) }')
    printf '%-28s %9s %9s %7s %8s\n' "$(basename "$f")" "$load" "$afm" "$ratio" "$lines"
done

# afm 3 10 through a format 12 subtable of tens of thousands of supplementary-plane codes:
# unifont_sample.ttf with a 3.10 subtable mapping every other code from U+20000 on, 50,000
# one-code groups. The walk goes group by group, not over the 0x110000 codes.
unifont=$(find /usr/share/fonts -name unifont_sample.ttf -print -quit 2>/dev/null || true)
if [ -n "$unifont" ] && /usr/bin/python3 -c "import fontTools" 2>/dev/null; then
    /usr/bin/python3 - "$unifont" "$work/supplementary.ttf" <<'PY'
import struct, sys
from fontTools.ttLib import TTFont
from fontTools.ttLib.tables.DefaultTable import DefaultTable
font = TTFont(sys.argv[1])
raw = font.reader["cmap"]
count = struct.unpack(">H", raw[2:4])[0]
groups = b"".join(struct.pack(">3I", 0x20000 + 2 * k, 0x20000 + 2 * k, 1 + k) for k in range(50000))
sub = struct.pack(">HHIII", 12, 0, 16 + len(groups), 0, 50000) + groups
# One more encoding record (3.10) ahead of the old ones, whose offsets move by 8 bytes.
records = b"".join(struct.pack(">HHI", *struct.unpack(">HHI", raw[4 + 8 * i : 12 + 8 * i])[:2],
                               struct.unpack(">I", raw[8 + 8 * i : 12 + 8 * i])[0] + 8)
                   for i in range(count))
old = raw[4 + 8 * count :]
cmap = DefaultTable("cmap")
cmap.data = (struct.pack(">HH", 0, count + 1) + records +
             struct.pack(">HHI", 3, 10, 4 + 8 * (count + 1) + len(old)) + old + sub)
font["cmap"] = cmap
font.save(sys.argv[2])
PY
    f="$work/supplementary.ttf"
    load=$(median_ms "$kestrix" "$f" font pop)
    afm=$(median_ms "$kestrix" "$f" font 3 10 afm)
    lines=$("$kestrix" "$f" font 3 10 afm 2>/dev/null | grep -c '^CH <[0-9a-f]\{5,\}>')
    ratio=$(awk -v a="$afm" -v l="$load" 'BEGIN { printf "%.2f", (l > 0 ? a / l : 0) }')
    printf '%-28s %9s %9s %7s %8s  (3.10; supplementary CH lines)\n' supplementary.ttf "$load" "$afm" "$ratio" "$lines"
fi
