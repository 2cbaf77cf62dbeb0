#!/usr/bin/env bash
# The layers of the program, from the ground up. A folder may include only
# folders at or below its own level; koma-export and the fuzz target may link
# nothing from the windows (app, tools, palette, preview).
# Usage: check.sh SOURCE_DIR [LINKER_MAP ...]
# Each violation is one line "file:line: ..." or "map: ..."; exit 1 if any.
set -u
src=$1; shift
layers=(base canvas files tools palette preview app cli)
windows='app|tools|palette|preview'

level() {
  local i
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}

# Includes: every '#include "folder/..."' of the product folders.
includes() {
  local folder from file line to
  for folder in "${layers[@]}"; do
    from=$(level "$folder")
    while IFS=: read -r file line to; do
      to=${to#*\"}; to=${to%%/*}
      [ "$(level "$to")" -ge 0 ] && [ "$(level "$to")" -le "$from" ] && continue
      echo "${file#"$src"/}:$line: $folder/ includes \"$to/\", which is not below it"
    done < <(grep -Hn '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$src/$folder"/*.h "$src/$folder"/*.cpp 2>/dev/null)
  done
}

# Linker maps: the archive members a program was linked with.
links() {
  local map members
  for map in "$@"; do
    [ -r "$map" ] || { echo "$map: no linker map"; continue; }
    members=$(grep -oE 'libkoma_[a-z]+(_[a-z]+)?\.a\([^)]+\)' "$map" | sort -u)
    [ -n "$members" ] || { echo "$map: lists no object of the program's libraries"; continue; }
    grep -E "^libkoma_($windows)(_[a-z]+)?\.a\(" <<<"$members" | sed "s|^|${map##*/}: links |"
  done
}

found=$( includes; links "$@" )
if [ -n "$found" ]; then
  echo "$found"
  exit 1
fi
for map in "$@"; do
  echo "${map##*/}: $(grep -oE 'libkoma_[a-z]+(_[a-z]+)?\.a\([^)]+\)' "$map" | sort -u | wc -l) objects of the libraries: $(grep -oE 'libkoma_[a-z]+(_[a-z]+)?\.a\([^)]+\)' "$map" | sort -u | sed -E 's/^libkoma_([a-z]+)[^(]*\(([^.]+)\..*/\1\/\2/' | tr '\n' ' ')"
done
echo "layers: ok"
