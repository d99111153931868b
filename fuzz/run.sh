#!/usr/bin/env bash
# Builds the table-reader fuzzers (fuzz/fuzz_*.cpp) with clang (AddressSanitizer,
# UndefinedBehaviorSanitizer, coverage over the framework too) and runs each for N seconds
# (default 60), seeded with the sample tables in the form it reads (fuzz/seeds/json: some
# samples as `cds json` writes them, and one table of every type).
# Usage: fuzz/run.sh [SECONDS]
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${REGVENDA_FUZZ_BUILD:-$root/build/fuzz}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ not found, fuzzing skipped" >&2
  exit 0
fi

targets=()
for src in "$root"/fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DREGVENDA_FUZZ=ON -DREGVENDA_SANITIZE=ON -DREGVENDA_TESTS=OFF -DREGVENDA_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >/dev/null
cmake --build "$build" --target "${targets[@]}" -j"${REGVENDA_FUZZ_JOBS:-2}"

work=$(mktemp -d /tmp/regvenda-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for target in "${targets[@]}"; do
  corpus="$work/$target"
  mkdir -p "$corpus"
  case "$target" in
    fuzz_json) cp "$root"/fuzz/seeds/json/*.json "$corpus"/ ;;
    fuzz_xml) cp "$root"/tests/data/cds/*.xml "$corpus"/ ;;
    *) cp "$root"/tests/data/cds/*.cds "$corpus"/ ;;
  esac
  echo "fuzz: $target for ${seconds}s"
  "$build/bin/$target" -max_total_time="$seconds" -max_len=131072 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$corpus"
done
