#!/usr/bin/env bash
# Runs the transcripts of one tutorial example of README.md and checks that
# every command succeeds and prints what the README shows.
#
#   readme_example.sh [--print] NAME SOURCE_DIR KESTRIX BRINDLE
#
# An example is every ```console block that follows a line
# "<!-- example: NAME -->".  In a block, a line "$ command" is run with bash
# (standard error joined to standard output) and the lines after it, up to the
# next "$ " line, are its expected output.  Two forms stand for trimmed text:
# a line "..." matches any number of lines, and a line that ends in "..."
# matches one line that starts with the text before the dots.
#
# Commands run on a pseudo-terminal in a fresh directory "out" next to links
# to the clone's fonts/ and examples/, with the two programs first on PATH, so
# that the README's "mkdir -p out && cd out" set-up and its ../fonts paths
# hold.  With --print the commands are run and their real output is printed
# in README form instead of being checked.
set -u

print_only=0
if [ "${1:-}" = "--print" ]; then
  print_only=1
  shift
fi
if [ $# -ne 4 ]; then
  echo "usage: $0 [--print] NAME SOURCE_DIR KESTRIX BRINDLE" >&2
  exit 2
fi
name=$1 source_dir=$(readlink -f "$2") kestrix=$(readlink -f "$3") brindle=$(readlink -f "$4")
readme=$source_dir/README.md

if ! command -v script >/dev/null; then
  echo "script (util-linux) is needed to run the examples on a pseudo-terminal" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrix-docs.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
ln -s "$source_dir/fonts" "$work/fonts"
ln -s "$source_dir/examples" "$work/examples"
mkdir "$work/out" "$work/bin"
ln -s "$kestrix" "$work/bin/kestrix"
ln -s "$brindle" "$work/bin/brindle"

# Splits the example's blocks into numbered command and expected-output files.
awk -v name="$name" -v dir="$work" '
  $0 == "<!-- example: " name " -->" { want = 1; next }
  want && /^```console$/ { inblock = 1; want = 0; next }
  inblock && /^```$/ { inblock = 0; next }
  inblock && /^\$ / {
    if (n) { close(dir "/cmd." n); close(dir "/expected." n) }
    n++
    printf "%s\n", substr($0, 3) > (dir "/cmd." n)
    printf "" > (dir "/expected." n)
    next
  }
  inblock && n { print > (dir "/expected." n) }
  END { print n + 0 > (dir "/count") }
' "$readme"
count=$(cat "$work/count")
if [ "$count" -eq 0 ]; then
  echo "README.md has no commands for example \"$name\"" >&2
  exit 1
fi

# Compares expected (first file) with actual (second file) line by line,
# honouring the two trimming forms.  Prints the first difference it can
# explain and exits 1 when they do not match.
match_lines() {
  awk '
    FNR == NR { e[++m] = $0; next }
    { a[++n] = $0 }
    function line_ok(x, y,    p) {
      if (length(x) > 3 && substr(x, length(x) - 2) == "...") {
        p = substr(x, 1, length(x) - 3)
        return substr(y, 1, length(p)) == p
      }
      return x == y
    }
    # ok[i, j]: expected lines i.. match actual lines j..
    END {
      for (j = n + 1; j >= 1; j--) ok[m + 1, j] = (j == n + 1)
      for (i = m; i >= 1; i--) {
        for (j = n + 1; j >= 1; j--) {
          if (e[i] == "...")
            ok[i, j] = ok[i + 1, j] || (j <= n && ok[i, j + 1])
          else
            ok[i, j] = j <= n && line_ok(e[i], a[j]) && ok[i + 1, j + 1]
        }
      }
      if (ok[1, 1]) exit 0
      # Walk forward while lines agree to point at the first difference.
      i = 1; j = 1
      while (i <= m && j <= n) {
        if (e[i] == "...") {
          while (j <= n && !ok[i + 1, j]) j++
          if (j > n) break
          i++
        } else if (line_ok(e[i], a[j])) { i++; j++ }
        else break
      }
      printf "first difference at expected line %d, actual line %d\n", i, j
      printf "  expected: %s\n", (i <= m ? e[i] : "(end of output)")
      printf "  actual:   %s\n", (j <= n ? a[j] : "(end of output)")
      exit 1
    }
  ' "$1" "$2"
}

status=0
for i in $(seq 1 "$count"); do
  cmd=$(cat "$work/cmd.$i")
  # A pseudo-terminal gives the programs the line buffering of a console, so
  # standard output and standard error interleave as a reader sees them.
  (cd "$work/out" && PATH="$work/bin:$PATH" LC_ALL=C \
    script -qec "bash $(printf '%q' "$work/cmd.$i")" /dev/null </dev/null) \
    >"$work/raw.$i" 2>&1
  rc=$?
  tr -d '\r' <"$work/raw.$i" >"$work/actual.$i"
  if [ $print_only -eq 1 ]; then
    echo "\$ $cmd"
    cat "$work/actual.$i"
    [ $rc -eq 0 ] || echo "[exit status $rc]"
    continue
  fi
  if [ $rc -ne 0 ]; then
    echo "example \"$name\": \"$cmd\" failed with status $rc; its output:"
    cat "$work/actual.$i"
    status=1
    break
  fi
  if ! report=$(match_lines "$work/expected.$i" "$work/actual.$i"); then
    echo "example \"$name\": \"$cmd\" printed something else than README.md shows"
    echo "$report"
    echo "--- its whole output:"
    cat "$work/actual.$i"
    status=1
    break
  fi
done
exit $status
