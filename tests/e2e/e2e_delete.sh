#!/usr/bin/env bash
# Delete in the real program: the confirmation is a modal box over the window that takes the
# focus and gives it back; No keeps the file, Yes moves it to the trash; the File menu's exit
# then ends the program, every window closed.
set -uo pipefail
ZELVIA=$1
X11_CLOSE=$2
source "$(dirname "$0")/lib.sh"
need identify convert timeout

start_with_two_bitmaps

# Opens the confirmation with $@ (keys, or "popup"), checks it has the focus and answers $answer.
confirm_delete() {
    local answer=$1 box
    shift
    if [[ "$1" == popup ]]; then
        click_at 84 188 3
        key d
    else
        key "$@"
    fi
    box=$(wait_window "ファイルの削除" 5) || fail "no confirmation box"
    [[ "$(active_window)" == "$box" ]] || fail "the confirmation does not have the focus"
    if [[ "$answer" == Escape ]]; then
        # Modal: a click on the file list's second entry meanwhile chooses nothing.
        click_at 200 145 1
        [[ -n "$(find_window "ファイルの削除")" ]] || fail "the click closed the confirmation"
        activate_box "$box"
    fi
    key "$answer"
    [[ -z "$(find_window "ファイルの削除")" ]] || fail "the confirmation did not close"
    [[ "$(active_window)" == "$WINDOW" ]] || fail "the focus did not come back to the window"
}

# The box the test clicked around keeps the keyboard (a window manager may follow the pointer).
activate_box() {
    [[ "$(active_window)" == "$1" ]] && return 0
    local saved=$WINDOW
    WINDOW=$1
    activate_window
    WINDOW=$saved
}

click_at 200 128 1
confirm_delete Escape popup
[[ -f "$WORK/start/a.bmp" ]] || fail "No (Escape) deleted the file"
key F3
size=$(clipboard_get image/png | identify -format '%w %h' -) || fail "the clipboard holds no picture"
[[ "$size" == "120 80" ]] || fail "a click under the modal box chose another file ($size)"
echo "ok: declined, a.bmp kept and still chosen"

# Declining re-read the list, which leaves nothing chosen: choose a again.
click_at 200 128 1
confirm_delete Return alt+e d
[[ ! -e "$WORK/start/a.bmp" ]] || fail "Yes did not delete a.bmp"
[[ -f "$XDG_DATA_HOME/Trash/files/a.bmp" ]] || fail "a.bmp is not in the trash"
[[ -f "$WORK/start/b.bmp" ]] || fail "b.bmp went too"
echo "ok: confirmed, a.bmp in the trash"

key alt+f e
wait_app_end "Zelviaの終了"
expect_quiet_log
echo "PASS"
