#!/bin/bash
# Real-desktop test of the tray on a KDE Plasma session's compositor, run inside
# desktop-session.sh --kwin --notifications (KWin with Xwayland, a StatusNotifier host for the
# tray as Plasma's panel has):
#   kwin-tray.sh <pingora program> <sni-host program> minimise|start-hidden|late-tray|modal own|wayland
# "own" starts the program as a user does, with both a Wayland and an X display in its
# environment: it chooses X11, where the compositor's minimise is seen. "wayland" forces
# native Wayland (QT_QPA_PLATFORM=wayland), where it is not.
#   minimise      the compositor minimises the window: through X11 it goes to the tray with the
#                 balloon; natively it stays minimised. Either way a click on the icon brings
#                 it back, in front (the active window).
#   start-hidden  started hidden in the tray (both start-up boxes ticked), the balloon shows
#                 and no window; a click on the icon shows it.
#   late-tray     started hidden before the panel: the window waits (through X11 minimised on
#                 the taskbar); the panel comes up, then a click on the icon brings it back.
#   modal         an error report is up on the window (a beep whose history line cannot be
#                 written): a click on the icon leaves the report in front of the same window,
#                 the active one. Through X11 the window goes to the tray first, and the click
#                 brings it back with the report in front.
# In the other flows a right click on the icon changes nothing.
# Every item says Id and Title "Pingora", as the desktop entry names the program. What is on
# the screen is read from KWin itself, through its scripting interface.
set -u

usage="usage: kwin-tray.sh <pingora program> <sni-host program> minimise|start-hidden|late-tray|modal own|wayland"
program=${1:?$usage}
sni_host=${2:?$usage}
flow=${3:?$usage}
platform=${4:?$usage}
session=${PINGORA_SESSION_DIR:?run inside desktop-session.sh --kwin}
work="$session/kwin-tray"
mkdir -p "$work/config" "$work/temp"

source "$(dirname "$0")/script-helpers.sh"

case "$platform" in
own) unset QT_QPA_PLATFORM ;;
wayland) export QT_QPA_PLATFORM=wayland ;;
*) fail "$usage" ;;
esac
case "$flow" in
minimise) printf '[Pingora]\nStartStopState=Off\n' >"$work/config/Wrenfield.ini" ;;
start-hidden | late-tray)
    printf '[Pingora]\nStartStopState=Off\nWindows Startup=On\nMinimized=On\n' \
        >"$work/config/Wrenfield.ini"
    ;;
modal)
    # A beep every 5 seconds, and a folder where its history line belongs.
    printf '[Pingora]\nStartStopState=On\nOftenIndex=2\n' >"$work/config/Wrenfield.ini"
    mkdir -p "$work/temp/Pingora.txt"
    ;;
*) fail "$usage" ;;
esac

start_tray() {
    "$sni_host" "$work/items" >"$work/sni-host.log" 2>&1 &
    pids+=($!)
    watcher_owned() {
        dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher |
            grep -q 'boolean true'
    }
    wait_until 20 watcher_owned || fail "the StatusNotifier host did not start"
}
icon_is_there() {
    wait_until 20 test -s "$work/items" || fail "no tray icon: no item registered with the watcher"
    local id title
    id=$(item_property "$work/items" Id)
    title=$(item_property "$work/items" Title)
    [ "$id" = Pingora ] && [ "$title" = Pingora ] ||
        fail "the tray item says Id '$id' and Title '$title', not the program's name 'Pingora'"
    pass "the icon is in the tray, named Pingora"
}

watch_balloons
[ "$flow" = late-tray ] || start_tray
XDG_CONFIG_HOME="$work/config" TEMP="$work/temp" "$program" >"$work/pingora.log" 2>&1 &
program_pid=$!
pids+=($program_pid)

windows() { kwin_windows "$program_pid"; }
has_window() { windows | grep -q .; }
shown() { windows | grep -q 'minimized=false'; }
in_front() { windows | grep -q 'minimized=false active=true'; }
minimised() { windows | grep -q 'minimized=true'; }
# The report on top of the program's windows and active, the window not minimised.
report_in_front() {
    local stack
    stack=$(kwin_stack "$program_pid") || return 1
    echo "$stack" | grep -q ' window minimized=false ' &&
        echo "$stack" | tail -n 1 | grep -q ' box minimized=false active=true'
}
window_id() { kwin_stack "$program_pid" | sed -n 's/ window .*//p'; }
hidden() {
    local seen
    seen=$(windows) && [ -z "$seen" ]
}
# Through X11 the window is a client of Xwayland; natively X11 knows nothing of it.
x11_window() { xdotool search --pid "$program_pid" --name '^Pingora$' >/dev/null 2>&1; }
check_platform() {
    if [ "$platform" = own ]; then
        wait_until 10 x11_window || fail "with both displays the program did not choose X11"
    else
        ! x11_window || fail "QT_QPA_PLATFORM=wayland was not respected"
    fi
}

case "$flow" in
minimise)
    wait_until 30 shown || fail "no window"
    check_platform
    icon_is_there
    kwin_minimize "$program_pid"
    if [ "$platform" = own ]; then
        wait_until 20 hidden || fail "the compositor's minimise did not send the window to the tray"
        wait_until 20 balloon_shown || fail "no balloon reached the notification daemon"
        pass "the compositor's minimise sent the window to the tray with the balloon"
    else
        wait_until 20 minimised || fail "the compositor did not minimise the window"
        pass "the compositor minimised the window"
    fi
    ;;
start-hidden)
    icon_is_there
    wait_until 20 balloon_shown || fail "no balloon reached the notification daemon"
    hidden || fail "started hidden in the tray, the window is on the screen"
    pass "started hidden in the tray with the balloon"
    ;;
late-tray)
    wait_until 30 has_window || fail "without a tray the window is nowhere"
    check_platform
    if [ "$platform" = own ]; then
        minimised || fail "without a tray the window is not waiting minimised"
    fi
    start_tray
    icon_is_there
    if [ "$platform" = own ]; then
        wait_until 20 hidden || fail "the window stayed on the taskbar once the tray came up"
        wait_until 20 balloon_shown || fail "no balloon reached the notification daemon"
        pass "the tray came up and the window went there"
    fi
    ;;
modal)
    wait_until 30 shown || fail "no window"
    check_platform
    icon_is_there
    wait_until 30 report_in_front ||
        fail "the error report did not come up in front of the window:" $(kwin_stack "$program_pid")
    window=$(window_id)
    if [ "$platform" = own ]; then
        # The first minimise takes the window, and its report with it, to the tray.
        kwin_minimize "$program_pid"
        wait_until 20 hidden || fail "the compositor's minimise did not send the window to the tray"
        window=
    fi
    activate_item "$work/items" || fail "the item did not take the host's activation"
    sleep 1
    wait_until 20 report_in_front ||
        fail "after a click on the icon the report is not in front:" $(kwin_stack "$program_pid")
    [ -z "$window" ] || [ "$(window_id)" = "$window" ] ||
        fail "a click on the icon made the window anew"
    sleep 1
    report_in_front || fail "the report did not stay in front"
    pass "a click on the icon brought the report in front of its window"
    exit 0
    ;;
esac

before=$(windows)
right_click_item "$work/items" || fail "the item did not take the host's right click"
sleep 1
[ "$(windows)" = "$before" ] || fail "a right click on the icon changed the window: $(windows)"
pass "a right click on the icon changed nothing"

activate_item "$work/items" || fail "the item did not take the host's activation"
wait_until 20 in_front || fail "a click on the tray icon did not bring the window back in front"
sleep 1
in_front || fail "the window did not stay back"
pass "a click on the icon brought the window back in front"
