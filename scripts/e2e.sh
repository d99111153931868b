#!/usr/bin/env bash
# Plays whole sales at the till under Xvfb, on the real X11 platform: the end-to-end tests
# touch and type into the real windows and save screenshots of the screen at the main
# moments of each sale (one folder per sale) for a person to look at.
#
#   scripts/e2e.sh [SHOTS_DIR [test options]]     SHOTS_DIR default: build/e2e-shots
#
# REGVENDA_BUILD_DIR: the build folder (default build/e2e, configured and built when needed).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${REGVENDA_BUILD_DIR:-$root/build/e2e}"
shots=$(realpath -m "${1:-$root/build/e2e-shots}")
[ $# -eq 0 ] || shift

"$root/scripts/setup.sh"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DREGVENDA_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target test_e2e

# With a sanitizer build: the X11 keyboard library reads bounded strings that are not
# terminated, which the strict string check reports although the read stays in bounds.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0"

rm -rf "$shots"
mkdir -p "$shots"
# The screen of a small shop's till; the sales screen is 800 x 600 and is centred on it.
# Its locale too: the C library then writes and reads decimal commas.
xvfb-run -a -s "-screen 0 1024x768x24" \
  env QT_QPA_PLATFORM=xcb LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8 REGVENDA_E2E_SHOTS="$shots" "$build/bin/test_e2e" "$@"
echo "Screenshots: $shots"
find "$shots" -name '*.png' | sort
