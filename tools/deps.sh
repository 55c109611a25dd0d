#!/usr/bin/env bash
# Installs, as root, whatever Debian 12 packages Kronolab needs and the machine lacks: the
# tool chain and Qt, and for the tests an X server (Xvfb), a window manager (openbox), a
# notification area (trayer), and xdotool and wmctrl to drive them; and the German locale,
# under which the normal build's tests run as our users do.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-translations-l10n
  tzdata fonts-dejavu-core
  dpkg-dev file
  appstream desktop-file-utils lintian man-db groff-base systemd
  dbus locales
  xvfb xauth openbox trayer xdotool wmctrl x11-utils
)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
# localedef rather than locale-gen: it builds just this one locale, and does so whether or not
# /etc/locale.gen lists it.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
