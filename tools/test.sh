#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite twice: a normal build
# and an AddressSanitizer + UndefinedBehaviorSanitizer build. Warnings are errors in both.
# Window tests run on real X servers (Xvfb with openbox, see tests/xdisplay.sh); no display
# of the machine's own is needed or used.
# Each build's tests run where some of our users live: the normal build's in a German locale
# (decimal comma) in Berlin, the sanitizer build's in the C locale in New York, so that a comma
# locale and two zones with daylight saving, on different dates, are always covered.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
jobs=$(nproc)
for variant in normal sanitize; do
  dir="build-test-$variant"
  sanitize=OFF
  lang=de_DE.UTF-8 zone=Europe/Berlin
  if [ "$variant" = sanitize ]; then
    sanitize=ON lang=C.UTF-8 zone=America/New_York
  fi
  echo "=== $variant build ($dir) ==="
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DKRONOLAB_WERROR=ON -DKRONOLAB_SANITIZE="$sanitize" -DKRONOLAB_BUILD_BENCH=ON
  cmake --build "$dir" -j "$jobs"
  echo "--- tests under LANG=$lang TZ=$zone ---"
  (
    # No LC_* of the caller's may override the locale chosen here.
    for v in $(compgen -e | grep -E '^(LC_[A-Z_]+|LANGUAGE)$' || true); do unset "$v"; done
    export LANG="$lang" TZ="$zone"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
  )
done
echo "All tests passed in both builds."
