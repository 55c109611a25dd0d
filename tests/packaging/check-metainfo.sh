#!/bin/sh
# The AppStream metadata passes appstreamcli's strict validation: no errors, warnings or infos,
# only pedantic remarks (our id has upper-case letters by design).   check-metainfo.sh ROOT
set -eu
. "$(dirname "$0")/lib.sh"
need appstreamcli
file=$1/usr/share/metainfo/io.github.kronolab.Kronolab.metainfo.xml
[ -f "$file" ] || fail "$file is not installed"
status=0
appstreamcli validate --no-net --pedantic --strict "$file" || status=$?
[ "$status" -eq 0 ] || fail "appstreamcli validate ended with status $status"
