#!/usr/bin/env bash
# Installs what is missing, builds and starts Pingora. Without a display it starts a virtual
# one (Xvfb) with a window manager, a session bus and a sound server, and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display found: starting Pingora on a virtual X display (Xvfb)."
    # The virtual desktop is private, but your settings and history stay your own.
    keep=(HOME="$HOME" XDG_CONFIG_HOME="${XDG_CONFIG_HOME:-$HOME/.config}"
          XDG_STATE_HOME="${XDG_STATE_HOME:-$HOME/.local/state}")
    if [[ -n "${TEMP:-}" ]]; then keep+=(TEMP="$TEMP"); else keep=(-u TEMP "${keep[@]}"); fi
    exec bash tests/support/desktop-session.sh --wm --notifications -- \
        env "${keep[@]}" build/pingora/pingora "$@"
fi
exec build/pingora/pingora "$@"
