#!/usr/bin/env bash
# Runs the screenshot script into a scratch folder: it must make a PNG of
# the screen's size in which the three windows, whose places the script read
# from the X server, lie side by side on the screen without overlapping.
# Usage: screenshot_test.sh SOURCE_DIR KOMA
set -u
src=$1 koma=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$src/scripts/screenshot.sh" "$scratch/shot.png" "$koma" >"$scratch/places" || fail "screenshot.sh"
cat "$scratch/places"
size=$(identify -format '%w %h' "$scratch/shot.png") || fail "no PNG"
[ "$size" = "1064 732" ] || fail "PNG is $size"
[ "$(cut -d' ' -f1 "$scratch/places" | sort | tr '\n' ' ')" = "main palette tool " ] ||
  fail "windows: $(cat "$scratch/places")"
awk -v W=1064 -v H=732 '
  { name[NR] = $1; x[NR] = $2; y[NR] = $3; w[NR] = $4; h[NR] = $5
    if ($4 < 100 || $5 < 100 || $2 < 0 || $3 < 0 || $2 + $4 > W || $3 + $5 > H) bad = bad " " $1 " off the screen" }
  END {
    for (i = 1; i <= NR; i++) for (j = i + 1; j <= NR; j++)
      if (x[i] < x[j] + w[j] && x[j] < x[i] + w[i] && y[i] < y[j] + h[j] && y[j] < y[i] + h[i])
        bad = bad " " name[i] " overlaps " name[j]
    if (bad != "") { print "FAIL:" bad; exit 1 } }' "$scratch/places" || exit 1
echo "screenshot: ok"
