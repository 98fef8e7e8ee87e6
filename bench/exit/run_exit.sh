#!/usr/bin/env bash
# How long the program takes to end after its window is closed while the look-ahead works on
# the chosen file's neighbour: decoding a GIF whose few bytes expand to four billion pixels
# (bomb), or reading a file on a mount that no longer answers (stuck: a FUSE file system made
# here; needs /dev/fuse). Under a private X server with a window manager, as the end-to-end
# tests run.
#   run_exit.sh BUILD_DIR [bomb|stuck]   (both when none is named)
set -uo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
if [[ $# -lt 2 ]]; then
    "$0" "$build" bomb
    "$0" "$build" stuck
    exit
fi
MODE=$2
ZELVIA="$build/src/zelvia"
X11_CLOSE="$build/tests/e2e/x11_close"
STUCK_FS="$build/bench/exit/stuck_fs"
# shellcheck source=../../tests/e2e/lib.sh
source "$repo/tests/e2e/lib.sh"
need convert

# A 65535 x 65535 GIF frame of one colour: after a clear, codes 0, 6, 7, ... each name the
# string one longer than the last, then the longest string the table holds is repeated.
write_bomb() {
    python3 - "$1" <<'PY'
import sys
side = 65535
out = bytearray(b"GIF89a" + side.to_bytes(2, "little") * 2 + bytes([0x80, 0, 0]))
out += bytes([0, 0, 0, 255, 255, 255])
out += b"," + bytes(4) + side.to_bytes(2, "little") * 2 + bytes([0, 2])
codes, width, nxt, left = [4, 0], 3, 6, side * side - 1
widths = [3, 3]
while left > 0:
    code = min(nxt, 4095)
    length = code - 4 if code >= 6 else 1
    codes.append(code)
    widths.append(width)
    left -= length
    if nxt < 4096:
        nxt += 1
        if nxt == 1 << width and width < 12:
            width += 1
codes.append(5)
widths.append(width)
acc = bits = 0
data = bytearray()
for code, w in zip(codes, widths):
    acc |= code << bits
    bits += w
    while bits >= 8:
        data.append(acc & 0xFF)
        acc >>= 8
        bits -= 8
if bits:
    data.append(acc & 0xFF)
for i in range(0, len(data), 255):
    chunk = data[i:i + 255]
    out += bytes([len(chunk)]) + chunk
out += b"\0;"
open(sys.argv[1], "wb").write(out)
PY
}

start_display
mkdir -p "$WORK/files"
convert -size 120x80 xc:'#ff0000' BMP3:"$WORK/files/a.bmp" || fail "cannot make a.bmp"
folder="$WORK/files"
case "$MODE" in
bomb)
    need python3
    write_bomb "$WORK/files/b.gif" || fail "cannot make the GIF"
    ;;
stuck)
    [[ -x "$STUCK_FS" ]] || { echo "SKIP: stuck_fs was not built (no libfuse3)"; exit $SKIP; }
    [[ -c /dev/fuse ]] || { echo "SKIP: /dev/fuse is not available"; exit $SKIP; }
    need fusermount3
    cp "$WORK/files/a.bmp" "$WORK/files/b.bmp"
    mkdir -p "$WORK/mount"
    "$STUCK_FS" "$WORK/files" b.bmp "$WORK/mount" >"$WORK/fuse.log" 2>&1 &
    FS_PID=$!
    # Unmounted before the scratch folder goes; the helper is then ended.
    trap 'fusermount3 -u -z "$WORK/mount" 2>/dev/null; kill -9 $FS_PID 2>/dev/null; e2e_cleanup' EXIT
    for _ in $(seq 50); do
        [[ -e "$WORK/mount/a.bmp" ]] && break
        sleep 0.1
    done
    if [[ ! -e "$WORK/mount/a.bmp" ]]; then
        cat "$WORK/fuse.log"
        echo "SKIP: the FUSE file system could not be mounted"
        exit $SKIP
    fi
    folder="$WORK/mount"
    ;;
*)
    fail "unknown mode $MODE"
    ;;
esac

start_app "$folder"
# The first entry, a.bmp: shown, and the look-ahead goes on to its neighbour.
click_at 200 128 1
sleep 1.5
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended before the close request"

started=$(date +%s%N)
"$X11_CLOSE" "$WINDOW"
status=""
elapsed=0
while ((elapsed < 10000)); do
    if ! kill -0 "$APP_PID" 2>/dev/null; then
        wait "$APP_PID"
        status=$?
        break
    fi
    sleep 0.01
    elapsed=$((($(date +%s%N) - started) / 1000000))
done
elapsed=$((($(date +%s%N) - started) / 1000000))
echo "$MODE: the program ended ${elapsed} ms after the close request (status ${status:-still running})"
[[ -n "$status" ]] || fail "the program still runs 10 s after the close request"
APP_PID=""
[[ "$status" == "0" ]] || { cat "$WORK/app.log"; fail "the program ended with status $status"; }
