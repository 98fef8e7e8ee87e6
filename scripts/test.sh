#!/usr/bin/env bash
# Installs what is missing, then checks everything CI checks:
#   1. formatting (clang-format)
#   2. the normal build (RelWithDebInfo, build-ci) and the whole CTest suite
#   3. static analysis of src/ (clang-tidy, with the compile commands of build-tidy, a folder
#      configured for one compiler run per source and never built)
#   4. the sanitizer build (ASan + UBSan + LSan, build-asan) and the whole CTest suite again
#   5. the look-ahead worker's and the parallel listing's tests under ThreadSanitizer (build-tsan,
#      those targets only)
#   6. the libFuzzer targets (clang, build-fuzz-ci) run once over their seeds and crash inputs
# The normal and sanitizer builds are unity builds (several sources to a compiler run), which
# halves their time; static analysis reads every source on its own, so a file that does not
# include what it uses still fails. The suites spend much of their time waiting on the display
# servers of the end-to-end tests, so the fuzz build runs beside the normal suite and the
# ThreadSanitizer build beside the sanitizer suite; their output is shown once they end.
# (Static analysis beside the normal suite was tried: from an empty cache the two took a
# minute longer together than one after the other.) Every step runs even when an earlier one
# failed, so one run shows every problem; the exit status is non-zero when any step failed.
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

# beside NAME TITLE COMMAND...: queues a check to run in the background, after those queued
# before it (they would slow each other down), once `start_beside` is called; `collect` shows
# how each ended.
beside_names=()
beside_commands=()
beside() {
    local name=$1
    shift
    [[ " $steps " == *" $name "* ]] || return 0
    mkdir -p "$beside_dir/$name"
    printf '%s' "$1" >"$beside_dir/$name/title"
    shift
    beside_names+=("$name")
    beside_commands+=("$(printf '%q ' "$@")")
}

start_beside() {
    local names=("${beside_names[@]}") commands=("${beside_commands[@]}")
    (
        for i in "${!names[@]}"; do
            began=$SECONDS
            status=0
            # Lower priority: the suite's end-to-end tests wait on their windows.
            eval "nice -n 10 ${commands[$i]}" >"$beside_dir/${names[$i]}/log" 2>&1 || status=$?
            echo "$status $((SECONDS - began))" >"$beside_dir/${names[$i]}/end"
        done
    ) &
}

# collect: waits for the checks started beside, then reports each as `step` does.
collect() {
    wait
    local name status took title
    for name in "${beside_names[@]}"; do
        read -r status took <"$beside_dir/$name/end"
        title=$(cat "$beside_dir/$name/title")
        printf '\n======== %s (ran beside the tests) ========\n' "$title"
        cat "$beside_dir/$name/log"
        local outcome=ok
        if [ "$status" -ne 0 ]; then
            outcome=FAILED
            failed=1
        fi
        printf -- '-------- %s: %s (%dm%02ds)\n' "$title" "$outcome" $((took / 60)) $((took % 60))
        results+=("$(printf '%-7s %3dm%02ds  %s' "$outcome" $((took / 60)) $((took % 60)) "$title")")
    done
    beside_names=()
    beside_commands=()
}

beside_dir=$(mktemp -d)
trap 'rm -rf "$beside_dir"' EXIT
rm -f build-ci/ctest.log build-asan/ctest.log
step format "Formatting (clang-format)" scripts/ci-format.sh
step build "Normal build (build-ci)" env ZELVIA_UNITY_BUILD=ON \
    scripts/ci-build-test.sh build-ci normal build
beside fuzz "Fuzz targets over their seeds and crash inputs (build-fuzz-ci)" \
    scripts/ci-fuzz.sh build-fuzz-ci
start_beside
step build "Normal tests (build-ci)" scripts/ci-build-test.sh build-ci normal test
collect
step tidy "Static analysis of src/ (clang-tidy)" scripts/ci-clang-tidy.sh --configure build-tidy
step sanitize "Sanitizer build (build-asan)" scripts/ci-build-test.sh build-asan sanitize build
beside tsan "Thread sanitizer build of the look-ahead and parallel listing tests (build-tsan)" \
    scripts/ci-tsan.sh build-tsan
start_beside
step sanitize "Sanitizer tests (build-asan)" scripts/ci-build-test.sh build-asan sanitize test
collect

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
