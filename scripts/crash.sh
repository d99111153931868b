#!/usr/bin/env bash
# The crash test by hand: ROUNDS rounds (200 by default) of a sale killed at a random step and
# settled by the host started again, checked after each round. Builds with the sanitizers,
# as the suite does. REGVENDA_CRASH_SEED replays a run; REGVENDA_CRASH_KEEP=DIR keeps its
# data directory and the printer memory journal for a look afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/asan"
rounds=${1:-200}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DREGVENDA_SANITIZE=ON >/dev/null
cmake --build "$build" --target test_crash crash_driver -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export REGVENDA_CRASH_ROUNDS="$rounds"
exec "$build/bin/test_crash"
