#!/usr/bin/env bash
# Configures and builds Zelvia in BUILD_DIR, then runs the whole CTest suite there.
#
#   ci-build-test.sh BUILD_DIR normal [PHASE]     RelWithDebInfo, benchmarks built too
#   ci-build-test.sh BUILD_DIR sanitize [PHASE]   ASan + UBSan + LSan (Debug at -O1), any report
#                                                 fails
# PHASE is build (configure, build, package), test (the suite of a build made before) or both,
# the default.
#
# The settings of each mode are the configure preset of that name in CMakePresets.json.
#
# A target that fails to build fails the run, but everything else is still built and tested so
# one run shows every problem. The ctest output is kept in BUILD_DIR/ctest.log.
# Environment: JOBS (parallel build jobs, default the number of cores), TEST_JOBS (parallel tests,
# default twice JOBS: the end-to-end tests spend most of their time waiting on their display
# server), CTEST_ARGS (more ctest arguments, e.g. "-R test_fs"), ZELVIA_UNITY_BUILD (ON or OFF:
# overrides the preset's unity build setting).
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: $0 BUILD_DIR normal|sanitize [build|test|both]" >&2
    exit 2
fi
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$1
mode=$2
phase=${3:-both}
jobs=${JOBS:-$(nproc)}
test_jobs=${TEST_JOBS:-$((2 * jobs))}

case $mode in
    normal) ;;
    sanitize)
        # shellcheck source=ci-sanitizer-env.sh
        source "$repo/scripts/ci-sanitizer-env.sh"
        ;;
    *)
        echo "unknown mode $mode" >&2
        exit 2
        ;;
esac

status=0
if [[ "$phase" != test ]]; then
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    unity=()
    [[ -n "${ZELVIA_UNITY_BUILD:-}" ]] && unity=("-DCMAKE_UNITY_BUILD=$ZELVIA_UNITY_BUILD")
    if ! cmake -S "$repo" --preset "$mode" -B "$build" "${unity[@]}" >"$log" 2>&1; then
        cat "$log" >&2
        exit 1
    fi

    if ! cmake --build "$build" --parallel "$jobs" -- -k 0; then
        echo "BUILD FAILED in $build: the tests of the targets that built still run" >&2
        status=1
    fi

    # The Debian package, whose contents the install test compares with the installed tree.
    if [[ "$mode" == normal ]] && ! (cd "$build" && cpack -G DEB >cpack.log 2>&1); then
        cat "$build/cpack.log" >&2
        echo "PACKAGE FAILED in $build" >&2
        status=1
    fi
fi
[[ "$phase" == build ]] && exit "$status"

# shellcheck disable=SC2086 # CTEST_ARGS is a list of words
if ! (cd "$build" && ctest --output-on-failure --no-tests=error --parallel "$test_jobs" \
        ${CTEST_ARGS:-} 2>&1 | tee ctest.log; exit "${PIPESTATUS[0]}"); then
    status=1
fi
exit "$status"
