# Shared by the packaging checks: each is a separate test, so that a failure names what broke.
# A check whose tool is not installed is skipped (exit 77), not failed: tools/deps.sh installs
# them, but a build without them must still pass.

# need TOOL...: skip unless every tool is on the PATH.
need() {
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIPPED: $tool is not installed (tools/deps.sh installs it)"
      exit 77
    fi
  done
}

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# A temporary folder that goes away with the check.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kronolab-packaging.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
