#!/usr/bin/env bash
# The real velmora on a 1920 x 1080 virtual screen at 100 % and 200 % (QT_SCALE_FACTOR=2), in
# English and Chinese, under a window manager that gives it a title bar (twm): the whole window,
# status bar included, lies on the screen. Moved, resized
# and closed through its File menu, it comes back at the same place and size. Screenshots go to
# SCREENSHOT_DIR. Usage: window_fit_test.sh VELMORA VELMORA_CLI SCREENSHOT_DIR
set -euo pipefail

velmora=$1
cli=$2
shots=$3

x_screen=1920x1080
x_tools="import xdotool twm"
# shellcheck source=tests/app/x_session.sh
source "$(dirname "$0")/x_session.sh"
mkdir -p "$shots"

# twm places each window where the program asks, without asking the user.
printf 'RandomPlacement\nUsePPosition "on"\nNoGrabServer\n' > "$work/twmrc"
LC_ALL=C twm -f "$work/twmrc" 2> /dev/null &
pids+=($!)
sleep 0.5

"$cli" encode --size 4 -o "$work/symbol.png" "Fits the screen" 2>/dev/null

# start LANID SCALE: the program on a fresh home, reading symbol.png so the status bar has text.
start() {
  export VELMORA_HOME="$work/home-$1-$2"
  mkdir -p "$VELMORA_HOME"
  [ -f "$VELMORA_HOME/Config.ini" ] || printf '[language]\nLanID=%s\n' "$1" > "$VELMORA_HOME/Config.ini"
  QT_SCALE_FACTOR=$2 "$velmora" "$work/symbol.png" 2> "$work/velmora.log" &
  pid=$!
  wait_for xdotool search --name '^Velmora$' || fail "the window did not appear"
  wait_for has_lines 1 || fail "symbol.png was not read at start"
  sleep 1
  main_window
}

# main_window: $window becomes the largest window named Velmora (the window manager's frame
# parts may carry the name too).
main_window() {
  local best=0 w
  for w in $(xdotool search --name '^Velmora$'); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    if [ $((WIDTH * HEIGHT)) -gt "$best" ]; then best=$((WIDTH * HEIGHT)); window=$w; fi
  done
}

# on_screen NAME: the window and its status bar (its bottom rows) lie on the screen.
on_screen() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 1920 ] && [ $((Y + HEIGHT)) -le 1080 ] ||
    fail "$1: the window spans ${WIDTH}x${HEIGHT} at $X,$Y on a 1920x1080 screen"
  import -window root "$shots/window-$1.png"
  echo "ok: $1: ${WIDTH}x${HEIGHT} at $X,$Y"
}

stop() {
  kill "$pid"; wait "$pid" 2>/dev/null || true
  pid=
}

for scale in 1 2; do
  for lanid in 0 1; do
    start "$lanid" "$scale"
    on_screen "lan$lanid-scale$scale"
    stop
  done
done

# Moved and resized, then closed from the File menu: the next start has the same place and size.
# Without the window manager: twm tells programs nothing of its frames (no _NET_FRAME_EXTENTS),
# so Qt cannot know where a frame's corner lies.
kill "${pids[0]}"; wait "${pids[0]}" 2>/dev/null || true
start 0 2
xdotool windowmove "$window" 300 200
xdotool windowsize "$window" 1200 860
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"
left=$X top=$Y width=$WIDTH height=$HEIGHT
xdotool mousemove --window "$window" 200 300
xdotool windowfocus "$window" 2>/dev/null || true
xdotool key alt+f
sleep 0.5
xdotool key x
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "File, Exit did not end the program"
wait "$pid" 2>/dev/null || true
pid=
grep -q '^iWidth=' "$VELMORA_HOME/Config.ini" || fail "no size kept in Config.ini: $(cat "$VELMORA_HOME/Config.ini")"
start 0 2
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$X,$Y,$WIDTH,$HEIGHT" = "$left,$top,$width,$height" ] ||
  fail "the window came back at $X,$Y ${WIDTH}x$HEIGHT, it was left at $left,$top ${width}x$height"
import -window root "$shots/window-remembered.png"
echo "ok: place and size come back ($left,$top ${width}x$height)"
