#!/usr/bin/env bash
# Runs each fuzz target for a bounded time and reports how many inputs it tried.
#
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
#
# BUILD_DIR is a build configured with clang and -DKESTRIX_FUZZ=ON. Each target starts
# from its seed corpus (BUILD_DIR/fuzz/seeds/TARGET) and keeps what it learns in
# BUILD_DIR/fuzz/corpus/TARGET, so later runs go on where earlier ones stopped. Inputs
# that crash, hang, leak or run out of memory land in BUILD_DIR/fuzz/artifacts/TARGET;
# keep each one under tests/regress/TARGET once the fault is fixed. The exit status is
# non-zero when any target found something. Inputs that merely took long (slow-unit-*,
# over ten seconds) are listed but do not count as findings.
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS [TARGET...]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
  targets=(load font script encode brindle container listname cmap name post kern os2 hmtx glyf gpos gsub cff)

failed=0
for t in "${targets[@]}"; do
  bin="$build/fuzz/fuzz_$t"
  seeds="$build/fuzz/seeds/$t"
  corpus="$build/fuzz/corpus/$t"
  artifacts="$build/fuzz/artifacts/$t"
  log="$build/fuzz/fuzz_$t.log"
  if [ ! -x "$bin" ]; then
    echo "fuzz $t: $bin is missing (build with -DKESTRIX_FUZZ=ON)" >&2
    failed=1
    continue
  fi
  mkdir -p "$corpus" "$artifacts"
  # -timeout: one input may take this many seconds; -rss_limit_mb: memory for the whole
  # process; -max_len: room for the largest sample font.
  "$bin" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=70000 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$seeds" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  found=$(find "$artifacts" -type f ! -name 'slow-unit-*' | wc -l)
  slow=$(find "$artifacts" -type f -name 'slow-unit-*' | wc -l)
  echo "fuzz $t: ${runs:-0} inputs in ${seconds}s, exit $status, $found finding(s), $slow slow input(s)"
  if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
    failed=1
    grep -E -A20 '^==[0-9]+==ERROR|SUMMARY|^ALARM|deadly signal|runtime error' "$log" | head -n 60
  fi
  find "$artifacts" -type f | sed 's/^/  artifact: /'
done
exit $failed
