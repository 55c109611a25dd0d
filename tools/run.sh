#!/usr/bin/env bash
# Installs what is missing, builds Kronolab and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKRONOLAB_BUILD_TESTS=OFF
cmake --build build -j "$(nproc)"
if [ -x build/src/kronolab ]; then
  exec build/src/kronolab "$@"
fi
echo "Kronolab's tray program is not built yet; the test suite shows what the engine does so far:"
exec build/src/cli/kronolab-cli --help 2>/dev/null || echo "(nothing to start yet)"
