#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan, as fuzz/run.sh does) in BUILD_DIR and
# runs each once over its seed corpus and its kept crash inputs, without fuzzing (-runs=0): a
# seed or a past crash that trips a sanitizer, hangs or leaks fails the run.
#
#   ci-fuzz.sh BUILD_DIR
#
# Environment: ZELVIA_CORPUS (seed corpus, default ../shared/corpus beside the repository),
# JOBS (build jobs, default the number of cores), FUZZ_TIMEOUT (seconds per input, default 10).
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$1
jobs=${JOBS:-$(nproc)}
corpus=${ZELVIA_CORPUS:-$repo/../shared/corpus}
# shellcheck source=ci-sanitizer-env.sh
source "$repo/scripts/ci-sanitizer-env.sh"

# The seed folders of each target.
declare -A seeds=()
targets=()
while IFS=$'\t' read -r target folders; do
    if [[ "$target" == fuzz_* ]] && [ -f "$repo/fuzz/$target.cpp" ]; then
        seeds[$target]=$folders
        targets+=("$target")
    fi
done <"$repo/fuzz/seeds.tsv"

# The fuzz preset: Debug (-O0, line tables only) builds fastest. Each input must still finish
# within the timeout: a file the window takes a second over takes a few here, so a slow seed or
# kept input fails the run instead of passing unnoticed.
timeout=${FUZZ_TIMEOUT:-10}
log=$(mktemp)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zelvia-ci-fuzz.XXXXXX")
trap 'rm -rf "$log" "$scratch"' EXIT
if ! cmake -S "$repo" --preset fuzz -B "$build" >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
cmake --build "$build" --parallel "$jobs" --target "${targets[@]}"

if [ ! -d "$corpus" ]; then
    echo "no seed corpus at $corpus: only the kept crash inputs are replayed"
fi
failed=0
for target in "${targets[@]}"; do
    inputs=()
    for folder in ${seeds[$target]}; do
        if [ -d "$corpus/$folder" ]; then
            inputs+=("$corpus/$folder")
        fi
    done
    if [ -d "$repo/fuzz/regressions/$target" ]; then
        inputs+=("$repo/fuzz/regressions/$target")
    fi
    count=0
    max_len=1
    if [ ${#inputs[@]} -gt 0 ]; then
        count=$(find "${inputs[@]}" -type f | wc -l)
        max_len=$(find "${inputs[@]}" -type f -printf '%s\n' | sort -n | tail -n 1)
        max_len=$((max_len > 0 ? max_len : 1))
    fi
    # libFuzzer keeps inputs it finds in the first folder: an empty scratch one, so the seed
    # folders stay untouched. -max_len keeps large inputs whole (the default cuts at 1 MiB).
    mkdir -p "$scratch/$target/new"
    set +e
    QT_QPA_PLATFORM=offscreen "$build/fuzz/$target" -runs=0 -max_len="$max_len" \
        -rss_limit_mb=2048 -timeout="$timeout" -artifact_prefix="$scratch/$target/" \
        "$scratch/$target/new" "${inputs[@]}" >"$scratch/$target/log" 2>&1
    status=$?
    set -e
    if [ "$status" -eq 0 ]; then
        echo "ok      $target: $count inputs"
    else
        echo "FAILED  $target: exit code $status over $count inputs; its log:"
        tail -n 60 "$scratch/$target/log"
        failed=$((failed + 1))
    fi
done
echo "fuzz replay: ${#targets[@]} targets, $failed failed"
[ "$failed" -eq 0 ]
