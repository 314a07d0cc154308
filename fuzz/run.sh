#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for a bounded time:
#
#   fuzz/run.sh [SECONDS]      default 30 seconds per target
#
# Inputs found along the way are kept in build/fuzz/corpus/<target> (outside the repository).
# A failure leaves its input as build/fuzz/crash-*; copy it into fuzz/regressions/<target>/
# and the ordinary test run replays it from then on.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-30}
build="$repo_root/build/fuzz"

CC=clang CXX=clang++ cmake -S "$repo_root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_FUZZ=ON -DVORN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzz_handshake fuzz_frame fuzz_native_messaging fuzz_library_header

status=0
for target in handshake frame native_messaging library_header; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    echo "fuzz: $target for ${seconds}s"
    if ! (cd "$build" && "./fuzz_$target" -max_total_time="$seconds" -max_len=4096 \
            -print_final_stats=1 "$corpus" "$repo_root/fuzz/corpus/$target" 2>&1 |
            tail -n 12); then
        status=1
    fi
done
exit $status
