#!/usr/bin/env bash
# Installs what is missing, builds Zelvia in Release and starts it. Without a display it runs
# under Xvfb, saves a screenshot of the window and says where.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)

scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DZELVIA_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-release --parallel "$(nproc)"
program="$source_dir/build-release/src/zelvia"

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    exec "$program"
fi

# No display: a virtual one, long enough to take a picture of the window.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$displayfile"' EXIT
for _ in $(seq 50); do
    [[ -s "$displayfile" ]] && break
    sleep 0.1
done
display=":$(head -1 "$displayfile")"
(cd "$HOME" && DISPLAY="$display" "$program") &
app=$!
window=""
for _ in $(seq 100); do
    window=$(DISPLAY="$display" xdotool search --onlyvisible --name '^Zelvia$' 2>/dev/null |
        head -1 || true)
    [[ -n "$window" ]] && break
    sleep 0.1
done
sleep 1
shot="$source_dir/zelvia-screenshot.png"
if [[ -n "$window" ]] && DISPLAY="$display" import -window "$window" "$shot"; then
    echo "No display here: Zelvia ran under Xvfb; a screenshot of its window is in $shot"
else
    echo "No display here, and Zelvia's window did not appear under Xvfb" >&2
fi
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
