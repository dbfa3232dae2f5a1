#!/usr/bin/env bash
# Installs, on Debian 12, what building, running and testing Pingora need. Run as root.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev
    # sound: decoding (libsndfile, libwavpack) and output (libpulse)
    libsndfile1-dev libwavpack-dev libpulse-dev
    # tests and benchmarks that talk to the X server themselves
    libx11-dev libxcb1-dev
    # run: X11 platform plugin, SVG icons, Arial-compatible fonts, desktop handlers, sound
    qt6-qpa-plugins libqt6svg6 fonts-liberation xdg-utils pulseaudio-utils
    # real-desktop tests: virtual display, session bus, window manager with a tray, a
    # stand-alone tray, notification daemon, sound server, input and clipboard tools,
    # validators, the accessibility bus that the tests read captions from, Python for small X
    # queries
    xvfb xauth dbus dbus-x11 icewm trayer dunst pulseaudio sox xdotool xclip x11-utils imagemagick
    # the same sound tests on PipeWire, the sound server most desktops run today
    pipewire pipewire-pulse wireplumber
    desktop-file-utils appstream lintian dpkg-dev file at-spi2-core python3
    # real-desktop tests on a Wayland compositor: KWin run headless with Xwayland, and Qt's
    # Wayland platform so that the program can be run natively on it
    kwin-wayland xwayland qt6-wayland
    # real-desktop tests on GNOME: the shell run headless, its JavaScript runtime (its
    # notification service runs on it), and the AppIndicator extension, GNOME's usual tray
    gnome-shell gjs gnome-shell-extension-appindicator dconf-service
    # package round trip: starting the program from its desktop entry (gio)
    libglib2.0-bin
    # sound e2e: encoders for the other formats the player is tested with
    lame opus-tools
    # benchmarks: a desktop timer counting down, measured beside the program
    kteatime
    # the Windows build's tests run under Wine (scripts/windows/build-qt.sh installs the cross
    # compiler and builds Qt for Windows); its installer is made with NSIS
    wine wine64 nsis
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
fi
