#!/usr/bin/env bash
# Starts the real program under the current display, checks its first traces
# and the title of its main window, then ends it.
set -u
bin=$1 assets=$2
out=$(mktemp) ; trap 'rm -f "$out"; kill "$pid" 2>/dev/null' EXIT
cd "$assets" || exit 1
"$bin" >"$out" 2>/dev/null & pid=$!
want='KOMA ver 1.0:無題.koma  ( 64 x 64 )'
for _ in $(seq 100); do
  if grep -q '^Main_View_Draw$' "$out" && xwininfo -root -tree 2>/dev/null | grep -qF "\"$want\""; then
    grep -q '^creat_main_view$' "$out" || { echo "no creat_main_view trace"; exit 1; }
    echo "koma started, traced and titled \"$want\""
    exit 0
  fi
  kill -0 "$pid" 2>/dev/null || { echo "koma exited early"; cat "$out"; exit 1; }
  sleep 0.1
done
echo "timed out; output was:"; cat "$out"
exit 1
