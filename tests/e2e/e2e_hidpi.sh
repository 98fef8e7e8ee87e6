#!/usr/bin/env bash
# The real program on a HiDPI screen (scale ZELVIA_E2E_SCALE): the window keeps its layout in
# logical pixels, and a reduced picture is drawn from its own pixels at the device's resolution,
# not enlarged from a drawing at 1x. The box in a screenshot is compared with a decode of the
# file at that size, and searched for detail at one device pixel.
set -uo pipefail
ZELVIA=$1
X11_CLOSE=$2
source "$(dirname "$0")/lib.sh"
need convert compare identify
scale=${ZELVIA_E2E_SCALE:-1}

start_display
mkdir -p "$WORK/start"
# A checkerboard of 1-pixel cells framed in red, 334 pixels wide, about what the box holds at
# scale 2: drawn at the device's resolution its cells show, drawn at 1x they cannot.
convert -size 2x2 xc:white -fill black -draw 'point 0,0' -draw 'point 1,1' "$WORK/cell.png" &&
    convert -size 330x330 tile:"$WORK/cell.png" -bordercolor red -border 2 -type TrueColor \
        BMP3:"$WORK/start/fine.bmp" || fail "cannot make the picture"
start_app "$WORK/start"
[[ $WIN_W -eq 526 ]] || fail "window width $WIN_W logical pixels, expected 526"
click_at 200 128 1
window_shot "$WORK/shot.png" || fail "no screenshot"
read -r shot_w shot_h < <(identify -format '%w %h' "$WORK/shot.png")
echo "window ${WIN_W}x$WIN_H logical, screenshot ${shot_w}x$shot_h"
awk -v s="$scale" -v w="$shot_w" -v lw="$WIN_W" 'BEGIN { exit (w - lw * s)^2 <= 1 ? 0 : 1 }' ||
    fail "the screenshot is not $scale times the window"

# The display box spans (0, 104) to (169, 273) of the inner area; the picture is its non-white
# part.
box=$(awk -v s="$scale" -v m="$MENU" 'BEGIN { printf "%dx%d+0+%d", 169 * s, 169 * s, (m + 104) * s }')
convert "$WORK/shot.png" -crop "$box" +repage -fuzz 10% -trim -format '%w %h %X %Y' info: \
    >"$WORK/extent" || fail "cannot find the picture"
read -r w h x y <"$WORK/extent"
echo "picture ${w}x$h device pixels at $x,$y of the box"
awk -v s="$scale" -v w="$w" -v h="$h" 'BEGIN {
    exit (w == h && w / s >= 150 && w / s <= 169) ? 0 : 1 }' ||
    fail "picture ${w}x$h is not square or not fitted to the box at scale $scale"
convert "$WORK/shot.png" -crop "$box" +repage -crop "${w}x$h$x$y" +repage "$WORK/drawn.png"

# Blurred over a few pixels, the drawing and the file resized to its size agree wherever the
# picture is placed and sized right.
blur=$(awk -v s="$scale" 'BEGIN { printf "%.1f", 2 * s }')
convert "$WORK/start/fine.bmp" -resize "${w}x$h!" "$WORK/file.png"
blurred=$(convert "$WORK/drawn.png" "$WORK/file.png" -blur "0x$blur" miff:- |
    compare -metric RMSE - null: 2>&1 | sed -E 's/.*\(([0-9.e-]+)\).*/\1/')
echo "blurred RMSE against the file at ${w}x$h: $blurred"
awk -v e="$blurred" 'BEGIN { exit e < 0.1 ? 0 : 1 }' || fail "the picture drawn is not the file"

# Detail at one device pixel: the mean difference between neighbouring pixels. A drawing at 1x
# enlarged has none (0.002 measured), one at the device's resolution keeps the cells (0.23).
# sway 1.7 has no fractional scaling for clients: at 1.5 it asks for 2 and shrinks the window,
# which averages the cells away whatever the program draws, so there only the layout and the
# placement are checked.
if [[ "$scale" == 2 ]]; then
    detail=$(convert "$WORK/drawn.png" \( +clone -roll +1+0 \) -compose difference -composite \
        -colorspace Gray -format '%[fx:mean]' info:)
    echo "detail at one device pixel: $detail"
    awk -v d="$detail" 'BEGIN { exit d > 0.1 ? 0 : 1 }' ||
        fail "the picture is not drawn from its own pixels at device resolution"
fi

close_app
expect_quiet_log
echo "PASS"
