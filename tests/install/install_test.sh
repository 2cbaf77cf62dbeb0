#!/usr/bin/env bash
# The program as installed, checked from outside.
# Usage: install_test.sh CHECK BUILD_DIR SOURCE_DIR, CHECK one of
#   tree_runs_from_root  install into a scratch DESTDIR: every file is there, koma
#                        started in / shows its icon and tool images as in the
#                        source tree, the thumbnailer entry's command makes a thumbnail
#   no_icon_is_quiet     koma with neither images nor data folder: no icon and
#                        nothing said about it on standard error
#   desktop_files        desktop entry, metainfo, file type, manual pages
#   debian_package       cpack -G DEB: name, fields, every installed file, and
#                        the unpacked tree runs from / as above
set -u
check=$1 build=$2 src=$3
scratch=$(mktemp -d) pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT
export XDG_STATE_HOME="$scratch/state"  # no recovery snapshots of the user's offered
fail() { echo "FAIL: $*"; exit 1; }

install_into() {
  DESTDIR="$1" cmake --install "$build" --prefix /usr >"$scratch/install.log" 2>&1 ||
    { cat "$scratch/install.log"; fail "cmake --install"; }
}
files_below() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }

# Starts koma ($1) in the folder $2 and prints its icon's size ("none" if it has
# none), then a checksum of its TOOL window once that equals $3 or stops changing.
seen() {
  (cd "$2" && exec "$1" >/dev/null 2>"$scratch/stderr") & pid=$!
  local main tool sum last=""
  main=$(timeout 10 xdotool search --all --sync --onlyvisible --pid "$pid" --name '^KOMA ver 1\.0:' | head -1)
  tool=$(timeout 10 xdotool search --all --sync --onlyvisible --pid "$pid" --name '^TOOL$' | head -1)
  [ -n "$main" ] && [ -n "$tool" ] || fail "$1 from $2: no windows"
  xprop -id "$main" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | head -1 | grep . || echo none
  xdotool windowraise "$tool"  # other windows may cover it
  for _ in $(seq 15); do
    sleep 0.2; sum=$(xwd -silent -id "$tool" | sha1sum)
    [ "$sum" = "${3:-$last}" ] && break; last=$sum
  done
  echo "$sum"; kill "$pid"; wait "$pid" 2>/dev/null; pid=""
}
# The tool window of koma run inside the source tree, where it finds every image.
reference() {
  local got; got=$(seen "$build/koma" "$src/assets")
  [ "${got%%$'\n'*}" = "Icon (32 x 32)" ] || fail "in the source tree: $got"
  tools=${got##*$'\n'}
}
check_windows() {
  reference
  local got; got=$(seen "$1" "$2" "$tools")
  [ "$got" = "Icon (32 x 32)"$'\n'"$tools" ] || fail "$1 from $2: saw \"$got\", tools \"$tools\""
}

# A 64 x 32 document: cell (x, y) is (4x, 8y, 100).
document() {
  { printf 'koma1.0\n64 x 32\n'
    for y in $(seq 0 31); do for x in $(seq 0 63); do echo "$((4 * x)),$((8 * y)),100"; done; done
  } >"$1"
}

case $check in
tree_runs_from_root)
  install_into "$scratch/root"
  want=$({ printf '%s\n' usr/bin/koma usr/bin/koma-export usr/share/mime/packages/koma.xml \
             usr/share/applications/invalid.koma.editor.desktop \
             usr/share/metainfo/invalid.koma.editor.metainfo.xml \
             usr/share/thumbnailers/koma.thumbnailer usr/share/man/man1/koma.1 \
             usr/share/man/man1/koma-export.1
           for s in 16 32 48 64 128; do echo "usr/share/icons/hicolor/${s}x$s/apps/koma.png"; done
           for f in "$src"/assets/*.png; do echo "usr/share/koma/${f##*/}"; done
         } | LC_ALL=C sort)
  [ "$(files_below "$scratch/root")" = "$want" ] ||
    fail "installed files differ: $(diff <(echo "$want") <(files_below "$scratch/root"))"
  check_windows "$scratch/root/usr/bin/koma" /
  # The thumbnailer entry's command, as a file manager runs it.
  document "$scratch/doc.koma"
  exec_line=$(sed -n 's/^Exec=//p' "$scratch/root/usr/share/thumbnailers/koma.thumbnailer")
  cmd=${exec_line//%s/128}; cmd=${cmd//%i/$scratch/doc.koma}; cmd=${cmd//%o/$scratch/thumb.png}
  (cd / && PATH="$scratch/root/usr/bin:$PATH" && $cmd) || fail "thumbnailer command: $cmd"
  file "$scratch/thumb.png" | grep -q 'PNG image data, 128 x 64' ||
    fail "thumbnail: $(file "$scratch/thumb.png")"
  ;;
no_icon_is_quiet)
  mkdir -p "$scratch/bin" "$scratch/empty"
  cp "$build/koma" "$scratch/bin/koma"  # no share/koma beside it
  reference
  got=$(seen "$scratch/bin/koma" "$scratch/empty")
  [ "${got%%$'\n'*}" = none ] && [ "${got##*$'\n'}" != "$tools" ] || fail "without images: $got"
  said=$(grep -v 'recently-used\.xbel' "$scratch/stderr" | grep -iE 'icon|warning')  # the toolkit's noise on a fresh home
  [ -z "$said" ] || fail "standard error: $said"
  ;;
desktop_files)
  desktop-file-validate "$src"/data/*.desktop || fail "desktop-file-validate"
  appstreamcli validate --no-net "$src"/data/*.metainfo.xml || fail "appstreamcli validate"
  for page in "$src"/data/*.1; do
    warned=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$warned" ] || fail "$page: $warned"
  done
  # The file type, in a data folder of its own.
  export XDG_DATA_HOME="$scratch/share" XDG_DATA_DIRS="$scratch/share"
  mkdir -p "$scratch/share/mime/packages"
  cp "$src/data/koma-mime.xml" "$scratch/share/mime/packages/koma.xml"
  update-mime-database "$scratch/share/mime" || fail "update-mime-database"
  document "$scratch/a.koma"
  cp "$scratch/a.koma" "$scratch/renamed"
  sed '1s/$/ /' "$scratch/a.koma" >"$scratch/blank"  # "koma1.0 ": another first line
  for f in a.koma renamed blank; do
    type=$(gio info -a standard::content-type "$scratch/$f" | sed -n 's/.*content-type: //p')
    want=application/x-koma; [ "$f" = blank ] && want=text/plain
    [ "$type" = "$want" ] || fail "$f is $type, not $want"
  done
  ;;
debian_package)
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; fail "cpack"; }
  version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")/\1/p' "$build/CPackConfig.cmake")
  deb="$scratch/pkg/koma_${version}_$(dpkg --print-architecture).deb"
  [ -f "$deb" ] || fail "no $deb: $(ls "$scratch/pkg")"
  fields=$(dpkg-deb -f "$deb" Section Depends)
  grep -qx 'Section: graphics' <<<"$fields" || fail "$fields"
  for dep in fonts-ipafont-gothic libgtk2.0-0 libc6; do
    grep -q "Depends:.*\b$dep\b" <<<"$fields" || fail "no $dep in $fields"
  done
  install_into "$scratch/root"
  listed=$(dpkg-deb --contents "$deb" | awk '/^-/ {print $NF}' | sed 's|^\./||' | LC_ALL=C sort)
  [ "$listed" = "$(files_below "$scratch/root")" ] ||
    fail "package and install differ: $(diff <(echo "$listed") <(files_below "$scratch/root"))"
  dpkg-deb -x "$deb" "$scratch/unpacked"
  check_windows "$scratch/unpacked/usr/bin/koma" /
  ;;
*) fail "unknown check $check" ;;
esac
echo "$check: ok"
