#!/usr/bin/env bash
# Two velmora programs started at once, each reading 20 pictures named on its command line, share
# one log.txt: it must end up with 40 whole lines, each a decoded text followed by CR LF.
# Usage: two_instances_log_test.sh VELMORA VELMORA_CLI
set -euo pipefail

velmora=$1
cli=$2

. "$(dirname "$0")/background_programs.sh"
mkdir -p "$work/a" "$work/b"

# Long texts, so that a line written in pieces would show; a different text in every picture.
filler=$(printf 'line-of-text-%.0s' $(seq 1 40))
files_a=() files_b=()
for i in $(seq -w 1 20); do
  "$cli" encode --level L --size 2 -o "$work/a/$i.png" "first-$i-$filler" 2>/dev/null
  "$cli" encode --level L --size 2 -o "$work/b/$i.png" "second-$i-$filler" 2>/dev/null
  files_a+=("$work/a/$i.png")
  files_b+=("$work/b/$i.png")
done

"$velmora" "${files_a[@]}" > "$work/a.log" 2>&1 &
pids+=($!)
"$velmora" "${files_b[@]}" > "$work/b.log" 2>&1 &
pids+=($!)

log="$VELMORA_HOME/log.txt"
waited=0
until [ -f "$log" ] && [ "$(tr -cd '\n' < "$log" | wc -c)" -ge 40 ]; do
  sleep 0.5
  waited=$((waited + 1))
  if [ "$waited" -gt 240 ]; then
    echo "FAIL: log.txt holds $(tr -cd '\n' < "$log" 2>/dev/null | wc -c) lines after two minutes, 40 expected"
    cat "$work/a.log" "$work/b.log"
    exit 1
  fi
done
sleep 1

# Every line is one of the texts, whole, ending in CR LF; each text appears once.
expected=$( (for i in $(seq -w 1 20); do printf 'first-%s-%s\r\n' "$i" "$filler"; printf 'second-%s-%s\r\n' "$i" "$filler"; done) | sort | od -An -c | tr -s ' \n' ' ')
actual=$(sort < "$log" | od -An -c | tr -s ' \n' ' ')
if [ "$expected" != "$actual" ]; then
  echo "FAIL: log.txt does not hold the 40 texts as whole CR LF lines:"
  od -c "$log" | head -40
  exit 1
fi
if [ "$(tail -c 2 "$log" | od -An -c | tr -d ' ')" != '\r\n' ]; then
  echo "FAIL: log.txt does not end in CR LF"
  exit 1
fi
echo "PASS: 40 whole lines from two instances"
