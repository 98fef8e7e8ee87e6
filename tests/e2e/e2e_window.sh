#!/usr/bin/env bash
# The real program: its window appears with its title and fixed size, is photographed, and
# closes with status 0 when the window manager asks, having written nothing on its output.
set -uo pipefail
ZELVIA=$1
X11_CLOSE=$2
SHOT=$3
source "$(dirname "$0")/lib.sh"
start_display
mkdir -p "$WORK/start"
start_app "$WORK/start"

width=$WIN_W
height=$WIN_H
echo "window $WINDOW: ${width}x${height} at $WIN_X,$WIN_Y"
# The inner area is 526 x 277 pixels at 96 DPI, with the menu bar above it.
[[ "$width" -eq 526 ]] || fail "width $width, expected 526"
[[ "$height" -gt 277 && "$height" -lt 340 ]] || fail "height $height, expected 277 plus a menu bar"

window_shot "$SHOT" || fail "no screenshot"
[[ -s "$SHOT" ]] || fail "empty screenshot"
echo "screenshot: $SHOT"

close_app
expect_quiet_log
echo "PASS"
