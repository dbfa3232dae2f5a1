# Helpers of the real-desktop test scripts; source it before starting anything. The script
# sets $work (its folder, which holds the program's output in pingora.log) before a failure
# can be reported.

fail() {
    echo "FAIL: $*" >&2
    # A program that crashed or quit leaves no output of its own behind.
    if [ -n "${program_pid:-}" ] && ! kill -0 "$program_pid" 2>/dev/null; then
        wait "$program_pid" 2>/dev/null
        echo "--- the program is gone, exit status $?" >&2
    fi
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

# --- GNOME Shell (desktop-session.sh --gnome) through org.gnome.Shell.Eval.
# Runs the JavaScript expression $1 in the shell; prints its value, a string whose ';' become
# line breaks.
# Fails when the shell did not answer.
gnome_run() {
    local answer
    answer=$(gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Eval "$1") && [[ "$answer" == "(true, "* ]] || return 1
    sed -n "s/^(true, '\"\(.*\)\"')$/\1/p" <<<"$answer" | tr ';' '\n'
}
# Prints "minimized=<true|false> active=<true|false>" for each ordinary window of the process
# $1 that the shell manages (nothing while it has none: hidden windows are not managed).
gnome_windows() {
    gnome_run "global.get_window_actors().map(a => a.meta_window).filter(w =>
        w.get_pid() == $1 && w.get_window_type() == imports.gi.Meta.WindowType.NORMAL).map(w =>
        'minimized=' + w.minimized + ' active=' + w.has_focus()).join(';')"
}
# Minimises the windows of the process $1 as the window's own minimise button does.
gnome_minimize() {
    gnome_run "global.get_window_actors().map(a => a.meta_window).filter(w =>
        w.get_pid() == $1).forEach(w => w.minimize())" >/dev/null
}
# The extension shows an item (StatusNotifierItem) or, in its tray for X11 programs, a docked
# icon. The JavaScript that picks the top bar's icons named $1 on show:
gnome_icons_named() {
    echo "Object.values(Main.panel.statusArea).filter(i => i && i.visible &&
        ((i._indicator && i._indicator.id == '$1') || (i._icon && i._icon.wm_class == '$1')))"
}
# Prints what the top bar shows for the program named $1: "item" or "docked", one a line.
gnome_tray_icons() {
    gnome_run "$(gnome_icons_named "$1").map(i => i._indicator ? 'item' : 'docked').join(';')"
}
gnome_icon_shown() { [ -n "$(gnome_tray_icons "$1")" ]; }
# What the extension does when the icon named $1 is clicked: an item is activated (for one
# with no menu of its own, at a double click), a docked icon gets the click.
gnome_click_icon() {
    gnome_run "$(gnome_icons_named "$1").forEach(i => {
        if (i._indicator) {
            i._indicator.open(0, 0, global.get_current_time());
            return;
        }
        const Clutter = imports.gi.Clutter;
        const click = Clutter.Event.new(Clutter.EventType.BUTTON_RELEASE);
        click.set_button(1);
        click.set_time(global.get_current_time());
        click.set_stage(global.stage);
        click.set_source(i._icon);
        i._icon.click(click);
    })" >/dev/null
}
# Turns the AppIndicator extension on or off through the settings, as the Extensions app
# does; the shell follows them on its own time.
gnome_extension() { # enable|disable
    local tray=ubuntu-appindicators@ubuntu.com
    local others
    others=$(gsettings get org.gnome.shell enabled-extensions |
        tr -d "[]' " | tr , '\n' | grep -v -x -e "$tray" -e '' -e '@as' | sed "s/.*/'&'/" | paste -sd,)
    if [ "$1" = enable ]; then
        gsettings set org.gnome.shell enabled-extensions "[${others:+$others, }'$tray']"
    else
        gsettings set org.gnome.shell enabled-extensions "[$others]"
    fi
}
