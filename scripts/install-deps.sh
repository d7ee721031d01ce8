#!/usr/bin/env bash
# Installs every Debian package Orvanta needs to build, run and test.
# Idempotent: does nothing when everything is already installed.
#   install-deps.sh [--fuzz]   (--fuzz: also clang and libFuzzer, for make fuzz)
set -euo pipefail

packages=(
    # toolchain
    g++ cmake ninja-build ccache make pkg-config
    # libraries
    qt6-base-dev qt6-multimedia-dev qt6-svg-dev libgl-dev qt6-tools-dev qt6-l10n-tools
    # what the window needs at run time: SVG icons, the multimedia back end with HTTP, MP3
    # and PulseAudio output
    libqt6svg6 qt6-qpa-plugins qt6-wayland qt6-translations-l10n gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    gstreamer1.0-pulseaudio
    libcurl4-openssl-dev libpcre2-dev libmpg123-dev libpugixml-dev libproxy-dev
    # HLS: segments taken apart by libavformat, AES-128 segments decrypted by libcrypto
    libavcodec-dev libavformat-dev libssl-dev
    # the encoding of station titles found by itself
    libuchardet-dev
    # tests and benchmarks
    googletest libgtest-dev libgmock-dev libbenchmark-dev python3 time
    # independent readers and encoders for the recording tests; the HLS test station
    # encrypts its segments with openssl
    python3-mutagen lame mpg123 ffmpeg openssl
    # a real streaming server and source client for the integration suite, and a real web
    # server for its HLS station
    icecast2 ezstream lighttpd
    # a message bus of the tests' own, for the sleep watcher and the media controls, and
    # the desktop's own command-line media controller
    dbus-daemon playerctl
    # the window tests: an X server, its accessibility bus to press the real controls, a
    # pointer, screenshots, a sound server with a null output
    xvfb xauth xdotool imagemagick at-spi2-core python3-pyatspi pulseaudio pulseaudio-utils
    # the same on Wayland: a headless compositor that takes screenshots
    weston
    dbus-x11
    fonts-dejavu-core
    # what the default music-player scripts use when present: the session bus and file
    # opener, the desktop's default handler, desktop notifications
    libglib2.0-bin xdg-utils libnotify-bin
    # desktop integration: the validators of the menu entry and the software-centre data,
    # and what builds the Debian package
    desktop-file-utils appstream dpkg-dev fakeroot file man-db
    # the wake-up helper's tests: users made for them, and the tool that runs as one
    passwd util-linux binutils
)
if [ "${1:-}" = "--fuzz" ]; then
    packages+=(clang libclang-rt-dev)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# A fresh machine has no package lists; refresh them when they are missing or stale.
lists=/var/lib/apt/lists
if [ -z "$(find "$lists" -maxdepth 1 -name '*Packages*' -mmin -1440 2>/dev/null | head -1)" ]; then
    "${sudo_cmd[@]}" apt-get update -q
fi
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
