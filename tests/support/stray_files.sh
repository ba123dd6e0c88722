#!/bin/sh
# Tests write only into temporary directories of their own. The first test of a run lists
# every file under the font directories and the source tree (build trees and .git left
# out); the last lists them again and fails, naming them, when files have appeared.
#
#   stray_files.sh before|after STATE_FILE SOURCE_DIR
set -u
[ $# -eq 3 ] || { echo "usage: $0 before|after STATE_FILE SOURCE_DIR" >&2; exit 2; }
step=$1 state=$2 source_dir=$3

list_files() {
  for dir in /usr/share/fonts /usr/local/share/fonts "${HOME:-/nonexistent}/.fonts" \
             "${HOME:-/nonexistent}/.local/share/fonts"; do
    [ -d "$dir" ] && find "$dir" -print 2>/dev/null
  done
  find "$source_dir" \( -path "$source_dir/.git" -o -path "$source_dir/build*" \) -prune \
    -o -print 2>/dev/null
}

case $step in
  before)
    list_files | LC_ALL=C sort >"$state" ;;
  after)
    [ -f "$state" ] || { echo "no list from before the run: $state" >&2; exit 2; }
    stray=$(list_files | LC_ALL=C sort | LC_ALL=C comm -13 "$state" -)
    if [ -n "$stray" ]; then
      echo "files left outside the tests' temporary directories:"
      echo "$stray"
      exit 1
    fi ;;
  *)
    echo "usage: $0 before|after STATE_FILE SOURCE_DIR" >&2; exit 2 ;;
esac
