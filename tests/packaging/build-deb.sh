#!/bin/sh
# Builds the Debian package from the build tree into OUT, as a user does with cpack; the
# checks of the package use it.   build-deb.sh BUILD_DIR OUT
set -eu
. "$(dirname "$0")/lib.sh"
need cpack dpkg-deb dpkg-shlibdeps file
build=$1 out=$2
rm -rf "$out"
mkdir -p "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log"
  fail "cpack -G DEB failed"
}
count=$(find "$out" -maxdepth 1 -name '*.deb' | wc -l)
[ "$count" -eq 1 ] || fail "cpack made $count packages instead of one"
find "$out" -maxdepth 1 -name '*.deb'
