#!/usr/bin/env bash
# Runs bench_walk under a private X server with a window manager (as the end-to-end tests do).
#   run_walk.sh BUILD_DIR [steps]
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
shift
# shellcheck source=../../tests/e2e/lib.sh
source "$repo/tests/e2e/lib.sh"
start_display
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=xcb "$build/bench/walk/bench_walk" "$@"
