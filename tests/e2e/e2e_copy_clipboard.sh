#!/usr/bin/env bash
# Copy in the real program: a file is chosen with the mouse, copied with F3 or with コピー from
# the display box's popup (which opens at the pointer), and another program reads the picture
# from the clipboard while Zelvia keeps serving it.
set -uo pipefail
ZELVIA=$1
X11_CLOSE=$2
MODE=$3 # f3, popup, or overwrite: F3 after the shown file was overwritten in place
source "$(dirname "$0")/lib.sh"
need identify convert timeout

start_display
mkdir -p "$WORK/start"
convert -size 120x80 xc:'#ff0000' BMP3:"$WORK/start/red.bmp" || fail "cannot make the picture"
start_app "$WORK/start"

# The first entry of the file list: the list starts at (184, 120) in the inner area.
click_at 200 128 1
case "$MODE" in
f3)
    key F3
    ;;
overwrite)
    # Saved in place, as many editors do: what was shown is gone, so Copy refuses.
    convert -size 60x40 xc:'#0000ff' BMP3:- >"$WORK/start/red.bmp" || fail "cannot overwrite"
    key F3
    wait_window "クリップボードエラー" >/dev/null ||
        fail "expected the box クリップボードエラー, got '$(window_name "$(active_window)")'"
    ! clipboard_types 2>/dev/null | grep -qx 'image/png' || fail "a picture reached the clipboard"
    exit 0
    ;;
popup)
    # The display box spans (0, 104) to (169, 273); its centre opens the popup. The picture
    # fills the box's top left, so the popup's first item just below and right of the pointer
    # covers red only if the popup opened there.
    window_shot "$WORK/before.png" || fail "no screenshot"
    click_at 60 140 3
    window_shot "$WORK/popup.png" || fail "no screenshot"
    red_at() { convert "$1" -format "%[fx:p{$2,$3}.r > 0.9 && p{$2,$3}.g < 0.1]" info:; }
    [[ "$(red_at "$WORK/before.png" 70 $((MENU + 150)))" == 1 ]] || fail "the picture is not shown"
    [[ "$(red_at "$WORK/popup.png" 70 $((MENU + 150)))" == 0 ]] ||
        fail "no popup just below and right of the pointer"
    key c
    ;;
*)
    fail "unknown mode $MODE"
    ;;
esac
sleep 0.5

targets=$(clipboard_types) || fail "no clipboard targets"
echo "targets: $(echo "$targets" | tr '\n' ' ')"
grep -qx 'image/png' <<<"$targets" || fail "image/png is not offered"
clipboard_get image/png >"$WORK/copied.png" ||
    fail "the PNG could not be read"
size=$(identify -format '%w %h' "$WORK/copied.png") || fail "the clipboard PNG is not a picture"
[[ "$size" == "120 80" ]] || fail "copied picture is $size, expected 120 80"
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended while the clipboard was read"

close_app
expect_quiet_log
echo "PASS"
