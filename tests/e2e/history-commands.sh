#!/bin/bash
# Real-desktop test of the history log commands, run inside desktop-session.sh --wm:
#   history-commands.sh <pingora program> <clipboard-keeper> <main-window-places>
# It starts the program on the session's X server with a history log of three lines in a
# folder whose name has spaces, quotes and non-ASCII letters, and clicks its buttons with
# xdotool as a person would:
#   - "Copy History To Clipboard" without a log leaves another program's clipboard text;
#   - "View History Log" starts the desktop's default program for plain text (a recorder of
#     this test, made the default through the freedesktop configuration) with the log's path,
#     and does not wait for it;
#   - "Copy History To Clipboard" puts exactly the three lines on the X clipboard, with LF
#     line ends, as xclip reads it, and a log of 65 MB whole;
#   - "Clear History Log" answered No (Alt+N) keeps the log, answered Yes (Alt+Y) removes it
#     and shows nothing afterwards;
#   - closing the window after "Copy History To Clipboard" hands the copy over to the
#     desktop's clipboard manager (clipboard-keeper, the second argument), so that it can
#     still be pasted once the program has ended, which it does at once and with status 0.
# The buttons are clicked where main-window-places (the third argument) says the window's
# layout puts them.
set -u

usage="usage: history-commands.sh <pingora program> <clipboard-keeper> <main-window-places>"
program=${1:?$usage}
keeper=${2:?$usage}
places=${3:?$usage}
session=${PINGORA_SESSION_DIR:?run inside desktop-session.sh}
work="$session/history-test"
mkdir -p "$work"

source "$(dirname "$0")/script-helpers.sh"
# The text viewer is started by the program, not by this script.
trap 'stop_started; [ -s "$work/viewer.pid" ] && kill -TERM "$(cat "$work/viewer.pid")" 2>/dev/null' EXIT

# --- A generic X session: xdg-open then finds the default program for a type through the
# freedesktop configuration (mimeapps.list and .desktop entries), not through a desktop's
# own opener. Anything naming a desktop environment would change that.
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID \
    MATE_DESKTOP_SESSION_ID BROWSER
mkdir -p "$XDG_DATA_HOME/applications"
cat >"$work/viewer.sh" <<VIEWER
#!/bin/sh
# Records its arguments (NUL-separated) and stays open like an editor.
echo \$\$ >"$work/viewer.pid"
env | grep '^QT_XCB_NO_MITSHM=' >"$work/viewer.env"
printf '%s\\0' "\$@" >"$work/viewer.args.part" && mv "$work/viewer.args.part" "$work/viewer.args"
exec sleep 60
VIEWER
chmod +x "$work/viewer.sh"
cat >"$XDG_DATA_HOME/applications/pingora-test-viewer.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Pingora test viewer
Exec=$work/viewer.sh %f
MimeType=text/plain;
ENTRY
printf '[Default Applications]\ntext/plain=pingora-test-viewer.desktop\n' \
    >"$XDG_CONFIG_HOME/mimeapps.list"
[ "$(xdg-mime query default text/plain)" = pingora-test-viewer.desktop ] ||
    fail "the test's viewer is not the default for plain text"

# --- The program's folders: settings with automatic beeping off (no beep writes to the log
# during the test), and the log's folder.
printf '[Pingora]\nStartStopState=Off\n' >"$XDG_CONFIG_HOME/Wrenfield.ini"
export TEMP="$session/temp/log folder it's \"ü\" 日誌"
mkdir -p "$TEMP"
log="$TEMP/Pingora.txt"
printf 'Beeped at 8/31/2021 3:04:05 PM\r\nBeep file not found. Fail to beeped at 8/31/2021 3:09:05 PM\r\nNo beep file specified. Fail to beeped at 8/31/2021 3:14:05 PM\r\n' \
    >"$work/three-lines.txt"
printf 'Beeped at 8/31/2021 3:04:05 PM\nBeep file not found. Fail to beeped at 8/31/2021 3:09:05 PM\nNo beep file specified. Fail to beeped at 8/31/2021 3:14:05 PM\n' \
    >"$work/three-lines-lf.txt"

# --- Start the program and find its window.
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 "$program" >"$work/pingora.log" 2>&1 &
pids+=($!)
program_pid=$!
pingora_windows() { xdotool search --onlyvisible --name '^Pingora$' 2>/dev/null; }
wait_until 60 pingora_windows >/dev/null || fail "the main window did not appear"
sleep 1 # let the window manager map and place it
main=$(pingora_windows | head -n1)
[ "$(pingora_windows | wc -l)" -eq 1 ] || fail "a message box came up at start-up"

# Clicks a button of the main window at its centre, given as x and y in pixels within the
# window's client area.
button_places=$("$places") || fail "main-window-places did not say where the buttons are"
eval "$button_places"
click_button() {
    local x=$1 y=$2
    xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
    xdotool mousemove --window "$main" "$x" "$y" click 1
}
view_history_log() { click_button "$PushButton3_x" "$PushButton3_y"; }
copy_history_to_clipboard() { click_button "$PushButton8_x" "$PushButton8_y"; }
clear_history_log() { click_button "$PushButton12_x" "$PushButton12_y"; }

clipboard_is() { xclip -o -selection clipboard 2>/dev/null | cmp -s - "$1"; }
message_box() { pingora_windows | grep -vx "$main" | head -n1; }
has_message_box() { [ -n "$(message_box)" ]; }
no_message_box() { ! has_message_box; }

# --- Copy without a log: another program's clipboard text stays.
printf 'text of another program' >"$work/other.txt"
xclip -selection clipboard -quiet -i "$work/other.txt" >/dev/null 2>&1 &
pids+=($!)
wait_until 10 clipboard_is "$work/other.txt" || fail "could not put a text on the clipboard"
copy_history_to_clipboard
sleep 2
clipboard_is "$work/other.txt" || fail "copy without a log changed the clipboard"
no_message_box || fail "copy without a log showed a message"
pass "Copy History To Clipboard without a log leaves the clipboard as it was"

# --- View: the default text program gets the log's path, and the window does not wait.
cp "$work/three-lines.txt" "$log"
view_history_log
wait_until 20 test -s "$work/viewer.args" || fail "no viewer was started for the log"
printf '%s\0' "$log" | cmp -s - "$work/viewer.args" ||
    fail "the viewer got $(tr '\0' '|' <"$work/viewer.args") instead of $log"
[ ! -s "$work/viewer.env" ] || fail "the viewer inherited the program's $(cat "$work/viewer.env")"
kill -0 "$(cat "$work/viewer.pid")" 2>/dev/null || fail "the viewer is not running"
no_message_box || fail "viewing the log showed a message"
pass "View History Log opens the log in the desktop's plain-text program, path intact"

# --- Copy: exactly the three lines, as another program pastes them (while the viewer is
# still open).
copy_history_to_clipboard
wait_until 20 clipboard_is "$work/three-lines-lf.txt" ||
    fail "the clipboard holds $(xclip -o -selection clipboard | od -c | head -n 5)"
xclip -o -selection clipboard -t TARGETS | grep -qx UTF8_STRING ||
    fail "the clipboard offers no UTF8_STRING text"
cmp -s "$log" "$work/three-lines.txt" || fail "copying changed the log"
pass "Copy History To Clipboard puts the three lines on the X clipboard"

# --- A large log (65 MB, more than X passes in one piece) is copied whole, also when it
# replaces a large copy of its own.
yes 'Beeped at 8/31/2021 3:04:05 PM' | head -n 2100000 >"$work/large-lf.txt"
sed 's/$/\r/' "$work/large-lf.txt" >"$log"
copy_history_to_clipboard
sleep 1
copy_history_to_clipboard
wait_until 60 clipboard_is "$work/large-lf.txt" ||
    fail "the clipboard holds $(xclip -o -selection clipboard | wc -c) bytes of a large log"
no_message_box || fail "copying a large log showed a message"
pass "Copy History To Clipboard copies a large log whole, twice in a row"
cp "$work/three-lines.txt" "$log"

# --- Clear: No keeps the log, Yes removes it, and nothing is shown afterwards.
answer_box() {
    local box
    wait_until 20 has_message_box || fail "no question came up"
    box=$(message_box)
    [ "$(xdotool getwindowname "$box")" = Pingora ] || fail "the question is not titled Pingora"
    xdotool windowactivate --sync "$box" 2>/dev/null || xdotool windowfocus --sync "$box"
    xdotool key --clearmodifiers "$1"
    wait_until 20 no_message_box || fail "the question did not go away after $1"
}
clear_history_log
answer_box alt+n
sleep 1
cmp -s "$log" "$work/three-lines.txt" || fail "answering No changed or removed the log"
pass "Clear History Log answered No keeps the log"

clear_history_log
answer_box alt+y
wait_until 20 test ! -e "$log" || fail "answering Yes did not remove the log"
sleep 1
no_message_box || fail "a message followed the removal"
kill -0 "$program_pid" 2>/dev/null || fail "the program ended"
pass "Clear History Log answered Yes removes the log, silently"

# --- Close: the copy outlives the program, kept by the clipboard manager.
"$keeper" >"$work/keeper.out" 2>"$work/keeper.log" &
pids+=($!)
wait_until 10 grep -qx ready "$work/keeper.out" || fail "the clipboard manager did not start"
cp "$work/three-lines.txt" "$log"
copy_history_to_clipboard
wait_until 20 clipboard_is "$work/three-lines-lf.txt" || fail "the log was not copied"
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
closed_at=$(date +%s%N)
xdotool key --clearmodifiers alt+F4
ended() { # gone, or a zombie that this script has not waited for yet
    local state
    state=$(ps -o stat= -p "$program_pid") || return 0
    [[ ${state// /} == Z* ]]
}
wait_until 20 ended || fail "the program did not end after its window was closed"
took_ms=$((($(date +%s%N) - closed_at) / 1000000))
wait "$program_pid"
status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
[ "$took_ms" -le 3000 ] || fail "the program took $took_ms ms to end"
clipboard_is "$work/three-lines-lf.txt" ||
    fail "after the end the clipboard holds '$(xclip -o -selection clipboard 2>&1 | head -c 200)' ($(cat "$work/keeper.log"))"
pass "closing hands the copied log to the clipboard manager; ended in $took_ms ms, status 0"
