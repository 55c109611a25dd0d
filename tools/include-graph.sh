#!/usr/bin/env bash
# Prints which source folders include which, with the number of include lines, and the ten
# largest files. The layer order itself is checked by the test Build.LayersHold
# (tests/CheckLayers.cmake).
# Usage: tools/include-graph.sh [SRC]   (SRC defaults to src/ of this checkout)
set -euo pipefail
src=${1:-"$(dirname "$0")/../src"}
cd "$src"

# A file's folder: its directory below src/, with the platform's per-system folders
# (platform/posix, platform/win) counted as platform.
folder_of() { local d; d=$(dirname "$1"); d=${d#./}; echo "${d%/posix}" | sed 's#/win$##'; }

edges=$(
  find . -name '*.h' -o -name '*.cpp' | sort | while read -r f; do
    from=$(folder_of "$f")
    { grep -hoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' "$f" || true; } |
      sed -E 's/.*"([^"]+)"/\1/' | while read -r inc; do
        [ -e "$inc" ] || continue
        to=$(folder_of "$inc")
        [ "$from" = "$to" ] || echo "$from -> $to"
      done
  done | sort | uniq -c | sort -k2,2 -k4,4
)
echo "Includes between folders (count, from -> to):"
echo "$edges"
echo
echo "Ten largest files (lines):"
find . -name '*.h' -o -name '*.cpp' | xargs wc -l | grep -v ' total$' | sort -rn | head -10
