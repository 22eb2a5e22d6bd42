# Sourced by the tests that start velmora programs in the background: a scratch folder $work as
# the application directory ($VELMORA_HOME, $work/home) on the offscreen platform, and $pids,
# whose programs are ended, and the folder removed, when the test exits.
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export VELMORA_HOME="$work/home"
export QT_QPA_PLATFORM=offscreen
mkdir -p "$VELMORA_HOME"
