#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over every source file under src/, with the
# compile commands of an existing build, through run-clang-tidy; fails on any finding in src/
# (the libraries' headers included through their include trees in the build folder count).
#
#   ci-clang-tidy.sh BUILD_DIR [FILE...]     FILEs (paths under src/) narrow the run
#   ci-clang-tidy.sh --configure BUILD_DIR    configures BUILD_DIR first (normal preset, one
#                                             compiler run per source, nothing built)
#
# Each source is read on its own, so a file that does not include what it uses fails here even
# where a unity build compiled it beside the sources that do.
#
# Environment: JOBS (parallel runs, default the number of cores), CLANG_TIDY (the binary),
# RUN_CLANG_TIDY (the driver).
set -euo pipefail

configure=0
if [ "${1:-}" == --configure ]; then
    configure=1
    shift
fi
if [ $# -lt 1 ]; then
    echo "usage: $0 [--configure] BUILD_DIR [FILE...]" >&2
    exit 2
fi
repo=$(cd "$(dirname "$0")/.." && pwd)
if [ "$configure" -eq 1 ]; then
    # The include trees and compile commands are written when configuring; nothing of ours
    # is generated at build time that src/ includes.
    if ! out=$(cmake -S "$repo" --preset normal -B "$1" -DCMAKE_UNITY_BUILD=OFF 2>&1); then
        echo "$out" >&2
        exit 1
    fi
fi
build=$(cd "$1" && pwd)
shift
tidy=${CLANG_TIDY:-clang-tidy-14}
driver=${RUN_CLANG_TIDY:-run-clang-tidy-14}
jobs=${JOBS:-$(nproc)}

if [ ! -f "$build/compile_commands.json" ]; then
    echo "no compile_commands.json in $build: configure and build it first" >&2
    exit 2
fi

# Our translation units only (not moc output or other generated files in the build folder);
# the driver takes regular expressions on the path.
escape() { printf '%s' "$1" | sed 's/[][\.*^$+?(){}|]/\\&/g'; }
patterns=()
if [ $# -eq 0 ]; then
    patterns=("^$(escape "$repo/src/")")
else
    for f in "$@"; do
        patterns=("${patterns[@]}" "^$(escape "$(realpath -m "$f")")\$")
    done
fi

# The build's precompiled headers are GCC's, which clang cannot read: clang-tidy gets the
# compile commands without them and parses each file's own includes.
log=$(mktemp)
commands=$(mktemp -d)
trap 'rm -rf "$log" "$commands"' EXIT
sed -e 's# -Winvalid-pch -include [^ ]*/cmake_pch\.hxx##g' "$build/compile_commands.json" \
    >"$commands/compile_commands.json"
status=0
set +o pipefail
"$driver" -clang-tidy-binary "$(command -v "$tidy")" -p "$commands" -j "$jobs" -quiet \
    -header-filter="^($(escape "$repo/src/")|$(escape "$build/include/"))" "${patterns[@]}" 2>&1 |
    sed 's/\x1b\[[0-9;]*m//g' >"$log"
status=${PIPESTATUS[0]}
set -o pipefail

# Only the findings and what explains them: not the command lines the driver echoes, nor the
# "N warnings generated" chatter about system headers.
grep -v -E -e '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' \
    -e "^$(escape "$(command -v "$tidy")") " -e '^Running clang-tidy for ' -e '^Suppressed ' \
    -e '^Use -header-filter' "$log" || true

# A finding in a header shows once per file including it: count each place once.
# (grep finds nothing in a clean run; that is no error)
findings=$({ grep -E '^/[^ ]+:[0-9]+:[0-9]+: (warning|error): ' "$log" || true; } | sort -u | wc -l)
files=$({ grep -c -E "^(Running clang-tidy for |$(escape "$(command -v "$tidy")") )" "$log" || true; })
echo "clang-tidy: $findings findings over $files files"
if [ "$files" -eq 0 ]; then
    echo "no source files under $repo/src in $build/compile_commands.json" >&2
    exit 2
fi
[ "$status" -eq 0 ] && [ "$findings" -eq 0 ]
