#!/usr/bin/env bash
# Sets everything up, checks that no include runs up the layers, builds with AddressSanitizer
# and UndefinedBehaviorSanitizer, starts a throw-away PostgreSQL server on loopback for the
# database tests, and runs the whole suite under the Brazilian locale.
# Then runs each table-reader fuzzer for a short while (REGVENDA_FUZZ_SECONDS, 30 by default).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/asan"
jobs=$(nproc)

"$root/scripts/setup.sh"
"$root/scripts/check-layers.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DREGVENDA_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$jobs"

# The database tests need a real server; the script writes where it is to an env file.
pgdir=$(mktemp -d /tmp/regvenda-pg.XXXXXX)
cleanup() { "$root/scripts/pg/stop.sh" "$pgdir" >/dev/null 2>&1 || true; rm -rf "$pgdir"; }
trap cleanup EXIT
"$root/scripts/pg/start.sh" "$pgdir"
set -a; . "$pgdir/env"; set +a

export QT_QPA_PLATFORM=offscreen
# As a till runs: the C library then writes and reads decimal commas (setup.sh generates it).
export LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$build" && ctest --output-on-failure -j"$jobs" --timeout 300)

"$root/fuzz/run.sh" "${REGVENDA_FUZZ_SECONDS:-30}"

# The Debian package: built in Release (programs only), lintian, and the programs run from
# the unpacked package.
"$root/tests/package/test.sh"
