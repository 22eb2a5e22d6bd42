#!/usr/bin/env bash
# The real velmora on a virtual X screen: a person types a text, clicks the brush button and the
# ornament window opens over the main window with the symbol of that text, which zbar reads off
# the screen. Screenshots go to SCREENSHOT_DIR. Usage: ornament_opening_test.sh VELMORA SHOT_DIR
set -euo pipefail

velmora=$1
shots=$2

x_screen=1280x1024
x_tools="import xdotool zbarimg"
# shellcheck source=tests/app/x_session.sh
source "$(dirname "$0")/x_session.sh"
mkdir -p "$shots"

export VELMORA_HOME="$work/home"
mkdir -p "$VELMORA_HOME"
"$velmora" 2> "$work/velmora.log" &
pid=$!
wait_for xdotool search --name '^Velmora$' || fail "the window did not appear"
window=$(xdotool search --name '^Velmora$' | head -1)
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"

# The input box lies below the symbol panel; keys go to the window under the pointer.
xdotool mousemove $((X + 100)) $((Y + 340)) click 1
xdotool type --delay 20 "Ornament opened by a click"
sleep 0.5
# The brush is the last button of the tool bar.
xdotool mousemove $((X + 450)) $((Y + 50)) click 1
wait_for xdotool search --name '^QR Ornament$' || fail "the brush button opened no ornament window"
sleep 1
import -window root "$shots/ornament-window.png"
# Only the ornament window's own picture, so that the main window's symbol does not count.
import -window "$(xdotool search --name '^QR Ornament$' | head -1)" "$work/ornament-only.png"
read=$(zbarimg --raw -q "$work/ornament-only.png" || true)
[ "$read" = "Ornament opened by a click" ] || fail "zbar read '$read' off the ornament window"
echo "ok: the brush button opened the ornament window; zbar read its symbol"

# Each dot type, chosen with a click on its button in the window's list (in the panel at the
# window's right edge, below the add and remove picture buttons), still scans.
ornament=$(xdotool search --name '^QR Ornament$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$ornament")"
dot=0
for name in square round diamond small-square small-dot; do
  xdotool mousemove $((X + WIDTH - 230)) $((Y + 394 + 22 * dot)) click 1
  sleep 0.5
  import -window root "$shots/ornament-$name.png"
  import -window "$ornament" "$work/ornament-only.png"
  read=$(zbarimg --raw -q "$work/ornament-only.png" || true)
  [ "$read" = "Ornament opened by a click" ] || fail "$name dots: zbar read '$read'"
  dot=$((dot + 1))
done
cmp -s "$shots/ornament-square.png" "$shots/ornament-round.png" && fail "a click on another dot type changed nothing"
echo "ok: every dot type chosen in the window scans"

# A picture added through the window's file dialog goes under the square dots, which still scan.
convert -size 500x380 gradient:'#6090e0-#f0d080' -fill '#c04040' -draw 'circle 80,80 80,30' "$work/photo.png"
xdotool mousemove $((X + WIDTH - 230)) $((Y + 394)) click 1
sleep 0.3
cp "$work/ornament-only.png" "$work/before-picture.png"
xdotool mousemove $((X + WIDTH - 128)) $((Y + 16)) click 1
wait_for xdotool search --name 'Add picture|Open|打开' || fail "Add picture opened no dialog"
sleep 0.5
xdotool type --delay 10 "$work/photo.png"
xdotool key Return
sleep 1
import -window root "$shots/ornament-picture.png"
import -window "$ornament" "$work/ornament-only.png"
read=$(zbarimg --raw -q "$work/ornament-only.png" || true)
[ "$read" = "Ornament opened by a click" ] || fail "with a picture: zbar read '$read'"
cmp -s "$work/ornament-only.png" "$work/before-picture.png" && fail "the picture changed nothing"
echo "ok: a picture added in the window merges and the symbol still scans"
