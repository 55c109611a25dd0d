#!/usr/bin/env bash
# Installs what is missing, builds Kronolab and starts it: the tray program on a desktop,
# the scheduler without windows (kronolab-cli run) where there is no display.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKRONOLAB_BUILD_TESTS=OFF
cmake --build build -j "$(nproc)"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/src/app/kronolab "$@"
fi
echo "Keine grafische Anzeige gefunden (weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt):" >&2
echo "Kronolab läuft deshalb ohne Fenster als 'kronolab-cli run'; Strg+C beendet und speichert." >&2
exec build/src/cli/kronolab-cli run "$@"
