# Shared steps of the end-to-end tests: a private Xvfb, the real program, its window.
# Sourced by the test scripts; ZELVIA and X11_CLOSE name the program and the close tool.

SKIP=77

need() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is not installed"
            exit $SKIP
        fi
    done
}

e2e_cleanup() {
    [[ -n "${APP_PID:-}" ]] && kill "$APP_PID" 2>/dev/null
    [[ -n "${WM_PID:-}" ]] && kill "$WM_PID" 2>/dev/null
    [[ -n "${XVFB_PID:-}" ]] && kill "$XVFB_PID" 2>/dev/null
    [[ -n "${WORK:-}" ]] && rm -rf "$WORK"
    return 0
}

# Starts a private X server with a window manager, and a scratch folder; all go away when the
# script ends. Xvfb picks a free display itself (-displayfd), so tests running at once never
# share one. The window manager matters: without one X gives no window the focus, dialogs never
# hand it back and menus are never really opened, so focus faults would go unseen.
# -noreset: otherwise the server resets when the readiness probe, its only client, leaves, and
# the window manager's connection may fall into that reset.
start_display() {
    need Xvfb xdotool openbox
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

# Starts the program in folder $1 and waits for its window; sets APP_PID and WINDOW.
start_app() {
    local folder=$1
    export XDG_RUNTIME_DIR="$WORK/runtime"
    export XDG_DATA_HOME="$WORK/data"
    mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
    (cd "$folder" && QT_QPA_PLATFORM=xcb exec "$ZELVIA") >"$WORK/app.log" 2>&1 &
    APP_PID=$!
    WINDOW=""
    for _ in $(seq 100); do
        WINDOW=$(xdotool search --onlyvisible --name '^Zelvia$' 2>/dev/null | head -1)
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
    local height
    height=$(xdotool getwindowgeometry --shell "$WINDOW" | awk -F= '/^HEIGHT/{print $2}')
    MENU=$((height - 277))
    [[ $MENU -gt 0 ]] || fail "window height $height leaves no room for a menu bar"
}

# Clicks button $3 at ($1, $2) of the window's inner area (below the menu bar).
click_at() {
    xdotool mousemove --window "$WINDOW" "$1" $((MENU + $2)) click "$3"
    sleep 0.5
}

# Closes the window as a window manager would and expects the program to end with status 0.
close_app() {
    "$X11_CLOSE" "$WINDOW"
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
        echo "FAIL: the program did not end with status 0 after the close request (status: ${status:-still running})"
        exit 1
    fi
}

fail() {
    echo "FAIL: $*"
    exit 1
}
