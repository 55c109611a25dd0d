#!/usr/bin/env bash
# Installs, as root, whatever Debian 12 packages Kronolab needs and the machine lacks: the
# tool chain and Qt, and for the tests an X server (Xvfb), a window manager (openbox), a
# notification area (trayer) and xdotool to drive them.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-translations-l10n
  tzdata fonts-dejavu-core
  dpkg-dev file
  appstream desktop-file-utils lintian man-db groff-base systemd
  dbus
  xvfb xauth openbox trayer xdotool x11-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
