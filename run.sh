#!/usr/bin/env bash
# Installs what is missing, builds, and starts KOMA inside assets/, where it
# finds its images. A document given as argument is opened by its absolute path.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
doc=()
if [ $# -ge 1 ]; then
  case "$1" in /*) doc=("$1") ;; *) doc=("$PWD/$1") ;; esac
  shift
fi
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" -j"$(nproc)" --target koma
cd "$here/assets"
exec "$here/build/koma" "${doc[@]}" "$@"
