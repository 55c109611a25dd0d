#!/bin/sh
# Installs the build below ROOT with prefix /usr, as the package does, for the checks of the
# installed files.   install-tree.sh BUILD_DIR ROOT
set -eu
build=$1 root=$2
rm -rf "$root"
DESTDIR=$root cmake --install "$build" --prefix /usr >"$root.log" 2>&1 || {
  cat "$root.log"
  exit 1
}
