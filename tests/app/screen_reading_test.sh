#!/usr/bin/env bash
# The real velmora on a virtual X screen, driven only by xdotool as a person would: a symbol
# shown by another program (ImageMagick's display) is read by the whole-screen shortcut and by
# the area shortcut with mouse drags, and each read lands in log.txt with CR LF. Screenshots of
# the app after each command go to SCREENSHOT_DIR. Also reports the time from the whole-screen
# shortcut to the report on a 1920 x 1080 screen with four symbols wanted.
# Usage: screen_reading_test.sh VELMORA VELMORA_CLI SCREENSHOT_DIR
set -euo pipefail

velmora=$1
cli=$2
shots=$3

x_screen=1920x1080
x_tools="import display xdotool"
# shellcheck source=tests/app/x_session.sh
source "$(dirname "$0")/x_session.sh"
mkdir -p "$shots"

no_area_window() { ! xdotool search --name '^Velmora area$' >/dev/null 2>&1; }
millis() { date +%s%3N; }

text="Read off the screen by Velmora"
"$cli" encode --size 6 -o "$work/symbol.png" "$text" 2>/dev/null
display -geometry +1400+150 "$work/symbol.png" &
pids+=($!)
wait_for xdotool search --name 'ImageMagick' || fail "display did not show the symbol"

export VELMORA_HOME="$work/home"
mkdir -p "$VELMORA_HOME"
"$velmora" 2> "$work/velmora.log" &
pids+=($!)
wait_for xdotool search --name '^Velmora$' || fail "the window did not appear"
window=$(xdotool search --name '^Velmora$' | head -1)
sleep 1

# Keys go to the window under the pointer: there is no window manager to give focus.
focus_app() { xdotool mousemove --window "$window" 200 300; xdotool windowfocus "$window" 2>/dev/null || true; }

# Whole screen, timed from the shortcut to the line in log.txt.
focus_app
start=$(millis)
xdotool key ctrl+w
wait_for has_lines 1 || fail "whole screen: no line in log.txt"
elapsed=$(( $(millis) - start ))
sleep 0.3
import -window root "$shots/read-whole-screen.png"
printf '%s\r\n' "$text" | cmp -s - "$VELMORA_HOME/log.txt" || fail "whole screen: log.txt holds $(od -c "$VELMORA_HOME/log.txt" | head -3)"
[ -s "$VELMORA_HOME/temp.bmp" ] || fail "whole screen: temp.bmp was not written"
echo "ok: whole screen read in ${elapsed} ms from the shortcut (1920 x 1080, 4 wanted)"

# area DESCRIPTION X0 Y0 X1 Y1 LINES: a drag from (X0, Y0) to (X1, Y1) after the area shortcut;
# LINES is what log.txt should hold afterwards.
area() {
  local name=$1 x0=$2 y0=$3 x1=$4 y1=$5 lines=$6
  focus_app
  xdotool key ctrl+m
  wait_for xdotool search --name '^Velmora area$' || fail "$name: the area window did not appear"
  sleep 0.3
  xdotool mousemove "$x0" "$y0" mousedown 1
  xdotool mousemove $(( (x0 + x1) / 2 )) $(( (y0 + y1) / 2 ))
  sleep 0.1
  xdotool mousemove "$x1" "$y1"
  sleep 0.1
  import -window root "$shots/area-$name-dragging.png"
  xdotool mouseup 1
  wait_for no_area_window || fail "$name: the area window stayed"
  sleep 0.8
  wait_for has_lines "$lines" || fail "$name: log.txt has $(log_lines) lines, wanted $lines"
  import -window root "$shots/area-$name.png"
  # The dotted outline lies on the white margin of the shown symbol while the button is held.
  local changed
  convert "$shots/area-$name-dragging.png" -crop 246x246+1400+150 +repage "$work/during.png"
  convert "$shots/area-$name.png" -crop 246x246+1400+150 +repage "$work/after.png"
  changed=$(compare -metric AE "$work/during.png" "$work/after.png" null: 2>&1 || true)
  [ "${changed%% *}" -gt 100 ] 2>/dev/null || fail "$name: no outline drawn during the drag ($changed)"
  echo "ok: area $name"
}

# The symbol's window spans 1400..1646 x 150..396, its modules 1424..1622 x 174..372.
area forward 1410 160 1636 386 2
area backward 1636 386 1410 160 3
cp "$VELMORA_HOME/temp.bmp" "$work/backward.bmp"

# A click without movement and Escape read nothing and leave the program answering.
focus_app
xdotool key ctrl+m
wait_for xdotool search --name '^Velmora area$' || fail "click: the area window did not appear"
sleep 0.3
xdotool mousemove 500 500 click 1
wait_for no_area_window || fail "click: the area window stayed"
focus_app
xdotool key ctrl+m
wait_for xdotool search --name '^Velmora area$' || fail "escape: the area window did not appear"
sleep 0.3
xdotool key Escape
wait_for no_area_window || fail "escape: the area window stayed"
sleep 0.5
cmp -s "$VELMORA_HOME/temp.bmp" "$work/backward.bmp" || fail "click or Escape captured a picture"
import -window root "$shots/area-escape.png"
# A one-pixel area is captured and read as nothing.
focus_app
xdotool key ctrl+m
wait_for xdotool search --name '^Velmora area$' || fail "one pixel: the area window did not appear"
sleep 0.3
xdotool mousemove 500 500 mousedown 1 mousemove 501 501
sleep 0.1
xdotool mouseup 1
wait_for no_area_window || fail "one pixel: the area window stayed"
sleep 0.5
[ "$(identify -format '%wx%h' "$VELMORA_HOME/temp.bmp")" = 1x1 ] || fail "one pixel: temp.bmp is not 1 x 1"
[ "$(log_lines)" -eq 3 ] || fail "click, Escape or one pixel added to log.txt"
focus_app
xdotool key ctrl+w
wait_for has_lines 4 || fail "after Escape the whole-screen command read nothing"
echo "ok: a click, Escape and a one-pixel area read nothing; the program still answers"

# On a screen at twice the density the area frames the same device pixels: the drag covers the
# symbol in device pixels (xdotool's), Qt sees half of them in logical pixels. The symbol moves
# right, clear of the larger window.
kill "${pids[1]}"; wait "${pids[1]}" 2>/dev/null || true
xdotool windowmove "$(xdotool search --name 'ImageMagick' | head -1)" 1620 150
export VELMORA_HOME="$work/dense"
mkdir -p "$VELMORA_HOME"
QT_SCALE_FACTOR=2 "$velmora" 2> "$work/velmora.log" &
pids+=($!)
wait_for xdotool search --name '^Velmora$' || fail "dense: the window did not appear"
window=$(xdotool search --name '^Velmora$' | head -1)
sleep 1
focus_app
xdotool key ctrl+m
wait_for xdotool search --name '^Velmora area$' || fail "dense: the area window did not appear"
sleep 0.3
xdotool mousemove 1630 160 mousedown 1 mousemove 1700 250 mousemove 1856 386
sleep 0.1
xdotool mouseup 1
wait_for has_lines 1 || fail "dense: the area read nothing"
size=$(identify -format '%wx%h' "$VELMORA_HOME/temp.bmp")
[ "$size" = "226x226" ] || fail "dense: temp.bmp is $size, wanted the 226x226 device pixels framed"
import -window root "$shots/area-dense.png"
echo "ok: at scale 2 the area takes the device pixels framed ($size)"

# Files named on the command line are read at start, as a file manager's "Open with" does.
kill "${pids[2]}"; wait "${pids[2]}" 2>/dev/null || true
export VELMORA_HOME="$work/files"
mkdir -p "$VELMORA_HOME"
"$cli" encode -o "$work/second symbol.bmp" "second file" 2>/dev/null
"$velmora" "$work/symbol.png" "file://$work/second%20symbol.bmp" 2> "$work/velmora.log" &
pids+=($!)
wait_for has_lines 2 || fail "command line: log.txt holds $(log_lines) lines"
printf '%s\r\nsecond file\r\n' "$text" | cmp -s - "$VELMORA_HOME/log.txt" || fail "command line: wrong log.txt"
sleep 0.5
import -window root "$shots/command-line-files.png"
echo "ok: files on the command line are read in order"
