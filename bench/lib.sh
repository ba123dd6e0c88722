# Shared by the bench scripts: source it after setting `runs`.

# Median wall time of `runs` runs of the command, in milliseconds; output is dropped and a
# failure stops the benchmark. A script that must tidy up between runs (a command that
# never overwrites its output file) defines before_run.
median_ms() {
    local times=() start end i
    for ((i = 0; i < runs; i++)); do
        if declare -F before_run >/dev/null; then before_run; fi
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
        end=$(date +%s%N)
        times+=($(((end - start) / 1000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { printf "%.1f", t[int((NR + 1) / 2)] / 1000 }'
}
