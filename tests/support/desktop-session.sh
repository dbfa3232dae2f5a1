#!/bin/bash
# Runs a command inside a private desktop session: an X server (Xvfb), a session D-Bus and a
# PulseAudio server whose default sink is a null sink named pingora_test (record what was
# played from pingora_test.monitor), and optionally a window manager with a tray (icewm) and
# a notification daemon (dunst); or, in place of Xvfb and icewm, the Wayland compositor KWin
# run headless with Xwayland, as in a KDE Plasma session; or GNOME Shell run headless (its own
# Xwayland, notifications and, when asked, the AppIndicator extension's tray). Everything lives in a private runtime
# folder; on exit the script stops exactly the processes it started and removes the folder.
# Services that the session bus starts on request (the accessibility bus, asked for by the
# tests that read a program's captions) end with that bus. With --pipewire the sound server is
# PipeWire in PulseAudio's place, as on most desktops today: pipewire, WirePlumber (without its
# ALSA, BlueZ and camera monitors, so that it finds no hardware) and pipewire-pulse, with the
# same null sink.
#
# Usage: desktop-session.sh [--wm | --kwin | --gnome [--appindicator]] [--notifications] [--pipewire]
#                          [--screen WxHxD] [--keep] [--] command [args...]
#   --wm             start icewm and wait until its tray is ready
#   --kwin           start KWin (Wayland, with Xwayland on a display number it reserves) and
#                    wait until both displays and its D-Bus interface answer; its output,
#                    with what its scripts print, goes to $PINGORA_SESSION_DIR/logs/kwin.log
#   --gnome          start GNOME Shell (Wayland, with Xwayland on a display number of 1024 and
#                    up) on a private system bus of its own, in unsafe mode so that
#                    org.gnome.Shell.Eval answers; its output goes to logs/gnome-shell.log
#   --appindicator   with --gnome: the AppIndicator extension (the tray) enabled at the start
#   --notifications  start dunst and wait until it owns org.freedesktop.Notifications
#   --pipewire       PipeWire with pipewire-pulse and WirePlumber in place of PulseAudio
#   --screen         screen geometry (default 1024x768x24; KWin takes the width and height)
#   --keep           keep the runtime folder (its logs/ explain a failed start)
#
# The command sees DISPLAY (with --kwin also WAYLAND_DISPLAY; with --gnome also
# WAYLAND_DISPLAY, XAUTHORITY and DBUS_SYSTEM_BUS_ADDRESS), DBUS_SESSION_BUS_ADDRESS,
# PULSE_SERVER, PULSE_SINK, XDG_RUNTIME_DIR, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME,
# XDG_STATE_HOME, HOME, TEMP and PINGORA_SESSION_DIR (the runtime folder) pointing into the
# private session. The script exits with the command's exit code, or with 70 when the session
# could not be started.

set -u
script_dir=$(cd "$(dirname "$0")" && pwd)

want_wm=0
want_kwin=0
want_gnome=0
want_appindicator=0
want_notifications=0
want_pipewire=0
keep=0
screen=1024x768x24
while [ $# -gt 0 ]; do
    case "$1" in
    --wm) want_wm=1 ;;
    --kwin) want_kwin=1 ;;
    --gnome) want_gnome=1 ;;
    --appindicator) want_appindicator=1 ;;
    --notifications) want_notifications=1 ;;
    --pipewire) want_pipewire=1 ;;
    --screen) screen="$2"; shift ;;
    --keep) keep=1 ;;
    --) shift; break ;;
    -*) echo "desktop-session: unknown option $1" >&2; exit 64 ;;
    *) break ;;
    esac
    shift
done
if [ $# -eq 0 ]; then
    echo "usage: desktop-session.sh [--wm | --kwin | --gnome [--appindicator]] [--notifications] [--pipewire] [--screen WxHxD] [--keep] [--] command [args...]" >&2
    exit 64
fi

session=
started=()  # PIDs of the daemons started here, in start order
command_pid=

fail() {
    echo "desktop-session: $*" >&2
    for log in "$session"/logs/*.log; do
        [ -s "$log" ] || continue
        echo "--- ${log##*/}" >&2
        tail -n 20 "$log" >&2
    done
    exit 70
}

# Gives back the X display number that --kwin reserved: its socket file and lock file go while
# they are still the ones made here (the lock still names our compositor, the socket is the same
# file), and before the compositor stops, so that no other server can have taken the number.
release_x_display() {
    local number inode owner
    read -r number inode owner 2>/dev/null <"$session/x-display" || return 0
    [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$number-lock")" = "$owner" ] || return 0
    [ "$(stat -c %i "/tmp/.X11-unix/X$number" 2>/dev/null)" = "$inode" ] &&
        rm -f "/tmp/.X11-unix/X$number"
    rm -f "/tmp/.X$number-lock"
}

# Ends GNOME Shell through its own quit, which removes its X sockets and lock files. Run
# headless it crashes on its way out afterwards; that end is not reported.
end_gnome_shell() {
    local pid
    read -r pid 2>/dev/null <"$session/gnome-shell" || return 0
    # The watchdog was started before the bus was.
    DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$session/bus-address") \
        gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Eval 'global.context.terminate()' >/dev/null 2>&1 || return 0
    {
        for _ in $(seq 100); do
            kill -0 "$pid" || break
            sleep 0.1
        done
        wait "$pid"
    } 2>/dev/null
}

# Stops what this script started, newest first: a polite TERM, then KILL after 10 s.
cleanup() {
    local rc=$?
    trap - EXIT INT TERM HUP
    if [ -n "$command_pid" ] && kill -0 "$command_pid" 2>/dev/null; then
        kill -TERM "$command_pid" 2>/dev/null
        wait "$command_pid" 2>/dev/null
    fi
    local i pid
    release_x_display
    end_gnome_shell
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do
        pid=${started[i]}
        kill -TERM "$pid" 2>/dev/null || continue
        for _ in $(seq 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    if [ -n "${watchdog_pid:-}" ]; then
        kill -TERM "$watchdog_pid" 2>/dev/null
        wait "$watchdog_pid" 2>/dev/null
    fi
    if [ "$keep" = 1 ]; then
        echo "desktop-session: kept $session" >&2
    elif [ -n "$session" ]; then
        rm -rf "$session"
    fi
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Unix socket paths are limited to 108 bytes, so stay short even if TMPDIR is long.
base="${TMPDIR:-/tmp}"
[ ${#base} -gt 40 ] && base=/tmp
session=$(mktemp -d "$base/pingora-session.XXXXXX") || exit 70
chmod 700 "$session"
mkdir -p "$session"/{logs,runtime,config,data,cache,state,home,temp}
chmod 700 "$session/runtime"
pidfile="$session/started.pids"
: >"$pidfile"

remember() {
    started+=("$1")
    echo "$1" >>"$pidfile"
}

# Polls "$@" every 0.1 s until it succeeds, for at most $timeout seconds (a loaded machine can
# be slow to start a server, so the limits are generous). Fails early if $pid has died.
wait_for() {
    local what=$1 pid=$2 timeout=$3
    shift 3
    local deadline=$((SECONDS + timeout))
    until "$@" >/dev/null 2>&1; do
        kill -0 "$pid" 2>/dev/null || fail "$what exited while starting"
        [ $SECONDS -ge $deadline ] && fail "$what not ready after ${timeout} s"
        sleep 0.1
    done
}

# A watchdog stops the daemons and the command if this script is killed without running its
# trap (e.g. by SIGKILL from a test runner's timeout). It only signals the PIDs in $pidfile.
(
    trap '' INT HUP
    trap 'kill "$nap" 2>/dev/null; exit 0' TERM
    nap=
    while kill -0 $$ 2>/dev/null; do
        sleep 1 &
        nap=$!
        wait "$nap"
    done
    release_x_display
    end_gnome_shell
    while read -r pid; do kill -TERM "$pid" 2>/dev/null; done <"$pidfile"
    sleep 2
    while read -r pid; do kill -KILL "$pid" 2>/dev/null; done <"$pidfile"
    rm -rf "$session"
) </dev/null >/dev/null 2>&1 &
watchdog_pid=$!

export HOME="$session/home"
export XDG_RUNTIME_DIR="$session/runtime"
export XDG_CONFIG_HOME="$session/config"
export XDG_DATA_HOME="$session/data"
export XDG_CACHE_HOME="$session/cache"
export XDG_STATE_HOME="$session/state"
export TEMP="$session/temp"
export PINGORA_SESSION_DIR="$session"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS PULSE_SERVER PULSE_SINK PULSE_SOURCE \
    PULSE_COOKIE SESSION_MANAGER

# --- Session D-Bus on a private socket; it prints its address once it listens. First, as
# KWin offers its interfaces on it.
dbus-daemon --session --nofork --nopidfile --address="unix:path=$session/runtime/bus" \
    --print-address=3 3>"$session/bus-address" </dev/null >"$session/logs/dbus.log" 2>&1 &
remember $!
wait_for dbus-daemon "${started[-1]}" 60 test -s "$session/bus-address"
export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$session/bus-address")"
wait_for dbus-daemon "${started[-1]}" 60 dbus-send --session --print-reply \
    --dest=org.freedesktop.DBus / org.freedesktop.DBus.GetId

# --- The displays: -displayfd (or x-display.py for KWin) picks a free X display and reports it.
display_ready() { [ -s "$session/display" ] && [ "$(tail -c1 "$session/display" | od -An -c | tr -d ' ')" = '\n' ]; }
if [ "$want_kwin" = 1 ]; then
    # A copy of the program without its file capability (cap_sys_resource, for a realtime
    # priority), which a container cannot grant: the original is refused with "Operation not
    # permitted".
    cp /usr/bin/kwin_wayland "$session/kwin_wayland" || fail "no kwin_wayland to copy"
    python3 "$script_dir/x-display.py" "$session/display" "$session/kwin_wayland" --virtual \
        --xwayland --socket wayland-pingora --width "${screen%%x*}" \
        --height "$(echo "$screen" | cut -dx -f2)" </dev/null >"$session/logs/kwin.log" 2>&1 &
    remember $!
    wait_for KWin "${started[-1]}" 60 display_ready
    echo "$(head -n1 "$session/display") ${started[-1]}" >"$session/x-display"
    export DISPLAY=":$(cut -d' ' -f1 "$session/display")"
    export WAYLAND_DISPLAY=wayland-pingora
    wait_for KWin "${started[-1]}" 60 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
    wait_for Xwayland "${started[-1]}" 60 xdpyinfo
    wait_for KWin "${started[-1]}" 60 dbus-send --session --print-reply --dest=org.kde.KWin \
        /Scripting org.freedesktop.DBus.Introspectable.Introspect
elif [ "$want_gnome" = 1 ]; then
    # The shell's login manager code dies without a system bus; a private one with no
    # services will do.
    cat >"$session/system-bus.conf" <<EOF
<busconfig>
  <type>system</type>
  <listen>unix:path=$session/runtime/system-bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="signal"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
EOF
    dbus-daemon --config-file="$session/system-bus.conf" --nofork --nopidfile \
        </dev/null >"$session/logs/system-bus.log" 2>&1 &
    remember $!
    wait_for "the system bus" "${started[-1]}" 60 test -S "$session/runtime/system-bus"
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$session/runtime/system-bus"
    # Extensions: one that turns unsafe mode on, and the tray when asked for.
    mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions"
    cp -r "$script_dir/gnome-shell-unsafe@pingora" "$XDG_DATA_HOME/gnome-shell/extensions/"
    extensions="'gnome-shell-unsafe@pingora'"
    [ "$want_appindicator" = 1 ] && extensions="$extensions, 'ubuntu-appindicators@ubuntu.com'"
    gsettings set org.gnome.shell enabled-extensions "[$extensions]" &&
        gsettings set org.gnome.shell disable-user-extensions false ||
        fail "the shell's settings could not be written"
    # Mutter needs the X socket folder in place, as X servers leave it.
    mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix 2>/dev/null
    # Mutter takes the X displays :0 and :1 unless it runs for a display manager, which moves
    # them to :1024 and up, out of the way of other servers.
    RUNNING_UNDER_GDM=1 XDG_SESSION_TYPE=wayland gnome-shell --headless --wayland \
        --wayland-display wayland-pingora --virtual-monitor "${screen%x*}" \
        </dev/null >"$session/logs/gnome-shell.log" 2>&1 &
    remember $!
    export WAYLAND_DISPLAY=wayland-pingora
    wait_for "GNOME Shell" "${started[-1]}" 60 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
    shell_env() {
        gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
            --method org.gnome.Shell.Eval "imports.gi.GLib.getenv('$1')" |
            sed -n "s/^(true, '\"\\(.*\\)\"')$/\\1/p"
    }
    shell_x_display() { shell_env DISPLAY | grep -x ':[0-9]\+' >"$session/display"; }
    wait_for "GNOME Shell" "${started[-1]}" 60 shell_x_display
    echo "${started[-1]}" >"$session/gnome-shell"
    export DISPLAY=$(cat "$session/display")
    export XAUTHORITY=$(shell_env XAUTHORITY)
    wait_for Xwayland "${started[-1]}" 60 xdpyinfo
    # The shell starts in the overview, where no window has the focus: go to the desktop.
    desktop_shown() {
        gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
            --method org.gnome.Shell.Eval 'Main.layoutManager._startingUp ||
                (Main.overview.hide(), Main.overview.visible)' | grep -qx "(true, 'false')"
    }
    wait_for "GNOME Shell" "${started[-1]}" 60 desktop_shown
else
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset \
        3>"$session/display" </dev/null >"$session/logs/xvfb.log" 2>&1 &
    remember $!
    wait_for Xvfb "${started[-1]}" 60 display_ready
    export DISPLAY=":$(head -n1 "$session/display")"
    wait_for Xvfb "${started[-1]}" 60 xdpyinfo
fi

# --- The sound server with a null sink as default. Clients never autospawn another server.
mkdir -p "$session/runtime/pulse"
chmod 700 "$session/runtime/pulse"
echo "autospawn = no" >"$session/pulse-client.conf"
export PULSE_CLIENTCONFIG="$session/pulse-client.conf"
export PULSE_SERVER="unix:$session/runtime/pulse/native"
export PULSE_SINK=pingora_test
sink_ready() { pactl list short sinks 2>/dev/null | grep -q pingora_test; }
default_sink() { pactl set-default-sink pingora_test && pactl info | grep -q "Default Sink: pingora_test"; }
if [ "$want_pipewire" = 1 ]; then
    # PipeWire and pipewire-pulse put their sockets in XDG_RUNTIME_DIR. WirePlumber reads
    # these files after its own and so finds no device to manage.
    mkdir -p "$XDG_CONFIG_HOME/wireplumber/main.lua.d" "$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d"
    printf '%s\n' "alsa_monitor.enabled = false" "v4l2_monitor.enabled = false" \
        "libcamera_monitor.enabled = false" \
        >"$XDG_CONFIG_HOME/wireplumber/main.lua.d/51-no-devices.lua"
    echo "bluez_monitor.enabled = false" \
        >"$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d/51-no-devices.lua"
    pipewire </dev/null >"$session/logs/pipewire.log" 2>&1 &
    remember $!
    wait_for pipewire "${started[-1]}" 60 test -S "$XDG_RUNTIME_DIR/pipewire-0"
    wireplumber </dev/null >"$session/logs/wireplumber.log" 2>&1 &
    remember $!
    pipewire-pulse </dev/null >"$session/logs/pipewire-pulse.log" 2>&1 &
    remember $!
    wait_for pipewire-pulse "${started[-1]}" 60 pactl info
    pactl load-module module-null-sink sink_name=pingora_test \
        sink_properties=device.description=pingora_test >/dev/null ||
        fail "pipewire-pulse made no null sink"
    wait_for pipewire-pulse "${started[-1]}" 60 sink_ready
    # WirePlumber keeps the default sink, once it is up.
    wait_for wireplumber "${started[-2]}" 60 default_sink
else
    cat >"$session/pulse-session.pa" <<EOF
load-module module-native-protocol-unix socket=$session/runtime/pulse/native auth-anonymous=1
load-module module-null-sink sink_name=pingora_test sink_properties=device.description=pingora_test
set-default-sink pingora_test
set-default-source pingora_test.monitor
EOF
    PULSE_RUNTIME_PATH="$session/runtime/pulse" PULSE_STATE_PATH="$session/state/pulse" \
        pulseaudio -n -F "$session/pulse-session.pa" --daemonize=no --exit-idle-time=-1 \
        --use-pid-file=no --system=no --log-target=stderr \
        </dev/null >"$session/logs/pulseaudio.log" 2>&1 &
    remember $!
    wait_for pulseaudio "${started[-1]}" 60 sink_ready
fi

# --- Window manager with a tray: ready once it owns the tray selection of screen 0.
tray_owned() {
    local owner
    owner=$(python3 "$script_dir/tray-owner.py" 2>/dev/null)
    [ -n "$owner" ] && [ "$owner" != 0 ]
}
if [ "$want_wm" = 1 ] && [ "$want_kwin" = 0 ]; then
    mkdir -p "$session/icewm"
    cat >"$session/icewm/preferences" <<EOF
TaskBarShowTray=1
TaskBarEnableSystemTray=1
TaskBarShowClock=0
TaskBarShowMailboxStatus=0
TaskBarShowCPUStatus=0
TaskBarShowNetStatus=0
ShowPopupsAbovePointer=0
EOF
    ICEWM_PRIVCFG="$session/icewm" icewm </dev/null >"$session/logs/icewm.log" 2>&1 &
    remember $!
    wait_for icewm "${started[-1]}" 60 tray_owned
fi

# --- Notification daemon: ready once it owns the notifications name on the bus.
notifications_owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications |
        grep -q 'boolean true'
}
if [ "$want_notifications" = 1 ]; then
    dunst -config /dev/null </dev/null >"$session/logs/dunst.log" 2>&1 &
    remember $!
    wait_for dunst "${started[-1]}" 60 notifications_owned
fi

# --- The command. It runs in the background so that a signal to this script is handled at
# once (and passed on to the command) instead of after the command ends.
"$@" <&0 &
command_pid=$!
echo "$command_pid" >>"$pidfile"
wait "$command_pid"
rc=$?
command_pid=
exit "$rc"
