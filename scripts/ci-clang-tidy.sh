#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over every source file under src/, with the
# compile commands of an existing build, and fails on any finding in src/.
#
#   ci-clang-tidy.sh BUILD_DIR [FILE...]     FILEs (paths under src/) narrow the run
#
# Environment: JOBS (parallel runs, default the number of cores), CLANG_TIDY (the binary).
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_DIR [FILE...]" >&2
    exit 2
fi
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
shift
tidy=${CLANG_TIDY:-clang-tidy-14}
jobs=${JOBS:-$(nproc)}

if [ ! -f "$build/compile_commands.json" ]; then
    echo "no compile_commands.json in $build: configure and build it first" >&2
    exit 2
fi

# Our translation units only: not moc output or other generated files in the build folder.
mapfile -t files < <(python3 - "$build/compile_commands.json" "$repo/src/" "$@" <<'PY'
import json, os, sys
db, prefix, wanted = sys.argv[1], sys.argv[2], [os.path.abspath(f) for f in sys.argv[3:]]
seen = set()
for entry in json.load(open(db)):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    if path.startswith(prefix) and path not in seen and (not wanted or path in wanted):
        seen.add(path)
        print(path)
PY
)
if [ ${#files[@]} -eq 0 ]; then
    echo "no source files under $repo/src in $build/compile_commands.json" >&2
    exit 2
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
echo "clang-tidy: ${#files[@]} files, $jobs at a time"

# One log per file, so parallel runs do not interleave; the exit status marks a failed file.
export tidy build out repo
printf '%s\n' "${files[@]}" | xargs -P "$jobs" -I{} bash -c '
    f=$1
    log=$out/$(echo "$f" | tr / _).log
    if ! "$tidy" -p "$build" --quiet --header-filter="^$repo/src/" "$f" >"$log" 2>&1; then
        touch "$log.failed"
    fi
' _ {}

failed=0
for log in "$out"/*.log; do
    if [ -e "$log.failed" ]; then
        failed=$((failed + 1))
        # Drop the "N warnings generated" chatter about system headers.
        grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' "$log" || true
    fi
done

# A finding in a header shows once per file including it: count each place once.
# (grep finds nothing in a clean run; that is no error)
findings=$(cat "$out"/*.log | { grep -E '^/[^ ]+:[0-9]+:[0-9]+: (warning|error): ' || true; } |
    sort -u | wc -l)
echo "clang-tidy: $findings findings, $failed of ${#files[@]} files failed"
[ "$failed" -eq 0 ]
