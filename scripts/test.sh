#!/usr/bin/env bash
# Installs what is missing, then checks everything CI checks, in this order:
#   1. formatting (clang-format)
#   2. the normal build (RelWithDebInfo, build-ci) and the whole CTest suite
#   3. static analysis of src/ (clang-tidy, with build-ci's compile commands)
#   4. the sanitizer build (ASan + UBSan + LSan, build-asan) and the whole CTest suite again
#   5. the look-ahead worker's and the parallel listing's tests under ThreadSanitizer (build-tsan,
#      those targets only)
#   6. the libFuzzer targets (clang, build-fuzz-ci) run once over their seeds and crash inputs
# Every step runs even when an earlier one failed, so one run shows every problem; the exit
# status is non-zero when any step failed.
#
# Environment: JOBS (parallel jobs, default the number of cores), ZELVIA_CI_STEPS (a subset,
# e.g. "format tidy"; default all: format build tidy sanitize tsan fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --test
export JOBS=${JOBS:-$(nproc)}
# A compiler cache makes repeated runs on one machine fast. Paths are hashed relative to the
# repository, so clones in other folders share what was compiled.
if command -v ccache >/dev/null 2>&1; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
    export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
    # The tests' precompiled headers (cmake/ZelviaPch.cmake) are cached only with these.
    export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}
fi
steps=${ZELVIA_CI_STEPS:-format build tidy sanitize tsan fuzz}
start=$SECONDS
results=()
failed=0

# step NAME TITLE COMMAND...: runs one check (a script of its own, so `set -e` holds inside).
step() {
    local name=$1 title=$2
    shift 2
    [[ " $steps " == *" $name "* ]] || return 0
    local began=$SECONDS
    printf '\n======== %s ========\n' "$title"
    local outcome=ok
    if ! "$@"; then
        outcome=FAILED
        failed=1
    fi
    local took=$((SECONDS - began))
    printf -- '-------- %s: %s (%dm%02ds)\n' "$title" "$outcome" $((took / 60)) $((took % 60))
    results+=("$(printf '%-7s %3dm%02ds  %s' "$outcome" $((took / 60)) $((took % 60)) "$title")")
}

rm -f build-ci/ctest.log build-asan/ctest.log
step format "Formatting (clang-format)" scripts/ci-format.sh
step build "Normal build and tests (build-ci)" scripts/ci-build-test.sh build-ci normal
step tidy "Static analysis of src/ (clang-tidy)" scripts/ci-clang-tidy.sh build-ci
step sanitize "Sanitizer build and tests (build-asan)" scripts/ci-build-test.sh build-asan sanitize
step tsan "Thread sanitizer build of the look-ahead and parallel listing tests (build-tsan)" \
    scripts/ci-tsan.sh build-tsan
step fuzz "Fuzz targets over their seeds and crash inputs (build-fuzz-ci)" \
    scripts/ci-fuzz.sh build-fuzz-ci

total=$((SECONDS - start))
printf '\n======== Summary ========\n'
for build in build-ci build-asan; do
    if [ -f "$build/ctest.log" ]; then
        echo "$build:"
        sed -n -e '/tests passed, .* tests failed out of/p' -e '/^Total Test time/p' \
            -e '/^The following tests/,$p' "$build/ctest.log" | sed 's/^/    /'
    fi
done
printf '%s\n' "${results[@]}"
printf 'total %dm%02ds: %s\n' $((total / 60)) $((total % 60)) \
    "$([ "$failed" -eq 0 ] && echo "all checks passed" || echo "SOME CHECKS FAILED")"
exit "$failed"
