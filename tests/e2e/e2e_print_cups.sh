#!/usr/bin/env bash
# Printing in the real program through a private print scheduler: a picture is
# chosen with the mouse, F4 opens Qt's printer dialog, and the dialog is accepted (or
# cancelled) with the test queue chosen.
#   print     the job completes and its document is the page: text and picture position
#   cancel    nothing reaches the queue
#   rejecting the queue refuses jobs: the printer error, nothing queued
#   stopped   the queue is stopped: the printer error, the job taken back
#   vanished  the scheduler ends while the dialog is open: the printer error
#   nocups    no scheduler at all: the dialog still prints to a PDF file
#   noqueue   a scheduler without queues: the same
#   overwritten the file is saved over in place while the dialog is open: the printer error,
#             nothing queued
set -uo pipefail
ZELVIA=$1
X11_CLOSE=$2
MODE=$3
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/cups.sh"
need convert pdftotext pdftoppm identify

start_display
case "$MODE" in
nocups) export CUPS_SERVER="$WORK/no-scheduler.sock" ;; # nobody answers there
noqueue) start_cups noqueue ;;
*) start_cups ;;
esac
# Qt's dialog proposes a file in the home folder; libcups reads its settings there too.
export HOME="$WORK/home"
mkdir -p "$HOME" "$WORK/start"
convert -size 120x80 xc:'#ff0000' BMP3:"$WORK/start/red.bmp" || fail "cannot make the picture"
start_app "$WORK/start"

# The window that has the focus once it is not the main window; its name is printed.
wait_foreign_window() {
    local active
    for _ in $(seq 100); do
        active=$(active_window)
        if [[ -n "$active" && "$active" != "$WINDOW" ]]; then
            sleep 0.5
            window_name "$active"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

expect_printer_error() {
    local box="" name
    # The box may take a moment after the dialog closes, and a window without a name may be
    # active in between: wait for a named window that is not the main one.
    for _ in $(seq 100); do
        box=$(active_window)
        if [[ -n "$box" && "$box" != "$WINDOW" ]]; then
            name=$(window_name "$box")
            [[ -n "$name" ]] && break
        fi
        box=""
        sleep 0.1
    done
    [[ -n "$box" ]] || fail "no message box after printing"
    [[ "$name" == "プリンタエラー" ]] || fail "expected the box プリンタエラー, got '$name'"
    key Return
    sleep 0.5
    [[ "$(active_window)" == "$WINDOW" ]] || fail "the message box did not close"
}

expect_nothing_queued() {
    local left
    left=$(cups_jobs not-completed)
    [[ -z "$left" ]] || fail "jobs left queued: $left"
    [[ -z "$(ls -A "$CUPS_OUT")" ]] || fail "the device got: $(ls "$CUPS_OUT")"
    [[ -z "$(cups_jobs all "$OTHER_QUEUE")" ]] || fail "the default queue got a job"
}

# Checks the printed page in $1 against what the program shows for red.bmp.
check_page() {
    local pdf=$1
    [[ "$(head -c 5 "$pdf")" == "%PDF-" ]] || fail "the job is not a PDF"
    # The font may set ff, fi or fl of the random folder name as one ligature glyph.
    mapfile -t lines < <(pdftotext -layout "$pdf" - | tr -d '\f' |
        sed 's/^ *//; s/ *$//; s/ﬀ/ff/g; s/ﬁ/fi/g; s/ﬂ/fl/g; s/ﬃ/ffi/g; s/ﬄ/ffl/g' | grep -v '^$')
    [[ ${#lines[@]} -eq 9 ]] || fail "expected 9 lines, got: $(printf '%s|' "${lines[@]}")"
    [[ "${lines[0]}" == "ファイル情報" ]] || fail "heading: ${lines[0]}"
    [[ "${lines[1]}" == *"$WORK/start"* ]] || fail "folder line: ${lines[1]}"
    [[ "${lines[2]}" == "ファイル名：red.bmp" ]] || fail "name line: ${lines[2]}"
    [[ "${lines[5]}" == "縦(ﾋﾟｸｾﾙ)：80" ]] || fail "height line: ${lines[5]}"
    [[ "${lines[6]}" == "横(ﾋﾟｸｾﾙ)：120" ]] || fail "width line: ${lines[6]}"
    [[ "${lines[7]}" == "印刷日時： "*"$(date +%Y)"* ]] || fail "date line: ${lines[7]}"
    [[ "${lines[8]}" == "$(printf -- '-%.0s' $(seq 38))" ]] || fail "rule: ${lines[8]}"

    # The heading starts at the printable area's corner (in points); the picture sits 10 and
    # 2350 twips from it at 15 twips per pixel. At 144 pixels per inch one pixel is 10 twips.
    local box
    box=$(pdftotext -bbox "$pdf" - | grep -m1 '<word') || fail "no text on the page"
    local x0 y0
    x0=$(sed -E 's/.*xMin="([0-9.]+)".*/\1/' <<<"$box")
    y0=$(sed -E 's/.*yMin="([0-9.]+)".*/\1/' <<<"$box")
    pdftoppm -r 144 -png -singlefile "$pdf" "$WORK/page" || fail "pdftoppm failed"
    # The strongly red pixels' extent: left top width height.
    local red
    red=$(convert "$WORK/page.png" -fuzz 25% -fill white +opaque '#ff0000' -fill black \
        -opaque '#ff0000' -format '%@' info:) ||
        fail "cannot measure the picture"
    [[ "$red" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "no picture on the page ($red)"
    local w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]} left=${BASH_REMATCH[3]} top=${BASH_REMATCH[4]}
    echo "heading at ${x0},${y0} pt; picture ${w}x${h} at ${left},${top} px"
    awk -v w="$w" -v h="$h" -v l="$left" -v t="$top" -v x="$x0" -v y="$y0" 'BEGIN {
        ok = (w >= 179 && w <= 181) && (h >= 119 && h <= 121) &&
             (l - (x * 2 + 1))^2 <= 9 && (t - (y * 2 + 235))^2 <= 9
        exit ok ? 0 : 1 }' || fail "picture ${w}x${h} at ${left},${top}; expected 180x120 at" \
        "$(awk -v x="$x0" -v y="$y0" 'BEGIN { print x * 2 + 1 "," y * 2 + 235 }')"
}

# Choose the picture: the first entry of the file list, which starts at (184, 120).
click_at 200 128 1
case "$MODE" in
rejecting) cupsreject "$QUEUE" || fail "cupsreject" ;;
stopped) cupsdisable "$QUEUE" || fail "cupsdisable" ;;
esac
key F4
dialog=$(wait_foreign_window) || fail "F4 opened no printer dialog"
echo "dialog: $dialog"
if [[ "$MODE" != nocups && "$MODE" != noqueue ]]; then
    # Choose the test queue in the dialog's printer list (its label is "&Name").
    key alt+n
    type_text "$QUEUE"
fi

case "$MODE" in
print)
    key Return
    job=$(wait_job_file 20 1) || fail "no job reached the device: $(cups_jobs all)"
    for _ in $(seq 50); do
        [[ -z "$(cups_jobs not-completed)" ]] && break
        sleep 0.1
    done
    [[ -z "$(cups_jobs not-completed)" ]] || fail "the job did not complete: $(cups_jobs all)"
    [[ $(cups_jobs all | wc -l) -eq 1 ]] || fail "expected one job: $(cups_jobs all)"
    [[ -z "$(cups_jobs all "$OTHER_QUEUE")" ]] || fail "the default queue got the job"
    check_page "$job"
    ;;
cancel)
    key Escape
    sleep 1
    [[ "$(active_window)" == "$WINDOW" ]] || fail "something else opened"
    [[ -z "$(cups_jobs all)" ]] || fail "a job was sent: $(cups_jobs all)"
    expect_nothing_queued
    ;;
overwritten)
    convert -size 60x40 xc:'#0000ff' BMP3:- >"$WORK/start/red.bmp" || fail "cannot overwrite"
    key Return
    expect_printer_error
    expect_nothing_queued
    ;;
rejecting | stopped)
    key Return
    expect_printer_error
    expect_nothing_queued
    ;;
vanished)
    cups_kill
    key Return
    expect_printer_error
    ;;
nocups | noqueue)
    key Return
    pdf=""
    for _ in $(seq 100); do
        pdf=$(find "$HOME" "$WORK/start" -name '*.pdf' -size +0 2>/dev/null | head -1)
        [[ -n "$pdf" ]] && break
        sleep 0.1
    done
    [[ -n "$pdf" ]] || fail "no PDF file was written"
    echo "written: ${pdf#"$WORK"/}"
    sleep 0.5
    check_page "$pdf"
    ;;
*)
    fail "unknown mode $MODE"
    ;;
esac

kill -0 "$APP_PID" 2>/dev/null || fail "the program ended"
close_app
expect_quiet_log
echo "PASS"
