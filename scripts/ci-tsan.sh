#!/usr/bin/env bash
# Builds the tests of the look-ahead worker and of the parallel folder listing with
# ThreadSanitizer in BUILD_DIR (only those targets, so it stays quick) and runs them; any report
# fails the run.
#
#   ci-tsan.sh BUILD_DIR
#
# Environment: JOBS (parallel build jobs, default the number of cores).
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$1
jobs=${JOBS:-$(nproc)}
targets=(test_look_ahead test_fs_threads)

log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" -DCMAKE_CXX_FLAGS="-fsanitize=thread" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DZELVIA_BUILD_BENCHMARKS=OFF \
        -DCMAKE_UNITY_BUILD=ON \
        >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
cmake --build "$build" --parallel "$jobs" --target "${targets[@]}"

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$repo/tests/sanitizers/tsan.supp"
cd "$build"
ctest --output-on-failure --no-tests=error -L threads
