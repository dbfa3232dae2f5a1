# Helpers of the real-desktop test scripts; source it before starting anything. The script
# sets $work (its folder, which holds the program's output in pingora.log) before a failure
# can be reported.

fail() {
    echo "FAIL: $*" >&2
    echo "--- program output" >&2
    tail -n 30 "$work/pingora.log" >&2
    exit 1
}

pass() { echo "ok: $*"; }

# --- Processes the script starts: their PIDs go into pids, and each is stopped at the exit.
pids=()
stop_started() {
    local pid
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null
    done
}
trap stop_started EXIT

# Polls "$@" every 0.1 s for at most $1 seconds.
wait_until() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}

# --- Balloons: every Notify call on the session bus is written to $work/notify.log.
watch_balloons() {
    dbus-monitor --session "interface='org.freedesktop.Notifications',member='Notify'" \
        >"$work/notify.log" 2>&1 &
    pids+=($!)
}
balloon_shown() { grep -q 'string "Pingora"' "$work/notify.log"; }

# --- The tray icon as a StatusNotifier host sees it (sni-host writes each registered item,
# "<bus name> <object path>", to the file $1).
# Prints the property $2 (Id, Title, ...) of the first item.
item_property() {
    local service path
    read -r service path <"$1"
    gdbus call --session --dest "$service" --object-path "$path" \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$2" |
        sed -n "s/^(<'\(.*\)'>,)$/\1/p"
}
# The call a panel makes for a right click on the icon.
right_click_item() {
    local service path
    read -r service path <"$1"
    gdbus call --session --dest "$service" --object-path "$path" \
        --method org.kde.StatusNotifierItem.ContextMenu 0 0 >/dev/null
}
# The call a panel makes when the icon is clicked.
activate_item() {
    local service path
    read -r service path <"$1"
    gdbus call --session --dest "$service" --object-path "$path" \
        --method org.kde.StatusNotifierItem.Activate 0 0 >/dev/null
}

# --- KWin (desktop-session.sh --kwin) through its scripting interface. A script's print()
# lines reach KWin's log, each marked with the script's own name to tell runs apart (a name
# made of the clock, since a counter would not count in $(...) subshells).
# Runs the JavaScript $1 in KWin, where say() prints; prints what it said.
kwin_run() {
    local name="pingora-$BASHPID-$(date +%s%N)"
    local log="$PINGORA_SESSION_DIR/logs/kwin.log"
    printf 'function say(text) { print("%s " + text); }\n%s\nsay("end");\n' "$name" "$1" \
        >"$work/$name.js"
    local id
    id=$(gdbus call --session --dest org.kde.KWin --object-path /Scripting \
        --method org.kde.kwin.Scripting.loadScript "$work/$name.js" "$name" | tr -dc 0-9)
    [ -n "$id" ] || return 1
    gdbus call --session --dest org.kde.KWin --object-path "/$id" \
        --method org.kde.kwin.Script.run >/dev/null
    wait_until 10 grep -aq "js: $name end" "$log"
    local rc=$?
    gdbus call --session --dest org.kde.KWin --object-path /Scripting \
        --method org.kde.kwin.Scripting.unloadScript "$name" >/dev/null
    grep -a "js: $name " "$log" | grep -v " end$" | sed "s/^js: $name //"
    return $rc
}
# Prints "minimized=<true|false> active=<true|false>" for each ordinary window of the process
# $1 that KWin manages (nothing while it has none: hidden windows are not managed).
kwin_windows() {
    kwin_run "workspace.clientList().forEach(function (c) {
        if (c.pid == $1 && c.normalWindow)
            say('minimized=' + c.minimized + ' active=' + c.active);
    });"
}
# Prints "<id> window|box minimized=<true|false> active=<true|false>" for each window of the
# process $1 that KWin manages, its boxes (windows kept above another) included, bottom of
# the stack first.
kwin_stack() {
    kwin_run "workspace.clientList().filter(function (c) {
        return c.pid == $1 && (c.normalWindow || c.dialog);
    }).sort(function (a, b) { return a.stackingOrder - b.stackingOrder; }).forEach(function (c) {
        say(c.internalId + ' ' + (c.transient ? 'box' : 'window') + ' minimized=' +
            c.minimized + ' active=' + c.active);
    });"
}
# Minimises the windows of the process $1 as the compositor's own minimise button does.
kwin_minimize() {
    kwin_run "workspace.clientList().forEach(function (c) {
        if (c.pid == $1 && c.normalWindow) c.minimized = true;
    });" >/dev/null
}
