#!/bin/sh
# The package's control data: its name and version, this machine's architecture, and the
# dependencies dpkg-shlibdeps found (the Qt libraries) beside those named by hand.
#   check-deb-control.sh OUT VERSION
set -eu
. "$(dirname "$0")/lib.sh"
need dpkg-deb dpkg
deb=$(find "$1" -maxdepth 1 -name '*.deb' | head -n 1)
[ -n "$deb" ] || fail "no package in $1 (did Packaging.Deb.Build fail?)"
version=$2
field() { dpkg-deb -f "$deb" "$1"; }
dpkg-deb -I "$deb"
[ "$(field Package)" = kronolab ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] ||
  fail "Architecture: $(field Architecture)"
depends=$(field Depends)
for package in libqt6core6 libqt6gui6 libqt6widgets6 libc6 qt6-qpa-plugins; do
  echo "$depends" | grep -Eq "(^|, )$package( |,|$)" || fail "Depends lacks $package: $depends"
done
[ "$(basename "$deb")" = "kronolab_${version}_$(dpkg --print-architecture).deb" ] ||
  fail "the package file is named $(basename "$deb")"
