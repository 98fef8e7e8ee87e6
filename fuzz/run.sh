#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (in build-fuzz beside the sources) and runs one of
# them for a while on a scratch copy of its seed corpus, so nothing found lands in the repo.
#
#   fuzz/run.sh TARGET SECONDS      e.g. fuzz/run.sh fuzz_pe_icon 600
#
# Environment: ZELVIA_CORPUS (seed corpus, default ../shared/corpus beside the repository),
# FUZZ_SCRATCH (work folder, default a new folder under /tmp), FUZZ_JOBS (build jobs, 2).
# A unit that runs past 1 s or allocates more than 160 MB at once is a finding, as a crash is:
# the window must show or refuse any file within that. The harness itself takes about 300 MB
# with the seeds loaded, so the resident limit stays well above it.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 TARGET SECONDS" >&2
    exit 2
fi
target=$1
seconds=$2
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$repo/build-fuzz
corpus=${ZELVIA_CORPUS:-$repo/../shared/corpus}

seeds=$(awk -F'\t' -v t="$target" '$1 == t { print $2 }' "$repo/fuzz/seeds.tsv")
case $target in
    fuzz_pe_icon | fuzz_load_picture) max_len=262144 ;;
    fuzz_metafile) max_len=131072 ;;
    *) echo "unknown target $target" >&2; exit 2 ;;
esac

if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELVIA_BUILD_FUZZERS=ON \
        -DBUILD_TESTING=OFF -DZELVIA_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$build" -j"${FUZZ_JOBS:-2}" --target "$target"

scratch=${FUZZ_SCRATCH:-$(mktemp -d "/tmp/zelvia-$target.XXXXXX")}
case $scratch in
    "$repo"|"$repo"/*) echo "the scratch folder must lie outside the repository" >&2; exit 2 ;;
esac
mkdir -p "$scratch/corpus" "$scratch/artifacts"
for folder in $seeds; do
    if [ -d "$corpus/$folder" ]; then
        find "$corpus/$folder" -type f -exec cp -t "$scratch/corpus" --backup=numbered {} +
    else
        echo "no seeds in $corpus/$folder (absent)"
    fi
done
if [ -d "$repo/fuzz/regressions/$target" ]; then
    find "$repo/fuzz/regressions/$target" -type f ! -name '.*' \
        -exec cp -t "$scratch/corpus" --backup=numbered {} +
fi
echo "seeds: $(find "$scratch/corpus" -type f | wc -l) files in $scratch/corpus"

# Fontconfig keeps its caches for the life of the process; LeakSanitizer sees them as leaks.
printf 'leak:libfontconfig\n' >"$scratch/lsan.supp"

# One fuzzing process at a time, restarted after a timeout or a memory finding (each kept in the
# artifacts and counted below), so that one finding does not end the run.
# Freed blocks wait in AddressSanitizer's quarantine, which counts as resident memory; a small
# one keeps the RSS limit about the code under test.
set +e
LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$scratch/lsan.supp} \
ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:quarantine_size_mb=16} \
QT_QPA_PLATFORM=offscreen \
    "$build/fuzz/$target" "$scratch/corpus" \
    -max_total_time="$seconds" -max_len="$max_len" -rss_limit_mb=2048 -malloc_limit_mb=160 -timeout=1 \
    -fork=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -artifact_prefix="$scratch/artifacts/" -print_final_stats=1 \
    >"$scratch/log" 2>&1
status=$?
set -e

executions=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$scratch/log" | grep -o '[0-9]*$' | tail -n 1 || true)
# The forking parent reports its total in its progress lines instead.
executions=${executions:-$(grep -o '^#[0-9]*' "$scratch/log" | tr -d '#' | tail -n 1 || true)}
# Slow units (past half the timeout) are worth a look; timeouts count as findings.
crashes=$(find "$scratch/artifacts" -type f ! -name 'slow-unit-*' | wc -l)
echo "target:     $target"
echo "seconds:    $seconds"
echo "executions: ${executions:-unknown (see log)}"
echo "crashes:    $crashes"
echo "exit code:  $status"
echo "log:        $scratch/log"
find "$scratch/artifacts" -type f -printf "artifact:   %p\n"
[ "$crashes" -eq 0 ] && [ "$status" -eq 0 ]
