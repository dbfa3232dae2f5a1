#!/bin/bash
# Real-desktop test of a start at log-on before the panel, run inside
# desktop-session.sh --notifications (no window manager of its own):
#   late-tray.sh <pingora program> <sni-host program> xembed|statusnotifier [bare]
# With "Load this software on Windows startup" and "Minimized to system tray" ticked, the
# program starts under a window manager without a tray: its window waits minimised on the
# taskbar. Then a notification area comes up late, as a panel does at log-on: a stand-alone
# system tray (xembed), or a StatusNotifier watcher with its host (statusnotifier). The
# window leaves the taskbar for the tray and stays there, the balloon is shown, and a click
# on the tray icon (for a StatusNotifier item, the host's call that a click makes) brings the
# window back. "bare" runs it with no window manager at all: nothing can minimise the window,
# so it is on the screen until the tray takes it.
set -u

usage="usage: late-tray.sh <pingora program> <sni-host program> xembed|statusnotifier [bare]"
program=${1:?$usage}
sni_host=${2:?$usage}
kind=${3:?$usage}
bare=${4:-}
session=${PINGORA_SESSION_DIR:?run inside desktop-session.sh}
work="$session/late-tray"
mkdir -p "$work/config" "$work/temp" "$work/no-tray"

source "$(dirname "$0")/script-helpers.sh"

printf '[Pingora]\nStartStopState=Off\nWindows Startup=On\nMinimized=On\n' \
    >"$work/config/Wrenfield.ini"
printf 'TaskBarShowTray=0\nTaskBarEnableSystemTray=0\nTaskBarShowClock=0\n' >"$work/no-tray/preferences"

watch_balloons

if [ -z "$bare" ]; then
    ICEWM_PRIVCFG="$work/no-tray" icewm >"$work/icewm-no-tray.log" 2>&1 &
    pids+=($!)
    sleep 1
fi
XDG_CONFIG_HOME="$work/config" TEMP="$work/temp" "$program" >"$work/pingora.log" 2>&1 &
program_pid=$!
pids+=($program_pid)

# The main window: the program's window of that name that the window manager manages (with
# no window manager, the one on the screen larger than a tray icon).
main=
client_list() { xprop -root _NET_CLIENT_LIST; }
viewable() { xwininfo -id "$1" | grep -q IsViewable; }
find_main() {
    local window
    for window in $(xdotool search --pid "$program_pid" --name '^Pingora$' 2>/dev/null); do
        if [ -n "$bare" ]; then
            viewable "$window" && [ "$(xwininfo -id "$window" | awk '/Width:/ {print $2}')" -gt 128 ] ||
                continue
        elif ! client_list | grep -q "$(printf '0x%x' "$window")"; then
            continue
        fi
        main=$window
        return 0
    done
    return 1
}
on_taskbar() {
    if [ -n "$bare" ]; then viewable "$main"; else client_list | grep -q "$(printf '0x%x' "$main")"; fi
}
wait_until 60 find_main || fail "without a tray the window is not on the taskbar"
pass "without a tray the window waits on the taskbar"

# The notification area comes up; the window manager stays.
case "$kind" in
xembed)
    trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
        >"$work/trayer.log" 2>&1 &
    pids+=($!)
    ;;
statusnotifier)
    "$sni_host" "$work/items" >"$work/sni-host.log" 2>&1 &
    pids+=($!)
    ;;
*) fail "$usage" ;;
esac
off_taskbar() { ! on_taskbar && ! viewable "$main"; }
wait_until 20 off_taskbar || fail "the window stayed on the taskbar once the tray came up"
sleep 2
off_taskbar || fail "the window came back to the taskbar by itself after going to the tray"
pass "the tray came up and the window went there"
wait_until 20 balloon_shown || fail "no balloon reached the notification daemon"
pass "the balloon was shown"

case "$kind" in
xembed)
    icon=
    find_icon() {
        local window
        for window in $(xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null); do
            [ "$window" = "$main" ] && continue
            icon=$window
            return 0
        done
        return 1
    }
    wait_until 20 find_icon || fail "no tray icon"
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
    ;;
statusnotifier)
    wait_until 20 test -s "$work/items" || fail "no item registered with the watcher"
    activate_item "$work/items" || fail "the item did not take the host's activation"
    ;;
esac
shown() { on_taskbar && viewable "$main"; }
wait_until 20 shown || fail "a click on the tray icon did not bring the window back"
pass "a click on the icon brought the window back"
