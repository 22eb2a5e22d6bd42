# Shared by the tests that run the real program on a virtual X screen. A test sets x_screen (such
# as 1280x900) and x_tools (the commands it needs besides xvfb-run and xauth), then sources this
# file: the script runs again under xvfb-run (or exits with 77, "skipped", when a tool is
# missing), gets a scratch folder $work, and the programs in $pid and ${pids[@]} end with it.
# shellcheck shell=bash

if [ "${VELMORA_INSIDE_XVFB:-}" != 1 ]; then
  # shellcheck disable=SC2154
  for tool in xvfb-run xauth $x_tools; do
    if ! command -v "$tool" >/dev/null; then
      echo "skipped: $tool is not installed"
      exit 77
    fi
  done
  export VELMORA_INSIDE_XVFB=1
  # -noreset: the server would otherwise reset when the first program quits, and the next start
  # could find no display while it does.
  exec xvfb-run -a -s "-screen 0 ${x_screen}x24 -noreset" "$0" "$@"
fi

work=$(mktemp -d)
pid=
pids=()
x_session_end() {
  for p in $pid "${pids[@]}"; do
    kill "$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
  done
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap x_session_end EXIT

# fail MESSAGE: ends the test, showing what the program printed.
fail() {
  echo "FAIL: $*"
  if [ -f "$work/velmora.log" ]; then cat "$work/velmora.log"; fi
  exit 1
}

# wait_for COMMAND...: retries for up to 20 seconds.
wait_for() {
  local tries=0
  until "$@" >/dev/null 2>&1; do
    sleep 0.05
    tries=$((tries + 1))
    [ "$tries" -lt 400 ] || return 1
  done
}

# The lines of log.txt in $VELMORA_HOME, and whether there are at least $1 of them.
log_lines() { if [ -f "$VELMORA_HOME/log.txt" ]; then grep -c $'\r$' "$VELMORA_HOME/log.txt"; else echo 0; fi; }
has_lines() { [ "$(log_lines)" -ge "$1" ]; }
