#!/usr/bin/env bash
# The real velmora on a virtual X screen, driven only by xdotool as a person would: Config.ini
# names a video of a printed symbol held up to a webcam (sliding into view, then still, turned and
# out of focus) as the camera. Camera on (Ctrl+Alt+C) and grabbing on (Ctrl+Alt+D) read the
# symbol once: its text lands in log.txt with CR LF, and grabbing stops by itself although the
# video goes on showing the symbol. Screenshots of the camera on, the live preview and the report
# go to SCREENSHOT_DIR.
# Usage: camera_reading_test.sh VELMORA CAMERA_CLIP_WRITER SCREENSHOT_DIR
set -euo pipefail

velmora=$1
clip_writer=$2
shots=$3

x_screen=1280x900
x_tools="import xdotool"
# shellcheck source=tests/app/x_session.sh
source "$(dirname "$0")/x_session.sh"
mkdir -p "$shots"

text="https://velmora.example/held-up-to-the-camera"
export VELMORA_HOME="$work/home"
mkdir -p "$VELMORA_HOME"
"$clip_writer" "$VELMORA_HOME/sheet.avi" "$text" || fail "the clip was not written"
# A relative source is taken from the folder of Config.ini.
printf '[camera]\r\nsSource=sheet.avi\r\n' > "$VELMORA_HOME/Config.ini"

"$velmora" 2> "$work/velmora.log" &
pid=$!
wait_for xdotool search --name '^Velmora$' || fail "the window did not appear"
window=$(xdotool search --name '^Velmora$' | head -1)
sleep 1

# Keys go to the window under the pointer: there is no window manager to give focus.
focus_app() { xdotool mousemove --window "$window" 200 300; xdotool windowfocus "$window" 2>/dev/null || true; }

focus_app
xdotool key ctrl+alt+c
sleep 0.8
# A message box would be a second window called 摄像头.
if xdotool search --name '摄像头' >/dev/null 2>&1; then
  import -window root "$shots/camera-message.png"
  fail "camera on showed a message box"
fi
import -window root "$shots/camera-on.png"

focus_app
xdotool key ctrl+alt+d
sleep 0.9
import -window root "$shots/camera-preview.png"
wait_for has_lines 1 || fail "grabbing read nothing"
# The video shows the symbol for another two seconds: grabbing that went on would read it again.
sleep 2.5
import -window root "$shots/camera-report.png"
printf '%s\r\n' "$text" | cmp -s - "$VELMORA_HOME/log.txt" \
  || fail "log.txt holds $(od -c "$VELMORA_HOME/log.txt" | head -5)"
echo "ok: the camera read the symbol once and stopped grabbing"

# The program still answers: camera off, then File > Exit through the menu's access keys.
focus_app
xdotool key ctrl+alt+c
sleep 0.5
kill -0 "$pid" || fail "the program ended"
focus_app
xdotool key alt+f
sleep 0.3
xdotool key x
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$pid" 2>/dev/null; then fail "the program did not end when its window closed"; fi
wait "$pid" || fail "the program ended with status $?"
pid=
echo "ok: camera off and the window closed"
