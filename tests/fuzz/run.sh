#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while.
# Usage: tests/fuzz/run.sh [build folder, default build-fuzz] [seconds per target, default 25]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build-fuzz}"
seconds="${2:-${QUILLMAP_FUZZ_SECONDS:-25}}"
[ "$seconds" -gt 0 ] || exit 0

cmake -S "$root/tests/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for target in fuzz_ini fuzz_fields fuzz_listing; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    log="$build/$target.log"
    echo "Fuzzing $target for ${seconds}s"
    if ! (cd "$build" && "./$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
        -print_final_stats=1 "$corpus" "$root/tests/fuzz/seeds/$target" >"$log" 2>&1); then
        tail -n 40 "$log" >&2
        echo "$target found a fault; the input that shows it is in $build" >&2
        exit 1
    fi
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss)' "$log" || true
done
