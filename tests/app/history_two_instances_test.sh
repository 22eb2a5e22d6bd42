#!/usr/bin/env bash
# Two velmora programs started at once, each given pictures of two symbols on its command line,
# both add their rows to one history.sqlite: every symbol once, with its text, kind and source
# args, and the file in WAL mode.
# Usage: history_two_instances_test.sh VELMORA VELMORA_CLI
set -euo pipefail

velmora=$1
cli=$2
command -v sqlite3 >/dev/null || { echo "SKIP: sqlite3 is not installed"; exit 77; }
command -v convert >/dev/null || { echo "SKIP: ImageMagick's convert is not installed"; exit 77; }

. "$(dirname "$0")/background_programs.sh"

# Each picture holds a Wi-Fi network and a link side by side; ten pictures per program.
pictures=10
files_a=() files_b=()
expected=""
for who in a b; do
  for i in $(seq 1 $pictures); do
    "$cli" encode --level M --size 3 -o "$work/$who-$i-wifi.png" "WIFI:T:WPA;S:net-$who-$i;P:password$i;;" 2>/dev/null
    "$cli" encode --level M --size 3 -o "$work/$who-$i-link.png" "https://example.org/$who/$i" 2>/dev/null
    convert "$work/$who-$i-wifi.png" -bordercolor white -border 40 "$work/$who-$i-link.png" +append "$work/$who-$i.png"
    expected+="args|wifi|WIFI:T:WPA;S:net-$who-$i;P:password$i;;|$work/$who-$i.png"$'\n'
    expected+="args|url|https://example.org/$who/$i|$work/$who-$i.png"$'\n'
  done
done
for i in $(seq 1 $pictures); do files_a+=("$work/a-$i.png"); files_b+=("$work/b-$i.png"); done

# The first program alone: one picture of two symbols gives two rows.
"$velmora" "${files_a[0]}" > "$work/first.log" 2>&1 &
pids+=($!)
db="$VELMORA_HOME/history.sqlite"
rows() { sqlite3 "$db" "SELECT count(*) FROM scans" 2>/dev/null || echo 0; }
waited=0
until [ -f "$db" ] && [ "$(rows)" -ge 2 ]; do
  sleep 0.5; waited=$((waited + 1))
  if [ "$waited" -gt 120 ]; then echo "FAIL: no two rows after a minute"; cat "$work/first.log"; exit 1; fi
done
sleep 1
got=$(sqlite3 -separator '|' "$db" "SELECT source, kind, text, path FROM scans ORDER BY kind")
want=$(printf 'args|url|https://example.org/a/1|%s\nargs|wifi|WIFI:T:WPA;S:net-a-1;P:password1;;|%s' "$work/a-1.png" "$work/a-1.png")
if [ "$got" != "$want" ]; then
  echo "FAIL: one picture of two symbols left:"; echo "$got"; echo "expected:"; echo "$want"; exit 1
fi
kill "${pids[0]}"; wait "${pids[0]}" 2>/dev/null || true; pids=()
sqlite3 "$db" "DELETE FROM scans"

# Two programs at the same time.
"$velmora" "${files_a[@]}" > "$work/a.log" 2>&1 &
pids+=($!)
"$velmora" "${files_b[@]}" > "$work/b.log" 2>&1 &
pids+=($!)
total=$((pictures * 4))
waited=0
until [ "$(rows)" -ge "$total" ]; do
  sleep 0.5; waited=$((waited + 1))
  if [ "$waited" -gt 240 ]; then
    echo "FAIL: history.sqlite holds $(rows) rows after two minutes, $total expected"
    cat "$work/a.log" "$work/b.log"; exit 1
  fi
done
sleep 1
got=$(sqlite3 -separator '|' "$db" "SELECT source, kind, text, path FROM scans" | sort)
want=$(printf '%s' "$expected" | sort)
if [ "$got" != "$want" ]; then
  echo "FAIL: the two programs' rows are not each symbol once:"; diff <(echo "$want") <(echo "$got") || true; exit 1
fi
if [ "$(sqlite3 "$db" 'PRAGMA journal_mode')" != wal ]; then echo "FAIL: history.sqlite is not in WAL mode"; exit 1; fi
echo "PASS: $total rows from two programs at once, each symbol once with its text, kind and source"
