#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite twice: a normal build
# and an AddressSanitizer + UndefinedBehaviorSanitizer build. Warnings are errors in both.
# Window tests run on real X servers (Xvfb with openbox, see tests/xdisplay.sh); no display
# of the machine's own is needed or used.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
jobs=$(nproc)
for variant in normal sanitize; do
  dir="build-test-$variant"
  sanitize=OFF
  [ "$variant" = sanitize ] && sanitize=ON
  echo "=== $variant build ($dir) ==="
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DKRONOLAB_WERROR=ON -DKRONOLAB_SANITIZE="$sanitize" -DKRONOLAB_BUILD_BENCH=ON
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
done
echo "All tests passed in both builds."
