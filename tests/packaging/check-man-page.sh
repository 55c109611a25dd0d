#!/bin/sh
# A manual page formats without a single groff or man warning, and man's index finds its
# one-line description (lintian checks both).   check-man-page.sh PAGE
set -eu
. "$(dirname "$0")/lib.sh"
need man lexgrog
page=$1
[ -f "$page" ] || fail "$page is not installed"
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
  man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null) || fail "man cannot format $page"
[ -z "$warnings" ] || fail "warnings in $page:
$warnings"
lexgrog "$page" >"$scratch/whatis" 2>&1 || fail "no whatis entry in $page: $(cat "$scratch/whatis")"
cat "$scratch/whatis"
