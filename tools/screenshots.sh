#!/usr/bin/env bash
# Takes screenshots of the tray program under Xvfb with openbox and trayer, for looking at
# them by eye: the tray icon at new moon, first quarter and full moon on a dark and on a light
# panel, the window shown without a notification area, and a message over the open editor.
#
#   tools/screenshots.sh [BUILD_DIR [OUT_DIR]]     (defaults: build-dbg, BUILD_DIR/screenshots)
#
# Needs a built tree (kronolab and kronolab_show_tray_moons) and ImageMagick's import and
# convert (apt-get install imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-dbg}
out=${2:-$build/screenshots}
mkdir -p "$out"
for tool in Xvfb openbox trayer xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

# Starts Xvfb and openbox; sets DISPLAY.
start_display() {
  local numfile
  numfile=$(mktemp)
  exec {fd}>"$numfile"
  Xvfb -displayfd "$fd" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  exec {fd}>&-
  until [[ -s $numfile ]]; do sleep 0.05; done
  export DISPLAY=":$(tr -dc 0-9 <"$numfile")"
  rm -f "$numfile"
  openbox --sm-disable >/dev/null 2>&1 &
  pids+=($!)
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do sleep 0.05; done
}

stop_display() {
  cleanup
  pids=()
}

# A notification area along the top edge in the given colour (0xRRGGBB).
start_tray() {
  trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
    --transparent true --alpha 0 --tint "$1" >/dev/null 2>&1 &
  pids+=($!)
  until xdotool search --classname '^panel$' >/dev/null 2>&1; do sleep 0.05; done
}

shot() {
  sleep "${2:-1}"
  import -window root "$out/$1.png"
  echo "$out/$1.png"
}

# The three phases on a dark and a light panel: the panel's corner, enlarged four times.
for panel in dark:0x202020 light:0xeeeeee; do
  start_display
  start_tray "${panel#*:}"
  "$build/tests/manual/kronolab_show_tray_moons" &
  pids+=($!)
  shot "tray-${panel%%:*}-full" 2
  convert "$out/tray-${panel%%:*}-full.png" -gravity NorthEast -crop 160x40+0+0 +repage \
    -filter point -resize 400% "$out/tray-${panel%%:*}.png"
  rm "$out/tray-${panel%%:*}-full.png"
  echo "$out/tray-${panel%%:*}.png"
  stop_display
done

home=$(mktemp -d)
config="$home/kronolab.ini"
# A copy every day at 23:59:59 and, with 1, a message every five seconds.
write_config() {
  cat >"$config" <<EOF
[General]
Interval=1000
Count=$((1 + $1))

[Action1]
TimePoint=2
SuddenStart=0
FirstDate= 4.60009999884259E+0004
LastDate= 4.60009999884259E+0004
Action=%COPY /home/anna/Texte/*.txt /media/usb/Sicherung
EOF
  if (($1)); then
    cat >>"$config" <<EOF

[Action2]
TimePoint=0
SuddenStart=0
AllCalls=0
Freq= 5.78703703703704E-0005
FirstDate= 4.60000000000000E+0004
LastDate= 4.60000000000000E+0004
Action="Zeit für die Pause!
EOF
  fi
}
run_kronolab() {
  HOME=$home XDG_CONFIG_HOME=$home/.config QT_QPA_PLATFORM=xcb \
    "$build/src/app/kronolab" "$config" "$@" >/dev/null 2>&1 &
  pids+=($!)
}

# Without a notification area: the window in its place.
start_display
write_config 0
run_kronolab
shot no-tray 2
stop_display

# With a notification area: a message over the open editor.
start_display
start_tray 0x303030
write_config 1
run_kronolab
sleep 2
run_kronolab # hands over: the running one opens its editor
sleep 7
shot message-over-editor 0
stop_display
rm -rf "$home"
