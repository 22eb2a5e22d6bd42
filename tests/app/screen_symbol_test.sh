#!/usr/bin/env bash
# Starts the real velmora on a virtual X screen, types a text into it as a user would, takes a
# screenshot of the screen and checks that zbar reads the typed text from it. Runs once in English
# and once in Chinese. Usage: screen_symbol_test.sh VELMORA X_TYPE_TEXT SCREENSHOT_DIR
set -euo pipefail

velmora=$1
typer=$2
shots=$3

x_screen=1024x768
x_tools="import zbarimg"
# shellcheck source=tests/app/x_session.sh
source "$(dirname "$0")/x_session.sh"
mkdir -p "$shots"

# run LANGUAGE-NAME LAN-ID TEXT: one start of the program, checked through a screenshot.
run() {
  local name=$1 lanid=$2 text=$3
  export VELMORA_HOME="$work/$name"
  mkdir -p "$VELMORA_HOME"
  printf '[language]\nLanID=%s\n' "$lanid" > "$VELMORA_HOME/Config.ini"
  "$velmora" 2> "$work/$name.log" &
  pid=$!

  local waited=0
  until "$typer" Velmora "" 2>/dev/null; do
    sleep 0.2
    waited=$((waited + 1))
    if [ "$waited" -gt 100 ]; then
      echo "FAIL ($name): the window did not appear"; cat "$work/$name.log"; exit 1
    fi
  done
  sleep 1
  "$typer" Velmora "$text"
  sleep 1
  import -window root "$shots/$name.png"

  local read
  read=$(zbarimg --raw -q "$shots/$name.png" || true)
  if [ "$read" != "$text" ]; then
    echo "FAIL ($name): zbar read '$read', typed '$text'"; exit 1
  fi
  if [ ! -s "$VELMORA_HOME/qr_readme.pdf" ]; then
    echo "FAIL ($name): qr_readme.pdf was not written"; exit 1
  fi
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
  echo "ok ($name): zbar read '$read' from $shots/$name.png"
}

run english 0 "Velmora on screen 42"
run chinese 1 "Typed at 1024x768"
