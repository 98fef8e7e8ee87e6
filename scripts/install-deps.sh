#!/usr/bin/env bash
# Installs the Debian packages Zelvia needs that are not there yet.
#   install-deps.sh          to build and run the program
#   install-deps.sh --test   also what the tests, the checks and the package need
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    # A faster linker (cmake/ZelviaLinker.cmake).
    lld
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev
    # Native on a Wayland desktop rather than through XWayland.
    qt6-wayland
    libturbojpeg0-dev libjpeg62-turbo-dev
    # Print jobs are followed through the print system's library.
    libcups2-dev
    fonts-ipafont-gothic
    # Qt's own Japanese texts for the standard dialogs (qtbase_ja.qm).
    qt6-translations-l10n
    # Starting the program without a display, and its screenshot.
    xvfb xauth imagemagick xdotool
)
if [[ "${1:-}" == "--test" ]]; then
    packages+=(
        libgtest-dev libbenchmark-dev ccache
        xclip poppler-utils libx11-dev
        # The walk benchmark holds a key down through the X server.
        libxtst-dev
        # End-to-end tests run under a window manager, as on a desktop.
        openbox
        # The same tests under Wayland: a headless compositor, its keyboard, screenshot and
        # clipboard tools, and the client library for the test's virtual pointer.
        sway wtype grim wl-clipboard jq libwayland-dev
        # Printing is tested through a private print scheduler and its tools.
        cups-daemon cups-client
        libemf2svg-dev
        # A FAT image mounted by the file system tests.
        dosfstools mtools
        # A file system that stops answering, mounted by the exit benchmark.
        fuse3 libfuse3-dev
        # Writing the crafted GIF of the exit benchmark.
        python3
        clang clang-format clang-tidy libclang-rt-14-dev
        desktop-file-utils appstream lintian dpkg-dev file
    )
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
