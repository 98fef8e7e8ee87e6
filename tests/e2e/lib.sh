# Shared steps of the end-to-end tests: a private display, the real program, its window, and
# the keys, clicks, screenshots and clipboard reads that drive and check it. Sourced by the test
# scripts; ZELVIA and X11_CLOSE name the program and the close tool.
#
# ZELVIA_E2E_SERVER chooses the display server: x11 (Xvfb with openbox, the default) or wayland
# (a headless sway; ZELVIA_WL_POINTER names the pointer helper and ZELVIA_E2E_SCALE the output
# scale). Scripts use the functions below, never a server's own tools, so they run on both.

SKIP=77
E2E_SERVER=${ZELVIA_E2E_SERVER:-x11}
# Qt's Wayland plugin leaves its connection's objects (and what they hold, such as the clipboard's
# data) to the end of the process; in the sanitizer build the X11 runs check for leaks.
if [[ "$E2E_SERVER" == wayland && -n "${ASAN_OPTIONS:-}" ]]; then
    export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"
fi

need() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is not installed"
            exit $SKIP
        fi
    done
}

skip() {
    echo "SKIP: $*"
    exit $SKIP
}

e2e_cleanup() {
    [[ -n "${APP_PID:-}" ]] && kill "$APP_PID" 2>/dev/null
    [[ -n "${PTR_PID:-}" ]] && kill "$PTR_PID" 2>/dev/null
    [[ -n "${KBD_PID:-}" ]] && kill "$KBD_PID" 2>/dev/null
    [[ -n "${WM_PID:-}" ]] && kill "$WM_PID" 2>/dev/null
    [[ -n "${XVFB_PID:-}" ]] && kill "$XVFB_PID" 2>/dev/null
    [[ -n "${SWAY_PID:-}" ]] && kill "$SWAY_PID" 2>/dev/null && wait "$SWAY_PID" 2>/dev/null
    [[ -n "${WORK:-}" ]] && rm -rf "$WORK"
    return 0
}

# Starts the display server with a window manager, and a scratch folder; all go away when the
# script ends.
start_display() {
    case "$E2E_SERVER" in
    x11) start_x11 ;;
    wayland) start_sway ;;
    *) fail "unknown display server $E2E_SERVER" ;;
    esac
}

# A private X server with a window manager. Xvfb picks a free display itself (-displayfd), so
# tests running at once never share one. The window manager matters: without one X gives no
# window the focus, dialogs never hand it back and menus are never really opened, so focus faults
# would go unseen.
# -noreset: otherwise the server resets when the readiness probe, its only client, leaves, and
# the window manager's connection may fall into that reset.
start_x11() {
    need Xvfb xdotool openbox xclip import
    WORK=$(mktemp -d)
    trap e2e_cleanup EXIT
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$WORK/display" \
        >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
        if [[ -s "$WORK/display" ]]; then
            export DISPLAY=":$(head -1 "$WORK/display")"
            xdotool getmouselocation >/dev/null 2>&1 && start_window_manager && return 0
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    cat "$WORK/xvfb.log"
    echo "FAIL: could not start Xvfb"
    exit 1
}

# Starts openbox on $DISPLAY and waits until it manages the screen (it then publishes the
# current desktop on the root window). A start that fails at once is tried again: on a busy
# machine openbox has been seen to give up on a display that had just come up.
start_window_manager() {
    for _ in 1 2 3; do
        openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
        WM_PID=$!
        for _ in $(seq 100); do
            xdotool get_desktop >/dev/null 2>&1 && return 0
            kill -0 "$WM_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill "$WM_PID" 2>/dev/null
        sleep 0.5
    done
    cat "$WORK/openbox.log"
    echo "FAIL: could not start the window manager"
    exit 1
}

# The user sway and the program run as. sway refuses to run as root, so root runs both as an
# unprivileged user, made on first use; anyone else runs them as themselves.
APP_USER_NAME=zelvia-e2e
find_app_user() {
    APP_USER=""
    AS_APP=()
    [[ $(id -u) -ne 0 ]] && return 0
    if ! id -u "$APP_USER_NAME" >/dev/null 2>&1; then
        command -v useradd >/dev/null 2>&1 || skip "no useradd to make a user for sway"
        # Another test running beside this one may make it first.
        useradd --system --no-create-home --shell /usr/sbin/nologin "$APP_USER_NAME" ||
            id -u "$APP_USER_NAME" >/dev/null 2>&1 ||
            skip "cannot make the user $APP_USER_NAME for sway"
    fi
    APP_USER=$APP_USER_NAME
    AS_APP=(setpriv --reuid="$APP_USER" --regid="$(id -g "$APP_USER")" --init-groups --)
}

# Hands files and folders to the program's user, so it may read, write and delete there.
give_to_app() {
    [[ -n "${APP_USER:-}" ]] && chown -R "$APP_USER" "$@"
    return 0
}

# A headless sway with one 1280x800 output at scale ${ZELVIA_E2E_SCALE:-1}, no input devices
# but a virtual keyboard (wtype) and pointer (the helper), and no window borders, so a window's
# rectangle is its content.
start_sway() {
    need sway swaymsg wtype grim wl-paste jq setpriv
    [[ -x "${ZELVIA_WL_POINTER:-}" ]] || skip "the pointer helper was not built (no wayland-client)"
    find_app_user
    WORK=$(mktemp -d)
    trap e2e_cleanup EXIT
    chmod 0755 "$WORK"
    export XDG_RUNTIME_DIR="$WORK/xdg"
    mkdir -m 0700 "$XDG_RUNTIME_DIR"
    give_to_app "$XDG_RUNTIME_DIR"
    cat >"$WORK/sway.conf" <<EOF
output HEADLESS-1 resolution 1280x800 scale ${ZELVIA_E2E_SCALE:-1}
xwayland disable
default_border none
default_floating_border none
EOF
    unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
    (cd "$WORK" && WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        exec "${AS_APP[@]}" sway -c "$WORK/sway.conf") >"$WORK/sway.log" 2>&1 &
    SWAY_PID=$!
    for _ in $(seq 100); do
        SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" | head -1)
        if [[ -n "$SWAYSOCK" && -S "$XDG_RUNTIME_DIR/wayland-1" ]]; then
            export SWAYSOCK WAYLAND_DISPLAY=wayland-1
            swaymsg -t get_version >/dev/null 2>&1 && break
        fi
        kill -0 "$SWAY_PID" 2>/dev/null || break
        sleep 0.1
    done
    if ! swaymsg -t get_version >/dev/null 2>&1; then
        cat "$WORK/sway.log"
        fail "could not start sway"
    fi
    read -r LAYOUT_W LAYOUT_H < <(swaymsg -t get_outputs | jq -r '.[0].rect | "\(.width) \(.height)"')
    coproc PTR { exec "$ZELVIA_WL_POINTER" 2>&1; }
    local reply=""
    read -r -t 10 reply <&"${PTR[0]}"
    [[ "$reply" == ready ]] || fail "the pointer helper did not start: $reply"
    # A keyboard that stays while each key press comes from a wtype of its own: when the seat's
    # last keyboard goes, sway closes the open menus, which no real desktop does.
    wtype -s 86400000 &
    KBD_PID=$!
}

# The program's windows under sway, one JSON object a line: id, name, rect, focused.
sway_windows() {
    swaymsg -t get_tree | jq -c '.. | objects | select(.type == "con" or .type == "floating_con")
        | select(.pid != null) | {id, name, rect, focused}'
}

# Starts the program in folder $1 and waits for its window; sets APP_PID, WINDOW and MENU (the
# menu bar's height, above the inner area).
start_app() {
    local folder=$1
    export XDG_DATA_HOME="$WORK/data"
    mkdir -p "$XDG_DATA_HOME"
    if [[ "$E2E_SERVER" == x11 ]]; then
        export XDG_RUNTIME_DIR="$WORK/runtime"
        mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
        (cd "$folder" && QT_QPA_PLATFORM=xcb exec "$ZELVIA") >"$WORK/app.log" 2>&1 &
    else
        give_to_app "$folder" "$XDG_DATA_HOME"
        [[ "${HOME:-}" == "$WORK"/* ]] && give_to_app "$HOME"
        (cd "$folder" && QT_QPA_PLATFORM=wayland exec "${AS_APP[@]}" "$ZELVIA") \
            >"$WORK/app.log" 2>&1 &
    fi
    APP_PID=$!
    WINDOW=""
    for _ in $(seq 100); do
        WINDOW=$(find_window Zelvia)
        [[ -n "$WINDOW" ]] && break
        if ! kill -0 "$APP_PID" 2>/dev/null; then
            echo "FAIL: the program ended before showing its window"
            cat "$WORK/app.log"
            exit 1
        fi
        sleep 0.1
    done
    if [[ -z "$WINDOW" ]]; then
        echo "FAIL: no window titled Zelvia appeared"
        exit 1
    fi
    sleep 0.5
    # The inner area is 277 pixels high at 96 DPI; the menu bar sits above it.
    window_geometry
    MENU=$((WIN_H - 277))
    [[ $MENU -gt 0 ]] || fail "window height $WIN_H leaves no room for a menu bar"
}

# Gives the main window the keyboard focus.
activate_window() {
    if [[ "$E2E_SERVER" == x11 ]]; then
        xdotool windowactivate --sync "$WINDOW" 2>/dev/null || xdotool windowfocus --sync "$WINDOW"
    else
        swaymsg "[con_id=$WINDOW] focus" >/dev/null
    fi
    sleep 0.3
}

# Starts a display and the program, focused, in $WORK/start with two bitmaps: a.bmp (red,
# 120 x 80) and b.bmp (blue, 60 x 40).
start_with_two_bitmaps() {
    need convert
    start_display
    mkdir -p "$WORK/start"
    convert -size 120x80 xc:'#ff0000' BMP3:"$WORK/start/a.bmp" || fail "cannot make a.bmp"
    convert -size 60x40 xc:'#0000ff' BMP3:"$WORK/start/b.bmp" || fail "cannot make b.bmp"
    start_app "$WORK/start"
    activate_window
}

# The visible window titled exactly $1, if any.
find_window() {
    if [[ "$E2E_SERVER" == x11 ]]; then
        xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1
    else
        sway_windows | jq -r --arg n "$1" 'select(.name == $n) | .id' | head -1
    fi
}

# Waits up to $2 seconds (default 5) for a window titled $1; prints its id.
wait_window() {
    local id
    for _ in $(seq $((${2:-5} * 10))); do
        id=$(find_window "$1")
        [[ -n "$id" ]] && echo "$id" && return 0
        sleep 0.1
    done
    return 1
}

# The window that has the keyboard focus.
active_window() {
    if [[ "$E2E_SERVER" == x11 ]]; then
        xdotool getactivewindow 2>/dev/null
    else
        sway_windows | jq -r 'select(.focused) | .id'
    fi
}

window_name() {
    if [[ "$E2E_SERVER" == x11 ]]; then
        xdotool getwindowname "$1" 2>/dev/null
    else
        sway_windows | jq -r --arg id "$1" 'select(.id == ($id | tonumber)) | .name'
    fi
}

# The main window's position and size on the screen, in logical pixels: WIN_X WIN_Y WIN_W WIN_H.
window_geometry() {
    if [[ "$E2E_SERVER" == x11 ]]; then
        eval "$(xdotool getwindowgeometry --shell "$WINDOW" |
            awk -F= '/^X=/{print "WIN_X=" $2} /^Y=/{print "WIN_Y=" $2}
                     /^WIDTH=/{print "WIN_W=" $2} /^HEIGHT=/{print "WIN_H=" $2}')"
    else
        read -r WIN_X WIN_Y WIN_W WIN_H < <(sway_windows |
            jq -r --arg id "$WINDOW" 'select(.id == ($id | tonumber)) | .rect
                | "\(.x) \(.y) \(.width) \(.height)"')
    fi
}

# Presses each key in turn, written as xdotool names them ("F3", "alt+e", "Return"). Under
# Wayland each key is a wtype call that waits first: keys sent right after the virtual keyboard
# appears are lost.
key() {
    local k
    for k in "$@"; do
        if [[ "$E2E_SERVER" == x11 ]]; then
            xdotool key --clearmodifiers "$k"
        else
            local args=() mods=() part
            IFS=+ read -ra parts <<<"$k"
            for part in "${parts[@]:0:${#parts[@]}-1}"; do
                mods+=("$part")
                args+=(-M "$part")
            done
            args+=(-k "${parts[-1]}")
            for part in "${mods[@]}"; do
                args+=(-m "$part")
            done
            wtype -s 300 "${args[@]}"
        fi
        sleep 0.4
    done
}

type_text() {
    if [[ "$E2E_SERVER" == x11 ]]; then
        xdotool type --delay 50 "$1"
    else
        wtype -s 300 -d 50 "$1"
    fi
    sleep 0.3
}

# Moves the pointer to ($1, $2) of the window's inner area (below the menu bar).
move_to() {
    if [[ "$E2E_SERVER" == x11 ]]; then
        xdotool mousemove --window "$WINDOW" "$1" $((MENU + $2))
    else
        window_geometry
        pointer "move $((WIN_X + $1)) $((WIN_Y + MENU + $2)) $LAYOUT_W $LAYOUT_H"
    fi
}

# Clicks button $3 at ($1, $2) of the window's inner area.
click_at() {
    move_to "$1" "$2"
    if [[ "$E2E_SERVER" == x11 ]]; then
        xdotool click "$3"
    else
        local code=$((271 + $3)) # BTN_LEFT, BTN_RIGHT, BTN_MIDDLE
        [[ $3 -eq 2 ]] && code=274
        [[ $3 -eq 3 ]] && code=273
        pointer "press $code"
        pointer "release $code"
    fi
    sleep 0.5
}

pointer() {
    local reply=""
    echo "$1" >&"${PTR[1]}"
    read -r -t 10 reply <&"${PTR[0]}"
    [[ "$reply" == ok ]] || fail "the pointer helper did not take '$1': $reply"
}

# A screenshot of the main window in file $1, at the output's scale.
window_shot() {
    if [[ "$E2E_SERVER" == x11 ]]; then
        import -window "$WINDOW" "$1" 2>/dev/null
    else
        window_geometry
        grim -g "$WIN_X,$WIN_Y ${WIN_W}x$WIN_H" "$1"
    fi
}

# The clipboard's types, one a line; then the data of type $1.
clipboard_types() {
    if [[ "$E2E_SERVER" == x11 ]]; then
        timeout 10 xclip -selection clipboard -t TARGETS -o
    else
        timeout 10 wl-paste -l
    fi
}

clipboard_get() {
    if [[ "$E2E_SERVER" == x11 ]]; then
        timeout 10 xclip -selection clipboard -t "$1" -o
    else
        timeout 10 wl-paste -n -t "$1"
    fi
}

# Closes the window as a window manager would and expects the program to end with status 0.
close_app() {
    if [[ "$E2E_SERVER" == x11 ]]; then
        "$X11_CLOSE" "$WINDOW"
    else
        swaymsg "[con_id=$WINDOW] kill" >/dev/null
    fi
    wait_app_end "the close request"
}

# Expects the program to end with status 0 after $1, leaving no window behind.
wait_app_end() {
    local status=""
    for _ in $(seq 100); do
        if ! kill -0 "$APP_PID" 2>/dev/null; then
            wait "$APP_PID"
            status=$?
            break
        fi
        sleep 0.1
    done
    APP_PID=""
    if [[ "$status" != "0" ]]; then
        cat "$WORK/app.log"
        echo "FAIL: the program did not end with status 0 after $1 (status: ${status:-still running})"
        exit 1
    fi
    if [[ "$E2E_SERVER" == wayland ]]; then
        local left
        left=$(sway_windows)
        [[ -z "$left" ]] || fail "windows left after the program ended: $left"
    fi
}

# Fails if the program wrote anything on its output (Qt warnings included).
expect_quiet_log() {
    [[ ! -s "$WORK/app.log" ]] || fail "the program wrote: $(cat "$WORK/app.log")"
}

fail() {
    echo "FAIL: $*"
    exit 1
}
