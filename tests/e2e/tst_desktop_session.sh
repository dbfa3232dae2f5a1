#!/bin/bash
# The private desktop session: inside it every service answers on the private addresses;
# its command's exit code comes back; afterwards every process it started is gone, along
# with its folder, while a process it did not start lives on.
# Usage: tst_desktop_session.sh <path to desktop-session.sh>

set -u
session_script=$1
scratch=$(mktemp -d)
bystander_pid=
trap 'kill "$bystander_pid" 2>/dev/null; rm -rf "$scratch"' EXIT
failures=0
check() { # check <description> <command...>
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then
        echo "PASS   : $what"
    else
        echo "FAIL!  : $what"
        failures=$((failures + 1))
    fi
}

# A process of the same kind that the session must leave alone.
sleep 600 &
bystander_pid=$!

export SCRATCH=$scratch
"$session_script" --wm --notifications -- bash -c '
    pgrep -P "$PPID" >"$SCRATCH/started"
    echo "$PINGORA_SESSION_DIR" >"$SCRATCH/session-dir"
    ok() { "$@" >/dev/null 2>&1 && echo yes || echo no; }
    {
        echo "display $(ok xdpyinfo)"
        echo "sink $(pactl info 2>/dev/null | grep -c "Default Sink: pingora_test")"
        echo "bus $(ok dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.GetId)"
        echo "notifications $(dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications | grep -c "boolean true")"
        echo "wm $(ok xprop -root _NET_SUPPORTING_WM_CHECK)"
        echo "private $(case "$XDG_RUNTIME_DIR$XDG_CONFIG_HOME$TEMP$HOME" in *"$PINGORA_SESSION_DIR"*) echo yes ;; *) echo no ;; esac)"
    } >"$SCRATCH/seen"
    exit 7
'
rc=$?

check "the command's exit code comes back" test "$rc" -eq 7
check "the X server answers" grep -qx "display yes" "$scratch/seen"
check "the null sink is the default sink" grep -qx "sink 1" "$scratch/seen"
check "the session bus answers" grep -qx "bus yes" "$scratch/seen"
check "the notification daemon owns its name" grep -qx "notifications 1" "$scratch/seen"
check "the window manager runs" grep -qx "wm yes" "$scratch/seen"
check "the command's folders are private" grep -qx "private yes" "$scratch/seen"
# Started: Xvfb, dbus-daemon, pulseaudio, icewm, dunst, a watchdog and the command.
check "the session started its processes" test "$(wc -l <"$scratch/started")" -ge 6
for pid in $(cat "$scratch/started"); do
    check "process $pid is stopped" bash -c "! kill -0 $pid"
done
check "the session folder is removed" bash -c "! test -e '$(cat "$scratch/session-dir")'"
check "a process it did not start lives on" kill -0 "$bystander_pid"

# With KWin in place of Xvfb, its X display number is reserved beside the others and given
# back afterwards; a socket that some other server left without a lock file is never taken
# or removed.
x_display_free() { ! test -e "/tmp/.X$1-lock" && ! test -e "/tmp/.X11-unix/X$1"; }
# Given back: neither the lock file nor the socket of a session's display is still its own
# (another session running beside this test may have taken the number since).
x_display_given_back() { # <file with: number socket-inode owner-pid>
    local number inode owner
    read -r number inode owner <"$1" || return 1
    [ "$(tr -d ' \n' <"/tmp/.X$number-lock" 2>/dev/null)" != "$owner" ] &&
        [ "$(stat -c %i "/tmp/.X11-unix/X$number" 2>/dev/null)" != "$inode" ]
}
foreign=100
until x_display_free "$foreign"; do foreign=$((foreign + 1)); done
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' \
    "/tmp/.X11-unix/X$foreign"
"$session_script" --kwin -- bash -c '
    ok() { "$@" >/dev/null 2>&1 && echo yes || echo no; }
    cp "$PINGORA_SESSION_DIR/x-display" "$SCRATCH/"
    {
        echo "display $(ok xdpyinfo)"
        echo "wayland $(ok test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY")"
        echo "kwin $(ok dbus-send --session --print-reply --dest=org.kde.KWin /KWin org.freedesktop.DBus.Peer.Ping)"
    } >"$SCRATCH/seen"
'
number=$(cut -d' ' -f1 "$scratch/x-display")
check "KWin's Xwayland answers" grep -qx "display yes" "$scratch/seen"
check "KWin's Wayland display is there" grep -qx "wayland yes" "$scratch/seen"
check "KWin answers on the session bus" grep -qx "kwin yes" "$scratch/seen"
check "KWin's X display is not one another server has" test "$number" != "$foreign"
check "KWin's X display number is given back" x_display_given_back "$scratch/x-display"
check "another server's socket is left alone" test -S "/tmp/.X11-unix/X$foreign"
rm -f "/tmp/.X11-unix/X$foreign"

# GNOME Shell answers on the session bus, with its Xwayland, and leaves nothing behind: its
# processes stopped, its X display's lock file gone.
"$session_script" --gnome --appindicator -- bash -c '
    pgrep -P "$PPID" >"$SCRATCH/started"
    echo "${DISPLAY#:}" >"$SCRATCH/gnome-display"
    ok() { "$@" >/dev/null 2>&1 && echo yes || echo no; }
    {
        echo "display $(ok xdpyinfo)"
        echo "tray $(dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher | grep -c "boolean true")"
    } >"$SCRATCH/seen"
'
check "GNOME Shell's Xwayland answers" grep -qx "display yes" "$scratch/seen"
check "the AppIndicator extension's tray is up" grep -qx "tray 1" "$scratch/seen"
for pid in $(cat "$scratch/started"); do
    check "GNOME session process $pid is stopped" bash -c "! kill -0 $pid"
done
check "GNOME Shell's X display is given back" \
    bash -c "! test -e /tmp/.X$(cat "$scratch/gnome-display")-lock"

# Killed without a chance to clean up, the session is still taken down by its watchdog.
for kind in --notifications --kwin; do
    rm -f "$scratch/session-dir" "$scratch/started"
    "$session_script" $kind -- bash -c 'pgrep -P "$PPID" >"$SCRATCH/started"; echo "$PINGORA_SESSION_DIR" >"$SCRATCH/session-dir"; cp "$PINGORA_SESSION_DIR/x-display" "$SCRATCH/" 2>/dev/null; exec sleep 600' &
    victim=$!
    for _ in $(seq 600); do [ -s "$scratch/session-dir" ] && [ -s "$scratch/started" ] && break; sleep 0.1; done
    kill -KILL "$victim"
    wait "$victim" 2>/dev/null
    deadline=$((SECONDS + 20))
    while [ $SECONDS -lt $deadline ]; do
        alive=0
        for pid in $(cat "$scratch/started"); do kill -0 "$pid" 2>/dev/null && alive=1; done
        [ $alive = 0 ] && break
        sleep 0.2
    done
    for pid in $(cat "$scratch/started"); do
        check "after SIGKILL ($kind), process $pid is stopped" bash -c "! kill -0 $pid"
    done
    check "after SIGKILL ($kind), the session folder is removed" bash -c "! test -e '$(cat "$scratch/session-dir")'"
done
check "after SIGKILL, KWin's X display number is given back" \
    x_display_given_back "$scratch/x-display"

echo "Totals: $failures failed"
[ "$failures" -eq 0 ]
