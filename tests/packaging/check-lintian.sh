#!/bin/sh
# lintian finds no error and no warning in the package.   check-lintian.sh OUT
set -eu
. "$(dirname "$0")/lib.sh"
need lintian
deb=$(find "$1" -maxdepth 1 -name '*.deb' | head -n 1)
[ -n "$deb" ] || fail "no package in $1 (did Packaging.Deb.Build fail?)"
status=0
# lintian warns about being run as root on stderr; that is about us, not the package.
lintian --display-info "$deb" >"$scratch/lintian" 2>"$scratch/lintian.err" || status=$?
cat "$scratch/lintian"
grep -v 'running with root privileges is not recommended' "$scratch/lintian.err" >&2 || true
if grep -q '^[EW]:' "$scratch/lintian"; then
  fail "lintian reports errors or warnings"
fi
[ "$status" -eq 0 ] || fail "lintian ended with status $status"
