#!/usr/bin/env bash
# The program as installed, checked from outside.
# Usage: install_test.sh CHECK BUILD_DIR SOURCE_DIR, CHECK one of
#   tree_runs_from_root  install into a scratch DESTDIR: every file is there, koma
#                        started in / shows its icon and tool images as in the
#                        source tree, the thumbnailer entry's command makes a thumbnail
#   no_icon_is_quiet     koma with neither images nor data folder: no icon and
#                        nothing said about it on standard error
#   desktop_files        desktop entry, metainfo, file type, manual pages
#   windows_match_entry  every window's WM_CLASS is the desktop entry's
#                        StartupWMClass; koma completes the startup notification
#   options_without_display  koma --help and --version answer with no display; any
#                        other argument still goes to the toolkit
#   debian_package       dpkg-buildpackage: the flags reach the compiler, lintian
#                        and hardening-check are content, name, fields, every
#                        installed file, and the unpacked tree runs from / as above
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
  # Built from a copy of the sources, so that the tree stays clean.
  mkdir -p "$scratch/pkg/koma"
  tar -C "$src" --exclude='./build*' --exclude=./.git -cf - . | tar -x -C "$scratch/pkg/koma"
  (cd "$scratch/pkg/koma" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -us -uc -b) \
    >"$scratch/build.log" 2>&1 || { tail -40 "$scratch/build.log"; fail "dpkg-buildpackage"; }
  version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
  [ "${version%-*}" = "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" ] ||
    fail "the package's version $version is not the program's"
  name="koma_${version}_$(dpkg --print-architecture)"
  deb="$scratch/pkg/$name.deb"
  for f in "$deb" "$scratch/pkg/koma-dbgsym_${deb#*_}" "$scratch/pkg/$name.changes"; do
    [ -f "$f" ] || fail "no $f: $(ls "$scratch/pkg")"
  done
  # The distribution's flags, hardening included, on the compile and link lines.
  flags="-g -O2 -fstack-protector-strong -D_FORTIFY_SOURCE=2"
  case $(dpkg --print-architecture) in amd64 | i386) flags+=" -fstack-clash-protection -fcf-protection" ;; esac
  for step in '/base/text.cpp.o -c ' ' -o koma ' ' -o koma-export '; do
    line=$(grep -F -- "$step" "$scratch/build.log") || fail "no line with \"$step\" in the build log"
    want=$flags; [[ $step == *" -o "* ]] && want+=" -Wl,-z,relro -Wl,-z,now"
    for flag in $want; do grep -qF -- " $flag " <<<"$line" || fail "no $flag in: $line"; done
  done
  if grep -E -- ' -O([013sg]|fast) ' "$scratch/build.log"; then fail "another optimisation level"; fi
  lintian --fail-on error,warning "$scratch/pkg/$name.changes" >"$scratch/lintian" 2>&1 ||
    fail "lintian: $(cat "$scratch/lintian")"
  fields=$(dpkg-deb -f "$deb" Section Depends)
  grep -qx 'Section: graphics' <<<"$fields" || fail "$fields"
  for dep in fonts-ipafont-gothic libgtk2.0-0 libc6; do
    grep -q "Depends:.*\b$dep\b" <<<"$fields" || fail "no $dep in $fields"
  done
  # What the install rules put in place, with the names dh gives.
  install_into "$scratch/root"
  want=$({ files_below "$scratch/root" | sed 's|^usr/share/man/.*|&.gz|'
           printf 'usr/share/doc/koma/%s\n' copyright changelog.Debian.gz
           for f in "$src"/examples/*.koma; do echo "usr/share/doc/koma/examples/${f##*/}"; done
           echo usr/share/lintian/overrides/koma; } | LC_ALL=C sort)
  listed=$(dpkg-deb --contents "$deb" | awk '/^-/ {print $NF}' | sed 's|^\./||' | LC_ALL=C sort)
  [ "$listed" = "$want" ] || fail "package and install differ: $(diff <(echo "$want") <(echo "$listed"))"
  dpkg-deb -x "$deb" "$scratch/unpacked"
  # Control-flow protection cannot be had on Debian 12: glibc's start files
  # (Scrt1.o, crti.o, crtn.o) carry no IBT/SHSTK note, so the linker drops it.
  hardening-check --nocfprotection "$scratch/unpacked/usr/bin/koma" "$scratch/unpacked/usr/bin/koma-export" ||
    fail "hardening-check"
  check_windows "$scratch/unpacked/usr/bin/koma" /
  ;;
windows_match_entry)
  entry="$src/data/invalid.koma.editor.desktop"
  grep -qx StartupNotify=true "$entry" || fail "the desktop entry asks for no startup notification"
  "$build/tests/koma_startup_watch" 10 >"$scratch/startup" & watch=$!
  for _ in $(seq 100); do grep -q listening "$scratch/startup" && break; sleep 0.05; done
  id="koma-test-$$_TIME0"
  (cd "$src/assets" && DESKTOP_STARTUP_ID=$id exec "$build/koma" >/dev/null 2>&1) & pid=$!
  wait $watch || fail "no startup notification within 10 s"
  message=$(sed -n 2p "$scratch/startup")  # the value may be quoted
  [ "${message//\"/}" = "remove: ID=$id" ] || fail "startup message: $message"
  class=$(sed -n 's/^StartupWMClass=//p' "$entry")
  windows=$(timeout 10 xdotool search --all --sync --onlyvisible --pid "$pid" --name '^(KOMA ver 1\.0:.*|TOOL|PALET)$')
  [ "$(wc -w <<<"$windows")" = 3 ] || fail "windows: $windows"
  for w in $windows; do
    got=$(xprop -id "$w" WM_CLASS)
    [ -n "$class" ] && [ "$got" = "WM_CLASS(STRING) = \"koma\", \"$class\"" ] ||
      fail "window $w: $got, the desktop entry's class \"$class\""
  done
  ;;
options_without_display)
  unset DISPLAY
  version=$(sed -n "s/^CMAKE_PROJECT_VERSION:STATIC=//p" "$build/CMakeCache.txt")
  # A toolkit option before it changes nothing.
  for args in --help --version "--display=:9 --version"; do
    out=$("$build/koma" $args 2>"$scratch/stderr") || fail "koma $args: exit status $?"
    [ ! -s "$scratch/stderr" ] || fail "koma $args: $(cat "$scratch/stderr")"
    case $args in
    --help) [ "${out%%$'\n'*}" = "使い方: koma [GTK のオプション] [FILE.koma]" ] &&
              grep -q -- "--help " <<<"$out" && grep -q -- "--version " <<<"$out" || fail "help: $out" ;;
    *) [ "$out" = "koma $version" ] || fail "koma $args: $out, not koma $version" ;;
    esac
  done
  # A document named like an option, and any other option, need the display.
  for args in "-- --help" --helpx; do
    "$build/koma" $args >/dev/null 2>"$scratch/stderr" && fail "koma $args started without a display"
    grep -q "cannot open display" "$scratch/stderr" || fail "koma $args: $(cat "$scratch/stderr")"
  done
  page=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$src/data/koma.1" 2>/dev/null)
  for option in --help --version; do
    grep -qE "^ +$option( |$)" <<<"$page" || fail "koma(1) lists no $option"
  done
  ;;
*) fail "unknown check $check" ;;
esac
echo "$check: ok"
