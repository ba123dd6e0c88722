#!/usr/bin/env bash
# Times `kestrix FONT font OUT gen` against `cp FONT OUT` and against ots-sanitize writing
# its sanitised copy (`ots-sanitize FONT OUT`, when installed) on the largest fonts at
# hand; the goal is gen/ots at most 1.0. Also times loading alone (`FONT font pop`), so
# that the cost of writing shows apart from the cost of parsing. Times are microseconds
# per run, the median of RUNS runs.
#
#   bench/gen.sh                 # uses build/src/kestrix
#   KESTRIX=path RUNS=20 bench/gen.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kestrix=${KESTRIX:-$root/build/src/kestrix}
runs=${RUNS:-21}
fonts=(unifont_sample.ttf DroidSansFallbackFull.ttf ipag.ttf)

[ -x "$kestrix" ] || { echo "no kestrix at $kestrix (build first)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs the command RUNS times, removing the output before each run; prints the median
# time of one run in microseconds. Messages of the command are dropped; a failure stops
# the benchmark.
time_runs() {
    local start end i
    local -a times=()
    for ((i = 0; i < runs; i++)); do
        rm -f "$work/out"
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
        end=$(date +%s%N)
        times+=($(((end - start) / 1000)))
    done
    printf "%s\n" "${times[@]}" | sort -n | sed -n "$((runs / 2 + 1))p"
}

ots=$(command -v ots-sanitize || true)
printf "%-28s %9s %8s %8s %8s %8s %9s %10s %8s\n" font bytes cp_us load_us gen_us ots_us gen/cp write/cp gen/ots
for name in "${fonts[@]}"; do
    path=$(find /usr/share/fonts -name "$name" -print -quit)
    if [ -z "$path" ]; then
        echo "$name: not found under /usr/share/fonts" >&2
        continue
    fi
    size=$(stat -L -c %s "$path")
    cat "$path" >/dev/null  # warm the page cache for every contender alike
    cp_us=$(time_runs cp "$path" "$work/out")
    load_us=$(time_runs "$kestrix" "$path" font pop)
    gen_us=$(time_runs "$kestrix" "$path" font "$work/out" gen)
    ots_us=0
    [ -n "$ots" ] && ots_us=$(time_runs "$ots" "$path" "$work/out")
    awk -v n="$name" -v s="$size" -v c="$cp_us" -v l="$load_us" -v g="$gen_us" -v o="$ots_us" 'BEGIN {
        w = g - l; if (w < 0) w = 0
        printf "%-28s %9d %8d %8d %8d %8d %9.2f %10.2f %8s\n", n, s, c, l, g, o, g / c, w / c,
               (o > 0 ? sprintf("%.2f", g / o) : "-") }'
done
