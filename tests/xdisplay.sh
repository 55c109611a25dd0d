#!/usr/bin/env bash
# Runs one window test program on a real X server: Xvfb with the openbox window manager,
# Qt's platform xcb, so that key bindings, focus, stacking and modality are the real ones.
#
#   tests/xdisplay.sh PROGRAM [ARGS...]
#
# CTest runs every window test through this script (the test programs' CROSSCOMPILING_EMULATOR).
# Starting a server and its window manager takes about a second, too much for each of some
# hundred cases, so servers are kept in a small pool (folder KRONOLAB_X_POOL, by default one
# per user in TMPDIR): a test takes the first display that no other test holds (flock on the
# display's lock file, held until the test program ends), starting its server when there is
# none yet. Tests running in parallel thus each have a display of their own, one after the
# other reuse it, and a display nobody has used for KRONOLAB_X_IDLE seconds (default 30) ends
# by itself.
set -euo pipefail

pool=${KRONOLAB_X_POOL:-${TMPDIR:-/tmp}/kronolab-x-$(id -u)}
idle=${KRONOLAB_X_IDLE:-30}

# The keeper of one display: starts Xvfb and openbox, announces the display, and ends both once
# the display has been left unused for the idle time or the server has gone.
serve() {
  local slot=$1
  local base="$pool/$slot"
  rm -f "$base.display"
  exec {numfd}>"$base.number"
  Xvfb -displayfd "$numfd" -screen 0 1280x1024x24 -nolisten tcp -noreset &
  local xvfb=$!
  exec {numfd}>&-
  local display="" tries=0
  while [[ -z $display ]]; do
    display=$(cat "$base.number" 2>/dev/null || true)
    if ! kill -0 "$xvfb" 2>/dev/null || ((++tries > 2000)); then
      echo "Xvfb did not start" >&2
      exit 1
    fi
    [[ -n $display ]] || sleep 0.01
  done
  display=":${display//[^0-9]/}"
  # A window manager that fails at its start (seen once under heavy load) is started again.
  local wm="" attempt
  for attempt in 1 2 3; do
    DISPLAY=$display openbox --sm-disable &
    wm=$!
    tries=0
    until DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null |
      grep -q 'window id'; do
      if ! kill -0 "$wm" 2>/dev/null || ((++tries > 2000)); then
        kill "$wm" 2>/dev/null || true
        wm=""
        break
      fi
      sleep 0.01
    done
    [[ -n $wm ]] && break
  done
  if [[ -z $wm ]]; then
    echo "openbox did not start" >&2
    kill "$xvfb"
    exit 1
  fi
  echo "$display $xvfb $wm" >"$base.display"

  local last_used=$SECONDS
  exec {lockfd}>"$base.lock"
  while kill -0 "$xvfb" 2>/dev/null && kill -0 "$wm" 2>/dev/null; do
    sleep 1
    if flock -n "$lockfd"; then
      if ((SECONDS - last_used >= idle)); then
        # Still holding the lock: no test can take the display while it goes.
        rm -f "$base.display"
        break
      fi
      flock -u "$lockfd"
    else
      last_used=$SECONDS
    fi
  done
  rm -f "$base.display"
  kill "$wm" "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
}

if [[ ${1:-} == --serve ]]; then
  serve "$2"
  exit 0
fi

if (($# == 0)); then
  echo "usage: $0 PROGRAM [ARGS...]" >&2
  exit 2
fi

# Listing a program's cases opens no window and needs no server.
for arg; do
  if [[ $arg == --gtest_list_tests ]]; then
    QT_QPA_PLATFORM=offscreen exec "$@"
  fi
done

for tool in Xvfb openbox xprop flock; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing; tools/deps.sh installs it" >&2
    exit 1
  fi
done

mkdir -p "$pool"
slot=0
while :; do
  exec 9>"$pool/$slot.lock"
  flock -n 9 && break
  exec 9>&-
  slot=$((slot + 1))
done

# The display of this slot, started when it is not running.
alive() {
  local display xvfb wm
  [[ -f $pool/$slot.display ]] || return 1
  read -r display xvfb wm <"$pool/$slot.display" || return 1
  kill -0 "$xvfb" 2>/dev/null && kill -0 "$wm" 2>/dev/null
}
if ! alive; then
  rm -f "$pool/$slot.display"
  # Its own session and no descriptor of ours, so that it outlives this test and CTest does not
  # wait for it.
  setsid "$0" --serve "$slot" </dev/null >"$pool/$slot.log" 2>&1 9>&- &
  for ((i = 0; i < 3000; i++)); do
    alive && break
    sleep 0.01
  done
  if ! alive; then
    echo "$0: no X server could be started:" >&2
    cat "$pool/$slot.log" >&2
    exit 1
  fi
fi
read -r display _ <"$pool/$slot.display"

export DISPLAY=$display QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY XAUTHORITY
# The pointer waits in a corner, wherever the previous test left it, so that it lies over no
# window a test opens in the middle of the screen.
command -v xdotool >/dev/null && xdotool mousemove 1279 1023 2>/dev/null || true
# The lock (descriptor 9) stays with the test program until it ends.
exec "$@"
