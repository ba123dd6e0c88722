#!/usr/bin/env bash
# Every command of the interpreter's command table has its entry in the
# manual page and its row in the README's reference table, and every file in
# examples/ is used by a tutorial command of the README (so that the example
# tests run it).
#   check_commands_documented.sh SOURCE_DIR
set -u
source_dir=$1
status=0

commands=$(grep -o '{"[a-z]*", *[a-z]*_command}' "$source_dir/src/interp/interp.cpp" |
  sed 's/{"\([a-z]*\)".*/\1/' | sort -u)
count=$(wc -w <<<"$commands")
if [ "$count" -ne 25 ]; then
  echo "expected 25 commands in src/interp/interp.cpp, found $count: $commands"
  status=1
fi

for c in $commands; do
  # A command entry of the page is a .TP tag whose last bold word is the command.
  if ! grep -A1 '^\.TP' "$source_dir/man/kestrix.1" |
       grep -qE "^\.(B $c|IB .* \" $c\")\$"; then
    echo "man/kestrix.1 has no entry for the command \"$c\""
    status=1
  fi
  if ! grep -q "^| \`$c\` |" "$source_dir/README.md"; then
    echo "README.md's reference table has no row for the command \"$c\""
    status=1
  fi
done

# Commands of the README's tutorial blocks (the lines the example tests run).
tutorial=$(awk '
  /^<!-- example: .* -->$/ { want = 1; next }
  want && /^```console$/ { inblock = 1; want = 0; next }
  inblock && /^```$/ { inblock = 0; next }
  inblock && /^\$ / { print }
' "$source_dir/README.md")
for f in "$source_dir"/examples/*; do
  base=$(basename "$f")
  [ "$base" = CMakeLists.txt ] && continue
  if ! grep -q "examples/$base" <<<"$tutorial"; then
    echo "examples/$base is not used by any tutorial command of README.md"
    status=1
  fi
done
exit $status
