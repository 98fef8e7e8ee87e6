#!/bin/bash
# Installs a build into a temporary prefix and checks the installed tree: program, help book,
# desktop entry, AppStream metadata, icons, man page and package documents. When the Debian
# package has been built (cpack -G DEB), its file list must match the installed tree.
#
# Usage: install_test.sh <build-dir>
# Exit status: 0 passed, 1 failed, 77 skipped (a tool is missing).
set -u

APP_ID=io.github.zelvia.Zelvia
ICON_SIZES="16 32 48 64 128"

build=${1:?usage: install_test.sh <build-dir>}
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

skip() {
    echo "SKIP: $*" >&2
    exit 77
}

for tool in cmake desktop-file-validate appstreamcli gzip od; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -f "$build/cmake_install.cmake" ] || { echo "FAIL: $build is no configured build folder" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zelvia-install.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install failed (is everything built?)" >&2
    exit 1
fi

expect_file() {
    [ -f "$prefix/$1" ] || fail "missing $1"
}

# --- the program -------------------------------------------------------------------------
[ -x "$prefix/bin/zelvia" ] || fail "bin/zelvia is missing or not executable"

# --- the help book: every page of its contents list and the context pages -------------------
book=share/zelvia/help/Vistrel
for f in index.html overview.html topics.tsv keywords.tsv contexts.tsv; do
    expect_file "$book/$f"
done
if [ -f "$prefix/$book/topics.tsv" ]; then
    while IFS=$'\t' read -r page _; do
        case $page in '' | '#'*) continue ;; esac
        expect_file "$book/$page"
    done <"$prefix/$book/topics.tsv"
fi
if [ -f "$prefix/$book/contexts.tsv" ]; then
    grep -q $'^9\toverview.html' "$prefix/$book/contexts.tsv" || fail "context 9 is not the overview"
fi

# --- desktop entry and AppStream metadata ------------------------------------------------
desktop=share/applications/$APP_ID.desktop
metainfo=share/metainfo/$APP_ID.metainfo.xml
expect_file "$desktop"
expect_file "$metainfo"
if [ -f "$prefix/$desktop" ]; then
    desktop-file-validate "$prefix/$desktop" || fail "desktop-file-validate $desktop"
    # The program takes no file argument and opens no files from outside.
    grep -q '^Exec=zelvia$' "$prefix/$desktop" || fail "Exec must be plain 'zelvia'"
    ! grep -q '^MimeType=' "$prefix/$desktop" || fail "the desktop entry must not claim MIME types"
    icon=$(sed -n 's/^Icon=//p' "$prefix/$desktop")
    [ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
        fail "Icon=$icon has no scalable icon"
fi
if [ -f "$prefix/$metainfo" ]; then
    appstreamcli validate --no-net "$prefix/$metainfo" || fail "appstreamcli validate $metainfo"
    grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$prefix/$metainfo" ||
        fail "metainfo does not launch $APP_ID.desktop"
fi

# --- icons: each size is a PNG of that size -------------------------------------------------
png_size() { # prints "W H" from the PNG header
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}
for size in $ICON_SIZES; do
    png=share/icons/hicolor/${size}x${size}/apps/zelvia.png
    if [ -f "$prefix/$png" ]; then
        [ "$(png_size "$prefix/$png")" = "$size $size" ] || fail "$png is not ${size}x${size}"
    else
        fail "missing $png"
    fi
done
expect_file share/icons/hicolor/scalable/apps/zelvia.svg

# --- man page and package documents ------------------------------------------------------
for gz in share/man/man1/zelvia.1.gz share/doc/zelvia/changelog.gz; do
    if [ -f "$prefix/$gz" ]; then
        gzip -t "$prefix/$gz" || fail "$gz is no valid gzip file"
    else
        fail "missing $gz"
    fi
done
expect_file share/doc/zelvia/copyright

# --- the Debian package, when built: same files as the installed tree -------------------
deb=$(ls -t "$build"/zelvia_*.deb 2>/dev/null | head -n 1)
if [ -n "$deb" ] && command -v dpkg-deb >/dev/null 2>&1; then
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | sort >"$work/deb.txt"
    (cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort) >"$work/tree.txt"
    if ! diff -u "$work/tree.txt" "$work/deb.txt" >"$work/diff.txt"; then
        cat "$work/diff.txt" >&2
        fail "the package $(basename "$deb") and the installed tree differ (- tree, + package)"
    fi
else
    echo "note: no package built in $build (cpack -G DEB); package comparison skipped"
fi

# --- start of the installed program ------------------------------------------------------
# HOOK for the program start under Xvfb: replace the body of this function with the check
# (e.g. xvfb-run -a "$prefix/bin/zelvia" ...). It gets the install prefix as its argument and
# returns non-zero on failure, 77 to skip.
# Starts the installed program under a private Xvfb, presses F1 and expects the help viewer to
# open the installed book (its title says when the book is missing).
start_installed_program() {
    local installed_prefix=$1
    [ -n "$X11_CLOSE" ] || return 77
    (
        ZELVIA=$installed_prefix/bin/zelvia
        source "$(dirname "$0")/../e2e/lib.sh"
        start_display
        mkdir -p "$WORK/home"
        start_app "$WORK/home"
        xdotool windowactivate --sync "$WINDOW" 2>/dev/null || xdotool windowfocus --sync "$WINDOW"
        xdotool key --window "$WINDOW" F1
        viewer=""
        for _ in $(seq 50); do
            viewer=$(xdotool search --onlyvisible --name '^Zelvia ヘルプ' 2>/dev/null | head -1)
            [ -n "$viewer" ] && break
            sleep 0.1
        done
        [ -n "$viewer" ] || fail "F1 opened no help viewer"
        title=$(xdotool getwindowname "$viewer")
        [ "$title" = "Zelvia ヘルプ" ] || fail "the help viewer did not find the installed book: $title"
        close_app
    )
}
X11_CLOSE=${2:-}
start_installed_program "$prefix"
case $? in
    0) ;;
    77) skip "program start" ;;
    *) fail "the installed program did not start" ;;
esac

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "install tree OK"
