#!/usr/bin/env bash
# Both manual pages render without a single groff warning, and man shows them.
#   check_manpages.sh SOURCE_DIR
set -u
source_dir=$1
status=0
for page in "$source_dir"/man/kestrix.1 "$source_dir"/man/brindle.1; do
  warnings=$(groff -man -ww -z "$page" 2>&1)
  if [ $? -ne 0 ] || [ -n "$warnings" ]; then
    echo "groff -man -ww -z $page is not silent:"
    echo "$warnings"
    status=1
  fi
  rendered=$(MANWIDTH=80 MANPAGER=cat PAGER=cat man -l "$page" 2>"${TMPDIR:-/tmp}/man-err.$$")
  errors=$(cat "${TMPDIR:-/tmp}/man-err.$$"); rm -f "${TMPDIR:-/tmp}/man-err.$$"
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
