#!/bin/sh
# Runs every fuzz target for a fixed time, one after another, on a working
# copy of its seed corpus. Usage: fuzz.sh [seconds per target, default 60]
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/install-deps.sh test
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for fuzzer in build/fuzz/tests/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    work="build/fuzz/corpus-$name"
    mkdir -p "$work" "build/fuzz/findings-$name"
    echo "== $name for $seconds s"
    "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="build/fuzz/findings-$name/" "$work" "tests/fuzz/corpus/$name"
done
