#!/usr/bin/env bash
# Sets everything up, builds, writes a demo data directory and opens the sales screen on it.
# Without a display the screen runs under Xvfb: a screenshot is saved and its path printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"
demo="${REGVENDA_DEMO_DIR:-$root/build/demo-data}"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DREGVENDA_TESTS=OFF -DREGVENDA_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target regvenda regvenda-demo cds

[ -f "$demo/PARAMETROSORV.CDS" ] || "$build/bin/regvenda-demo" "$demo"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/bin/regvenda" --data-dir "$demo" "$@"
fi

shot="$root/build/screen.png"
echo "No display found: running the screen under Xvfb and saving a screenshot."
xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/regvenda" --data-dir "$demo" --screenshot "$shot" "$@"
echo "Screenshot: $shot"
