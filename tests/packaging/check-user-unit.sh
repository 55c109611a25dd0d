#!/bin/sh
# The systemd user unit passes systemd-analyze verify: its syntax, the program it starts and
# the manual pages it names. verify looks for ExecStart's program on this machine, so a copy
# of the unit points into ROOT, and the manual pages are looked up below ROOT.
#   check-user-unit.sh ROOT
set -eu
. "$(dirname "$0")/lib.sh"
need systemd-analyze man
root=$1
unit=$root/usr/lib/systemd/user/kronolab.service
[ -f "$unit" ] || fail "$unit is not installed"
grep -qx 'ExecStart=/usr/bin/kronolab-cli run' "$unit" ||
  fail "ExecStart does not start the installed /usr/bin/kronolab-cli run: $(grep ExecStart "$unit")"
mkdir -m 700 "$scratch/runtime"
sed "s|^ExecStart=/usr/|ExecStart=$root/usr/|" "$unit" >"$scratch/kronolab.service"
status=0
output=$(MANPATH=$root/usr/share/man XDG_RUNTIME_DIR=$scratch/runtime \
  systemd-analyze verify --user "$scratch/kronolab.service" 2>&1) || status=$?
[ -z "$output" ] || echo "$output"
[ "$status" -eq 0 ] || fail "systemd-analyze verify ended with status $status"
[ -z "$output" ] || fail "systemd-analyze verify has remarks"
echo "systemd-analyze verify: no remarks on kronolab.service"
