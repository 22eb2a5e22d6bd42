#!/usr/bin/env bash
# The installed velmora on a virtual X screen, as a user without VELMORA_HOME starts it: its files
# go to $XDG_DATA_HOME/velmora (here ~/.local/share/velmora in a temporary HOME), never into the
# installed bin folder, and the Chinese translation is found in PREFIX/share/velmora. The
# captions are compared on screenshots of the menu bar: switching to Chinese changes them only
# when the translation was found, and a start with LanID=1 shows them again.
# Usage: installed_app_test.sh CMAKE BUILD_DIR SCREENSHOT_DIR
set -euo pipefail

cmake=$1
build=$2
shots=$3

x_screen=1280x900
x_tools="import compare xdotool"
# shellcheck source=tests/app/x_session.sh
source "$(dirname "$0")/../app/x_session.sh"
mkdir -p "$shots"

prefix="$work/prefix"
"$cmake" --install "$build" --prefix "$prefix" > /dev/null || fail "cmake --install failed"
shared="$prefix/share/velmora"
# A read-only installation. Root may write there all the same, so what counts below is where
# the files land.
chmod a-w "$prefix/bin"
ls -A "$prefix/bin" > "$work/bin-before.txt"

export HOME="$work/home"
mkdir -p "$HOME"
unset VELMORA_HOME XDG_DATA_HOME
xdg="$HOME/.local/share/velmora"

window=
start_app() {
  "$prefix/bin/velmora" 2> "$work/velmora.log" &
  pid=$!
  wait_for xdotool search --pid "$pid" --name '^Velmora$' || fail "the window did not appear"
  window=$(xdotool search --pid "$pid" --name '^Velmora$' | head -1)
  sleep 1
}
stop_app() {
  kill "$pid"; wait "$pid" 2>/dev/null || true
  pid=
}
# menu_bar NAME: a screenshot of the window's menu bar, the captions the language decides.
menu_bar() {
  import -window "$window" "$shots/install-$1.png"
  convert "$shots/install-$1.png" -crop 400x22+0+0 +repage "$work/$1-menu.png"
}
# differing A B: the number of pixels that differ between two menu bar shots.
differing() {
  local count
  count=$(compare -metric AE "$work/$1-menu.png" "$work/$2-menu.png" null: 2>&1 || true)
  echo "${count%% *}"
}

# First start: English, and the program's own files appear in the XDG folder.
start_app
wait_for test -s "$xdg/qr_readme.pdf" || fail "qr_readme.pdf was not written to $xdg"
menu_bar english
# Tools (Alt+T) > 中国 (Z), with the pointer over the window: no window manager gives focus.
xdotool mousemove --window "$window" 300 300
xdotool windowfocus "$window" 2>/dev/null || true
xdotool key alt+t
sleep 0.5
xdotool key z
wait_for grep -qix 'LanID=1' "$xdg/Config.ini" || fail "switching to Chinese wrote no LanID=1 to $xdg/Config.ini"
sleep 0.5
menu_bar chinese
[ "$(differing english chinese)" -gt 50 ] 2>/dev/null || fail "the captions did not change: Lan_Ch.ini was not found ($(differing english chinese) pixels differ)"
stop_app
echo "ok: switching to Chinese reads $shared/Lan_Ch.ini and writes Config.ini to the XDG folder"

# Nothing was written beside the installed program.
ls -A "$prefix/bin" > "$work/bin-after.txt"
cmp -s "$work/bin-before.txt" "$work/bin-after.txt" || fail "files appeared in the bin folder: $(cat "$work/bin-after.txt" | tr '\n' ' ')"
for name in Config.ini log.txt temp.bmp; do
  [ ! -e "$shared/$name" ] || fail "$name was written to the shared data folder"
done
echo "ok: the bin folder holds only velmora and velmora-cli"

# Second start: LanID=1 from the XDG Config.ini gives the Chinese captions at once.
start_app
menu_bar restarted
[ "$(differing chinese restarted)" -lt 20 ] 2>/dev/null || fail "a start with LanID=1 shows other captions ($(differing chinese restarted) pixels differ)"
stop_app
echo "ok: a start with LanID=1 shows the Chinese captions"

# Without the shared translation the same start falls back to English: the Chinese came from it.
chmod u+w "$shared"
mv "$shared/Lan_Ch.ini" "$work/Lan_Ch.ini"
start_app
menu_bar without-translation
stop_app
mv "$work/Lan_Ch.ini" "$shared/Lan_Ch.ini"
[ "$(differing english without-translation)" -lt 20 ] 2>/dev/null || fail "without Lan_Ch.ini the captions are not English ($(differing english without-translation) pixels differ)"
echo "ok: without share/velmora/Lan_Ch.ini the captions stay English"
