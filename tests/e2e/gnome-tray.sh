#!/bin/bash
# Real-desktop test of the tray on GNOME Shell, run inside desktop-session.sh --gnome (with
# --appindicator when the AppIndicator extension, GNOME's usual tray, is on from the start):
#   gnome-tray.sh <pingora program> minimise|no-tray|start-hidden|late-tray [rounds]
# The program starts as a user starts it, with both a Wayland and an X display.
#   minimise      the shell minimises the window: it goes to the tray with the notice, and a
#                 click on the icon in the top bar brings it back in front.
#   no-tray       without the extension the window stays minimised, with no notice.
#   start-hidden  started hidden in the tray: the icon and the notice, no window; a click on
#                 the icon shows it.
#   late-tray     the extension comes up a few seconds after the start, as at log-on; the
#                 icon must stay, then the minimise, notice and click go as above. Repeated
#                 [rounds] times (default 8): the extension reads a new item in a race.
# What is on the screen is read from the shell itself.
set -u

usage="usage: gnome-tray.sh <pingora program> minimise|no-tray|start-hidden|late-tray [rounds]"
program=${1:?$usage}
flow=${2:?$usage}
rounds=${3:-8}
session=${PINGORA_SESSION_DIR:?run inside desktop-session.sh --gnome}
work="$session/gnome-tray"
mkdir -p "$work/config" "$work/temp"

source "$(dirname "$0")/script-helpers.sh"

case "$flow" in
minimise | no-tray | late-tray) printf '[Pingora]\nStartStopState=Off\n' >"$work/config/Wrenfield.ini" ;;
start-hidden)
    printf '[Pingora]\nStartStopState=Off\nWindows Startup=On\nMinimized=On\n' \
        >"$work/config/Wrenfield.ini"
    ;;
*) fail "$usage" ;;
esac

watch_balloons
start_program() {
    XDG_CONFIG_HOME="$work/config" TEMP="$work/temp" "$program" >"$work/pingora.log" 2>&1 &
    program_pid=$!
    pids+=($program_pid)
}
stop_program() {
    kill -TERM "$program_pid"
    wait "$program_pid" 2>/dev/null
}

windows() { gnome_windows "$program_pid"; }
shown() { windows | grep -q 'minimized=false'; }
in_front() { windows | grep -q 'minimized=false active=true'; }
minimised() { windows | grep -q 'minimized=true'; }
hidden() {
    kill -0 "$program_pid" || fail "the program ended"
    local seen
    seen=$(windows) && [ -z "$seen" ]
}
icon_shown() { gnome_icon_shown Pingora; }
# Notices since the program started.
notices() { grep -c 'string "Pingora"' "$work/notify.log"; }
# Run by wait_until, so that the count is read again at each try.
more_notices_than() { [ "$(notices)" -gt "$1" ]; }

icon_stays() {
    wait_until 30 icon_shown || fail "no icon in the top bar"
    # A host that fails to read the item drops it within a second or two.
    sleep 3
    icon_shown || fail "the icon showed, then vanished from the top bar"
}
minimise_to_tray() {
    local before
    before=$(notices)
    gnome_minimize "$program_pid"
    wait_until 20 hidden || fail "the shell's minimise did not send the window to the tray"
    wait_until 20 more_notices_than "$before" ||
        fail "no notice reached the shell (icon: $(gnome_tray_icons Pingora | xargs))"
}
click_brings_back() {
    gnome_click_icon Pingora
    wait_until 20 in_front ||
        fail "a click on the icon did not bring the window back in front ($(windows | xargs))"
}

case "$flow" in
minimise)
    start_program
    wait_until 30 shown || fail "no window"
    icon_stays
    minimise_to_tray
    pass "the shell's minimise sent the window to the tray with the notice"
    click_brings_back
    pass "a click on the icon brought the window back in front"
    ;;
no-tray)
    start_program
    wait_until 30 shown || fail "no window"
    gnome_minimize "$program_pid"
    wait_until 20 minimised || fail "the shell did not minimise the window"
    sleep 2
    minimised || fail "without a tray the window did not stay minimised"
    [ "$(notices)" = 0 ] || fail "without a tray a notice told to click an icon"
    pass "without a tray the window stayed minimised, with no notice"
    ;;
start-hidden)
    start_program
    wait_until 30 icon_shown || fail "no icon in the top bar"
    wait_until 20 more_notices_than 0 || fail "no notice reached the shell"
    hidden || fail "started hidden in the tray, the window is on the screen"
    pass "started hidden in the tray with the notice"
    click_brings_back
    pass "a click on the icon brought the window back in front"
    ;;
late-tray)
    for round in $(seq "$rounds"); do
        start_program
        wait_until 30 shown || fail "round $round: no window"
        sleep 3
        gnome_extension enable
        icon_stays
        minimise_to_tray
        click_brings_back
        pass "round $round: the tray came late, the icon ($(gnome_tray_icons Pingora | xargs)) stayed, minimise and click went"
        stop_program
        gnome_extension disable
        wait_until 20 bash -c '! gdbus call --session --dest org.freedesktop.DBus \
            --object-path / --method org.freedesktop.DBus.NameHasOwner \
            org.kde.StatusNotifierWatcher | grep -q true' ||
            fail "round $round: the tray did not go with the extension"
    done
    ;;
esac
