#!/usr/bin/env bash
# Makes the README's screenshot: the editor with a sample picture, its tool
# bar and its palette side by side, on an X server of its own.
# Usage: scripts/screenshot.sh [OUTPUT.png] [KOMA]
# OUTPUT defaults to docs/screenshot.png, KOMA to build/koma (built when
# missing). Prints each window's place on the screen as "name X Y WIDTH HEIGHT".
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs/screenshot.png}
koma=${2:-$here/build/koma}
picture=$here/examples/landscape.koma
width=1064 height=732 gap=16

"$here/scripts/install-deps.sh"
if [ ! -x "$koma" ]; then
  cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$here/build" -j"$(nproc)" --target koma >/dev/null
fi
koma=$(cd "$(dirname "$koma")" && pwd)/$(basename "$koma")
out=$(mkdir -p "$(dirname "$out")" && cd "$(dirname "$out")" && pwd)/$(basename "$out")

for n in $(seq 140 180); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
done
Xvfb ":$n" -screen 0 "${width}x${height}x24" -noreset -nolisten tcp >/dev/null 2>&1 &
xvfb=$! pid=""
trap 'kill $pid $xvfb 2>/dev/null; wait 2>/dev/null' EXIT
export DISPLAY=":$n"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xsetroot -solid '#3b4252'

# Inside assets/, where the program finds its images; a home of its own, so
# that nothing of the user's reaches the picture.
home=$(mktemp -d)
trap 'kill $pid $xvfb 2>/dev/null; wait 2>/dev/null; rm -rf "$home"' EXIT
(cd "$here/assets" && HOME=$home XDG_CONFIG_HOME=$home XDG_DATA_HOME=$home \
   XDG_CACHE_HOME=$home XDG_STATE_HOME=$home NO_AT_BRIDGE=1 exec "$koma" "$picture") \
  >/dev/null 2>&1 &
pid=$!
window() { timeout 10 xdotool search --all --sync --onlyvisible --pid "$pid" --name "$1" | head -1; }
main=$(window '^KOMA ver') tool=$(window '^TOOL$') palette=$(window '^PALET$')
[ -n "$main" ] && [ -n "$tool" ] && [ -n "$palette" ] || { echo "screenshot: no windows" >&2; exit 1; }

# Left to right: tool bar, main window, palette, all at the top.
xdotool windowmove "$tool" "$gap" "$gap"
xdotool windowmove "$main" $((2 * gap + 140)) "$gap"
xdotool windowmove "$palette" $((3 * gap + 140 + 643)) "$gap"
# The pointer over the canvas, so that the status line reads a cell.
xdotool mousemove --window "$main" 305 200
# The picture is on the screen once the main window stops changing.
last=""
for _ in $(seq 50); do
  sleep 0.2
  now=$(xwd -silent -id "$main" | md5sum)
  [ "$now" = "$last" ] && break
  last=$now
done
import -window root -strip "png:$out"
for w in main:"$main" tool:"$tool" palette:"$palette"; do
  xwininfo -id "${w#*:}" | awk -v name="${w%%:*}" '
    /Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
    /Width:/ {w = $NF} /Height:/ {h = $NF} END {print name, x, y, w, h}'
done
