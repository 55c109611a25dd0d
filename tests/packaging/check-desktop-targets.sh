#!/bin/sh
# What the desktop entry names is installed beside it: the program of Exec= in bin/ and the
# icon of Icon= in every size of the icon theme.   check-desktop-targets.sh ROOT
set -eu
. "$(dirname "$0")/lib.sh"
root=$1
entry=$root/usr/share/applications/io.github.kronolab.Kronolab.desktop
[ -f "$entry" ] || fail "$entry is not installed"
program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
icon=$(sed -n 's/^Icon=//p' "$entry")
[ -x "$root/usr/bin/$program" ] || fail "Exec=$program, but usr/bin/$program is not installed"
for size in 16 22 24 32 48 64 128 256; do
  png=$root/usr/share/icons/hicolor/${size}x$size/apps/$icon.png
  [ -f "$png" ] || fail "Icon=$icon, but $png is not installed"
done
# The metadata's launchable must be this very entry.
grep -q "<launchable type=\"desktop-id\">$(basename "$entry")</launchable>" \
  "$root/usr/share/metainfo/io.github.kronolab.Kronolab.metainfo.xml" ||
  fail "the metainfo does not launch $(basename "$entry")"
echo "Exec=$program and Icon=$icon are installed"
