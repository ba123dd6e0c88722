#!/usr/bin/env bash
# Both manual pages render without a single groff warning, and man shows them.
#   check_manpages.sh SOURCE_DIR
set -u
source_dir=$1
if ! command -v groff >/dev/null; then
  echo "SKIPPED: groff is not installed (apt-get install groff-base man-db)"
  exit 77
fi
have_man=0
command -v man >/dev/null && have_man=1
[ $have_man -eq 1 ] || echo "note: man is not installed, only groff checks the pages"

status=0
for page in "$source_dir"/man/kestrix.1 "$source_dir"/man/brindle.1; do
  warnings=$(groff -man -ww -z "$page" 2>&1)
  if [ $? -ne 0 ] || [ -n "$warnings" ]; then
    echo "groff -man -ww -z $page is not silent:"
    echo "$warnings"
    status=1
  fi
  [ $have_man -eq 1 ] || continue
  errors_file=$(mktemp)
  rendered=$(MANWIDTH=80 MANPAGER=cat PAGER=cat man -l "$page" 2>"$errors_file")
  errors=$(cat "$errors_file")
  rm -f "$errors_file"
  title=$(basename "$page" .1)
  if [ -n "$errors" ] || ! grep -q "^NAME" <<<"$rendered" ||
     ! grep -q "^       $title " <<<"$rendered"; then
    echo "man -l $page does not show the page:"
    echo "$errors"
    echo "$rendered" | head -n 20
    status=1
  fi
done
exit $status
