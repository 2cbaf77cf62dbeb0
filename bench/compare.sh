#!/usr/bin/env bash
# Times KOMA's open, save and BMP export of one 1024 x 1024 picture side by
# side with ImageMagick on the same pixels, each as the median of several runs.
# KOMA's times are measured inside the process (the operation alone, see
# bench/koma_time.cpp); the other tools' are whole command runs. Then the
# editor on an X server (Xvfb when there is no display): opening the picture
# from the command line until it is on the screen, and the CPU time of
# painting, also while a recovery snapshot is being taken (bench/koma_screen.cpp).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-7}
side=${SIDE:-1024}

"$here/scripts/install-deps.sh" libbenchmark-dev imagemagick
cmake -S "$here" -B "$here/build-bench" -DCMAKE_BUILD_TYPE=Release -DKOMA_TESTS=OFF \
      -DKOMA_BENCH=ON >/dev/null
cmake --build "$here/build-bench" -j"$(nproc)" --target koma_time koma_bench koma_screen koma \
      >/dev/null
kt="$here/build-bench/bench/koma_time"

xvfb_pid=""
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -noreset -nolisten tcp >/dev/null 2>&1 & xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    break
  done
fi

work=$(mktemp -d) ; trap 'rm -rf "$work"; [ -n "$xvfb_pid" ] && kill "$xvfb_pid"' EXIT
cd "$work"
# The editors started here neither find nor leave recovery snapshots of the user's.
export XDG_STATE_HOME="$work/state"
"$kt" gen "$side" "$work"
"$kt" bmp picture.koma picture.bmp 1 >/dev/null 2>&1

# Median wall time of a command, in milliseconds.
median_cmd() {
  local times=() t0 t1
  for _ in $(seq "$runs"); do
    t0=$(date +%s%N); "$@" >/dev/null 2>&1; t1=$(date +%s%N)
    times+=($(( (t1 - t0) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p" |
    awk '{ printf "%.3f", $1 / 1000 }'
}
# KOMA's own in-process median, in milliseconds.
ours() { "$kt" "$@" "$runs" 2>&1 >/dev/null | tail -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

open_ms=$(ours open picture.koma)
im_read=$(median_cmd convert picture.ppm null:)
wc_ms=$(median_cmd wc -l picture.koma)
save_ms=$(ours save picture.koma out.koma)
im_bmp_read=$(median_cmd convert picture.bmp null:)
im_p3=$(median_cmd convert picture.bmp -compress none out.ppm)
im_write=$(awk -v a="$im_p3" -v b="$im_bmp_read" 'BEGIN { printf "%.3f", a - b }')
bmp_ms=$(ours bmp picture.koma export.bmp)
im_conv=$(median_cmd convert picture.ppm out.bmp)

# From the start of the program to the picture on the screen, less the start
# to the untitled window.
start_untitled=$("$kt" start "$here/build-bench/koma" $((runs * 3)) 2>&1 >/dev/null | tail -n 1)
start_doc=$("$kt" start "$here/build-bench/koma" $((runs * 3)) picture.koma 2>&1 >/dev/null | tail -n 1)
shown_ms=$(awk -v a="$start_doc" -v b="$start_untitled" 'BEGIN { printf "%.3f", a - b }')

r_open=$(ratio "$im_read" "$open_ms")
r_shown=$(ratio "$im_read" "$shown_ms")
r_wc=$(ratio "$open_ms" "$wc_ms")
r_save=$(ratio "$im_write" "$save_ms")
r_bmp=$(ratio "$im_conv" "$bmp_ms")
echo "picture: ${side} x ${side} cells, $(stat -c %s picture.koma) bytes as .koma; medians of $runs runs"
echo "open:   koma ${open_ms} ms   convert picture.ppm null: ${im_read} ms   koma is ${r_open}x faster (goal >= 5)"
echo "touch:  koma open ${open_ms} ms   wc -l picture.koma ${wc_ms} ms   koma takes ${r_wc}x as long (goal <= 10)"
echo "save:   koma ${save_ms} ms   convert writing P3 ${im_write} ms (${im_p3} - ${im_bmp_read})   koma is ${r_save}x faster (goal >= 5)"
echo "bmp:    koma ${bmp_ms} ms (trace included)   convert picture.ppm picture.bmp ${im_conv} ms   koma is ${r_bmp}x faster (goal >= 3)"
echo "shown:  koma picture.koma on the screen ${shown_ms} ms (${start_doc} - ${start_untitled} untitled)   convert picture.ppm null: ${im_read} ms   koma is ${r_shown}x faster (goal >= 5)"
echo "ratios: open ${r_open}x  open/wc ${r_wc}x  save ${r_save}x  bmp ${r_bmp}x  shown ${r_shown}x"
echo
"$here/build-bench/bench/koma_screen" "$runs" 2>/dev/null
