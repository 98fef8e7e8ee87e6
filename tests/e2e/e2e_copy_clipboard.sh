#!/usr/bin/env bash
# Copy in the real program under Xvfb: a file is chosen with the mouse, copied with F3 or with
# コピー from the display box's popup, and another program reads the picture from the
# clipboard while Zelvia keeps serving it.
set -uo pipefail
ZELVIA=$1
X11_CLOSE=$2
MODE=$3 # f3, popup, or overwrite: F3 after the shown file was overwritten in place
source "$(dirname "$0")/lib.sh"
need xclip identify convert timeout

start_display
mkdir -p "$WORK/start"
convert -size 120x80 xc:'#ff0000' BMP3:"$WORK/start/red.bmp" || fail "cannot make the picture"
start_app "$WORK/start"

# The first entry of the file list: the list starts at (184, 120) in the inner area.
click_at 200 128 1
case "$MODE" in
f3)
    xdotool key F3
    ;;
overwrite)
    # Saved in place, as many editors do: what was shown is gone, so Copy refuses.
    convert -size 60x40 xc:'#0000ff' BMP3:- >"$WORK/start/red.bmp" || fail "cannot overwrite"
    xdotool key F3
    sleep 1
    name=$(xdotool getwindowname "$(xdotool getactivewindow)")
    [[ "$name" == "クリップボードエラー" ]] || fail "expected the box クリップボードエラー, got '$name'"
    ! timeout 5 xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -qx 'image/png' ||
        fail "a picture reached the clipboard"
    exit 0
    ;;
popup)
    # The display box spans (0, 104) to (169, 273); its centre opens the popup.
    click_at 84 188 3
    xdotool key c
    ;;
*)
    fail "unknown mode $MODE"
    ;;
esac
sleep 0.5

targets=$(timeout 10 xclip -selection clipboard -t TARGETS -o) || fail "no clipboard targets"
echo "targets: $(echo "$targets" | tr '\n' ' ')"
grep -qx 'image/png' <<<"$targets" || fail "image/png is not offered"
timeout 10 xclip -selection clipboard -t image/png -o >"$WORK/copied.png" ||
    fail "the PNG could not be read"
size=$(identify -format '%w %h' "$WORK/copied.png") || fail "the clipboard PNG is not a picture"
[[ "$size" == "120 80" ]] || fail "copied picture is $size, expected 120 80"
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended while the clipboard was read"

close_app
echo "PASS"
