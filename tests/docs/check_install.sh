#!/usr/bin/env bash
# "cmake --install" puts both programs, both manual pages and the examples
# under a prefix, and the installed pieces work from there.
#   check_install.sh CMAKE_COMMAND BUILD_DIR SOURCE_DIR
set -u
cmake=$1 build_dir=$2 source_dir=$3
prefix=$(mktemp -d "${TMPDIR:-/tmp}/kestrix-install.XXXXXX") || exit 2
trap 'rm -rf "$prefix"' EXIT

if ! log=$("$cmake" --install "$build_dir" --prefix "$prefix" 2>&1); then
  echo "cmake --install failed:"
  echo "$log"
  exit 1
fi

status=0
expect() {
  if [ ! -e "$prefix/$1" ]; then
    echo "not installed: $1"
    status=1
  fi
}
expect bin/kestrix
expect bin/brindle
expect share/man/man1/kestrix.1
expect share/man/man1/brindle.1
for f in "$source_dir"/examples/*; do
  base=$(basename "$f")
  [ "$base" = CMakeLists.txt ] && continue
  expect "share/kestrix/examples/$base"
  if [ -e "$prefix/share/kestrix/examples/$base" ] &&
     ! cmp -s "$f" "$prefix/share/kestrix/examples/$base"; then
    echo "installed share/kestrix/examples/$base differs from examples/$base"
    status=1
  fi
done
[ $status -eq 0 ] || exit 1

# The installed programs run, and man finds the installed pages by name.
if ! "$prefix/bin/kestrix" | grep -q '^kestrix: '; then
  echo "the installed kestrix does not print its banner"
  status=1
fi
"$prefix/bin/brindle" >/dev/null 2>&1
if [ $? -ne 255 ]; then
  echo "the installed brindle does not refuse a missing argument"
  status=1
fi
for page in kestrix brindle; do
  command -v man >/dev/null || break
  if ! MANWIDTH=80 MANPAGER=cat PAGER=cat man -M "$prefix/share/man" "$page" 2>/dev/null |
       grep -q "^NAME"; then
    echo "man -M $prefix/share/man $page does not find the installed page"
    status=1
  fi
done
exit $status
