#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own. The layers, low to
# high: framework core < text < packet < data < ui < outside < runtime < fiscal, dialogs
# < module < host, tools; the office's take-up (office/) sits beside fiscal and dialogs, and
# its program (tools/sync/) never reaches the module either. Tests, benchmarks and fuzz targets may include anything.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

rank() {
  case "$1" in
    framework/core/*) echo 0 ;;
    framework/text/*) echo 1 ;;
    framework/packet/*) echo 2 ;;
    framework/data/*) echo 3 ;;
    framework/ui/*) echo 4 ;;
    outside/*) echo 5 ;;
    runtime/*) echo 6 ;;
    fiscal/* | dialogs/* | office/*) echo 7 ;;
    module/*) echo 8 ;;
    host/* | tools/*) echo 9 ;;
    *) echo -1 ;;
  esac
}

bad=0
cd "$root/src"
while IFS= read -r file; do
  own=$(rank "$file")
  while IFS= read -r inc; do
    [ -f "$inc" ] || continue
    theirs=$(rank "$inc")
    if [ "$theirs" -gt "$own" ] || { [[ $file == tools/sync/* ]] && [ "$theirs" -ge 8 ]; } || { [ "$theirs" -eq 7 ] && [ "$own" -eq 7 ] && [ "${inc%%/*}" != "${file%%/*}" ]; }; then
      echo "upward include: src/$file includes $inc"
      bad=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort)

[ "$bad" -eq 0 ] && echo "layers: no upward include"
exit "$bad"
