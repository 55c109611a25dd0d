#!/bin/sh
# The desktop entry passes desktop-file-validate without a word.   check-desktop-entry.sh ROOT
set -eu
. "$(dirname "$0")/lib.sh"
need desktop-file-validate
entry=$1/usr/share/applications/io.github.kronolab.Kronolab.desktop
[ -f "$entry" ] || fail "$entry is not installed"
output=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $output"
[ -z "$output" ] || fail "desktop-file-validate: $output"
echo "desktop-file-validate: no remarks on $entry"
