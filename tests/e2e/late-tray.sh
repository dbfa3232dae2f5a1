#!/bin/bash
# Real-desktop test of a start at log-on before the panel, run inside
# desktop-session.sh --notifications (no window manager of its own):
#   late-tray.sh <path of the built pingora program> xembed|statusnotifier <sni-host program>
# With "Load this software on Windows startup" and "Minimized to system tray" ticked, the
# program starts under a window manager without a tray: its window waits minimised on the
# taskbar. Then a notification area comes up late, as a panel does at log-on: a stand-alone
# system tray (xembed), or a StatusNotifier watcher with its host (statusnotifier). The
# window leaves the taskbar for the tray, the balloon is shown, and a click on the tray icon
# (for a StatusNotifier item, the host's call that a click makes) brings the window back.
set -u

usage="usage: late-tray.sh <pingora program> xembed|statusnotifier <sni-host program>"
program=${1:?$usage}
kind=${2:?$usage}
sni_host=${3:?$usage}
session=${PINGORA_SESSION_DIR:?run inside desktop-session.sh}
work="$session/late-tray"
mkdir -p "$work/config" "$work/temp" "$work/no-tray"

pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null
    done
}
trap cleanup EXIT
source "$(dirname "$0")/script-helpers.sh"

printf '[Pingora]\nStartStopState=Off\nWindows Startup=On\nMinimized=On\n' \
    >"$work/config/Wrenfield.ini"
printf 'TaskBarShowTray=0\nTaskBarEnableSystemTray=0\nTaskBarShowClock=0\n' >"$work/no-tray/preferences"

# What reaches the notification daemon.
dbus-monitor --session "interface='org.freedesktop.Notifications',member='Notify'" \
    >"$work/notify.log" 2>&1 &
pids+=($!)

ICEWM_PRIVCFG="$work/no-tray" icewm >"$work/icewm-no-tray.log" 2>&1 &
pids+=($!)
sleep 1
XDG_CONFIG_HOME="$work/config" TEMP="$work/temp" "$program" >"$work/pingora.log" 2>&1 &
program_pid=$!
pids+=($program_pid)

# The main window: the program's window named so that the window manager manages.
main=
client_list() { xprop -root _NET_CLIENT_LIST; }
find_main() {
    local window
    for window in $(xdotool search --pid "$program_pid" --name '^Pingora$' 2>/dev/null); do
        if client_list | grep -q "$(printf '0x%x' "$window")"; then
            main=$window
            return 0
        fi
    done
    return 1
}
on_taskbar() { client_list | grep -q "$(printf '0x%x' "$main")"; }
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
off_taskbar() { ! on_taskbar && ! xwininfo -id "$main" | grep -q IsViewable; }
wait_until 20 off_taskbar || fail "the window stayed on the taskbar once the tray came up"
pass "the tray came up and the window went there"
balloon() { grep -q 'string "Pingora"' "$work/notify.log"; }
wait_until 20 balloon || fail "no balloon reached the notification daemon"
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
    read -r service path <"$work/items"
    gdbus call --session --dest "$service" --object-path "$path" \
        --method org.kde.StatusNotifierItem.Activate 0 0 >/dev/null ||
        fail "the item did not take the host's activation"
    ;;
esac
wait_until 20 on_taskbar || fail "a click on the tray icon did not bring the window back"
pass "a click on the icon brought the window back"
