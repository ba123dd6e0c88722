#!/usr/bin/env bash
# Times brindle on big tables, the median of several runs each.
#
#   bench/brindle.sh [path/to/brindle] [runs]     (defaults: build/src/brindle/brindle, 5)
#
# 1. DejaVuSans: its Unicode and Macintosh cmaps as the large table (6,145 codes), its
#    glyph order plus 11,836 names that only synonyms resolve as the small table, and
#    11,936 synonym rows (the tables of tests/brindle/big_table_check.py);
# 2. 100,000 codes named u<hex> (about as many as Unicode assigns outside the private
#    use areas), the small table asking for them in reverse order plus 20,000 names
#    found through as many synonym rows.
# Each must finish in under a second.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
brindle=${1:-$here/../build/src/brindle/brindle}
runs=${2:-5}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/dejavu" "$work/synthetic"
/usr/bin/python3 "$here/../tests/brindle/big_table_check.py" --write "$work/dejavu"
awk -v dir="$work/synthetic" 'BEGIN {
    n = 100000
    for (i = 0; i < n; ++i) printf "%x u%x\n", i + 32, i + 32 > (dir "/large.cod")
    for (i = n - 1; i >= 0; --i) printf "0 u%x\n", i + 32 > (dir "/small.cod")
    for (i = 0; i < n / 5; ++i) {
        printf "0 alias%d\n", i > (dir "/small.cod")
        printf "alias%d nothere%d u%x 0x%x\n", i, i, 2 * i + 32, i > (dir "/syn.txt")
    }
}'

status=0
bench() {  # label, directory of large.cod, small.cod and syn.txt
    local label=$1 dir=$2 times=() i start end
    for ((i = 0; i < runs; ++i)); do
        start=$(date +%s.%N)
        if ! "$brindle" "$dir/large.cod" "$dir/small.cod" "$dir/syn.txt" > "$work/out" 2> "$work/err"; then
            echo "$label: brindle failed:" >&2
            sed 's/^/  /' "$work/err" >&2
            status=1
            return
        fi
        end=$(date +%s.%N)
        times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')")
    done
    local median
    median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }')
    printf '%-44s %7.3f s  median of %d  (%d output lines)\n' "$label" "$median" "$runs" \
        "$(wc -l < "$work/out")"
    if awk -v s="$median" 'BEGIN { exit !(s >= 1) }'; then
        echo "  too slow: must finish in under a second" >&2
        status=1
    fi
}

bench "DejaVuSans: 6,145 codes, 11,936 rows" "$work/dejavu"
bench "synthetic: 100,000 codes, 20,000 rows" "$work/synthetic"
exit $status
