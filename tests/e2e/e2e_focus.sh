#!/usr/bin/env bash
# Only the user chooses a file, on a desktop with a window manager: the focus arriving in the
# file list (start, Tab, a menu or the popup closing) chooses nothing, and the commands refuse
# or act on what the user chose. Driven by real key presses and mouse clicks.
set -uo pipefail
ZELVIA=$1
X11_CLOSE=$2
source "$(dirname "$0")/lib.sh"
need identify convert timeout

start_with_two_bitmaps

# Expects a message box titled $1 to be open and to have the focus, then closes it with Enter
# and expects the focus back on the main window.
expect_refusal() {
    local box
    box=$(wait_window "$1" 5) || fail "$2: no message box titled $1"
    [[ "$(active_window)" == "$box" ]] || fail "$2: the box $1 does not have the focus"
    key Return
    [[ -z "$(find_window "$1")" ]] || fail "$2: $1 did not close"
    [[ "$(active_window)" == "$WINDOW" ]] || fail "$2: the focus did not come back to the window"
    echo "ok: $2 refused with $1"
}

# The colour of the display box's top-left picture pixel, as ImageMagick names it.
box_pixel() {
    window_shot "$WORK/shot.png" || fail "no screenshot"
    convert "$WORK/shot.png" -format "%[pixel:p{5,$((MENU + 109))}]" info:
}

# The size of the picture F3 puts on the clipboard, "W H".
copied_size() {
    key F3
    clipboard_get image/png >"$WORK/copied.png" ||
        fail "the clipboard holds no picture"
    identify -format '%w %h' "$WORK/copied.png"
}

# At start nothing is chosen: each command refuses with its own message.
key F3
expect_refusal "クリップボードエラー" "F3 at start"
key F4
expect_refusal "印刷エラー" "F4 at start"
key alt+e
key d
expect_refusal "エラー" "Edit > 削除 at start"

# Tab from the filter box through drive and folder into the file list: still nothing shown.
key Tab
key Tab
key Tab
key F3
expect_refusal "クリップボードエラー" "F3 after Tab into the file list"
# Down chooses the first entry.
key Down
[[ "$(copied_size)" == "120 80" ]] || fail "Down did not choose a.bmp"
echo "ok: Down chose the first entry"

# Choose b with the mouse (second entry: the list starts at (184, 120) in the inner area).
click_at 200 145 1
[[ "$(copied_size)" == "60 40" ]] || fail "clicking the second entry did not choose b.bmp"
blue=$(box_pixel)
echo "box pixel with b shown: $blue"

# A View option through the real menu bar (archive files, by access keys) re-reads the list.
key alt+a
key a
# Open and close a menu, then the popup over the display box.
key alt+f
key Escape
key Escape
click_at 84 188 3
key Escape
[[ "$(copied_size)" == "60 40" ]] || fail "after a re-read, a menu and the popup, F3 no longer copies b"
[[ "$(box_pixel)" == "$blue" ]] || fail "the display box no longer shows b"
key alt+e
key d
expect_refusal "エラー" "Edit > 削除 after a re-read"
[[ -f "$WORK/start/a.bmp" && -f "$WORK/start/b.bmp" ]] || fail "a file went to the trash"

# Normal files off, through the menu bar: the list empties and the box is blanked once. Had the
# item toggled twice, the list would keep its entries and the box its picture.
key alt+a
key n
[[ "$(box_pixel)" != "$blue" ]] || fail "turning normal files off did not empty the list"
echo "ok: the View item toggled once"

close_app
expect_quiet_log
echo "PASS"
