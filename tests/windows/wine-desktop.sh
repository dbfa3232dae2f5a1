#!/bin/bash
# Real-desktop test of the Windows program under Wine, run inside desktop-session.sh --wm:
#   wine-desktop.sh <wine-run.sh> <pingora.exe> <tray-tips.exe> <main-window-places.exe>
# The program runs in a Wine prefix of its own on the session's X server, where Wine docks its
# tray icon in icewm's tray; the test drives it with xdotool as a person would and reads what
# a person reads:
#   - the main window, its boxes and the sound file dialog bear their titles, and each box's text
#     is exact (a Windows message box copies its title, text and buttons to the clipboard on
#     Ctrl+C); the file chosen in the dialog is kept with backslashes;
#   - the first minimise hides the window in the tray, and the balloon that Wine's shell shows
#     has the program's text (its title cannot be read there); the icon's tooltip reads Pingora,
#     and a click on the icon brings the window back;
#   - ticking "Load this software on Windows startup" and choosing an interval write the
#     settings and the log-on value under the user's Run key, as Wine's `reg` reads them;
#   - "View History Log" opens the log in Notepad, and the window does not wait for it;
#   - "Beep Now (Test)" plays the chosen sound, heard whole at the session's sound server, and
#     is logged;
#   - in a program folder named "Pingora Grüße 日本", the default sound's path is written with
#     backslashes and the skin beside the program is read through the folder's Unicode name.
set -u

usage="usage: wine-desktop.sh <wine-run.sh> <pingora.exe> <tray-tips.exe> <main-window-places.exe>"
run=${1:?$usage}
program=${2:?$usage}
tray_tips=${3:?$usage}
places=${4:?$usage}
session=${PINGORA_SESSION_DIR:?run inside desktop-session.sh}
work="$session/wine-desktop"
mkdir -p "$work"

source "$(dirname "$0")/../e2e/script-helpers.sh"
source "$(dirname "$0")/sink-recording.sh"

# A prefix of its own: Wine's desktop process lives as long as the prefix's server and keeps
# the display it was started on. At the end, everything in that prefix goes.
export PINGORA_WINEPREFIX="$session/wine-prefix"
end_wine() {
    WINEPREFIX=$PINGORA_WINEPREFIX wineserver -k 2>/dev/null
    WINEPREFIX=$PINGORA_WINEPREFIX wineserver -w 2>/dev/null
}
trap 'stop_recording; stop_started; end_wine' EXIT
reg() { "$run" reg "$@" 2>/dev/null | tr -d '\r'; }
# The text of value $2 of the key $1 (nothing when it is absent). Exported, not queried: `reg
# query` prints in the console's code page, which has no "日本".
reg_value() {
    rm -f "$work/key.reg"
    reg export "$1" "$(winepath_of "$work/key.reg")" >/dev/null
    [ -s "$work/key.reg" ] && iconv -f UTF-16 -t UTF-8 "$work/key.reg" | tr -d '\r' |
        sed -n "s/^\"$2\"=\"\(.*\)\"\$/\1/p" | sed 's/\\\(.\)/\1/g'
}
winepath_of() { "$run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
settings='HKCU\Software\Wrenfield\Pingora'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'

# --- Before the start: automatic beeping off, and the program in a folder whose name the ANSI
# code page cannot spell, with its default sound and a skin beside it.
reg add "$settings" /v StartStopState /d Off /f >/dev/null || fail "no Wine prefix"
temp_unix=$("$run" winepath -u "$("$run" cmd /c 'echo %TEMP%' 2>/dev/null | tr -d '\r\n')" 2>/dev/null)
[ -d "$temp_unix" ] || fail "no temporary folder in the Wine prefix ($temp_unix)"
folder="$temp_unix/Pingora Grüße 日本"
mkdir -p "$folder/x"
cp "$program" "$(dirname "$program")/beep.wav" "$folder/"
printf 'QWidget { background-color: #204060; }\n' >"$folder/x/o.cjs"
# The history log in a folder with a space.
mkdir -p "$temp_unix/log folder"
reg add 'HKCU\Environment' /v TEMP /d "$(winepath_of "$temp_unix/log folder")" /f >/dev/null

"$run" "$folder/$(basename "$program")" >"$work/pingora.log" 2>&1 &
pids+=($!)
# The windows on show of a Windows program, by its file name; $2, if given, is their title.
windows_of() {
    local window
    for window in $(xdotool search --onlyvisible --classname "^$1\$" 2>/dev/null); do
        [ -z "${2:-}" ] || [ "$(xdotool getwindowname "$window")" = "$2" ] && echo "$window"
    done
}
main_window() { windows_of pingora.exe Pingora | head -n1; }
report() { windows_of pingora.exe "Application Error" | head -n1; }
wait_until 90 eval '[ -n "$(main_window)$(report)" ]' || fail "the main window did not appear"
[ -z "$(report)" ] || fail "an error report came up at the start"
main=$(main_window)
sleep 1 # let the window manager place it
pass "the main window is on the screen, titled Pingora"

sound=$(winepath_of "$folder/beep.wav")
[ "$(reg_value "$settings" Beep)" = "$sound" ] ||
    fail "the default sound is '$(reg_value "$settings" Beep)', not '$sound'"
pass "the default sound is $sound"
import -window "$main" "$work/main.png"
corner=$(convert "$work/main.png" -format '%[pixel:p{3,3}]' info:)
[ "$corner" = "srgb(32,64,96)" ] || fail "the window is $corner, not in the skin's colours"
pass "the skin x\\o.cjs beside the program was read"

# Clicks the control $1 of the main window where the window's layout puts it.
button_places=$("$run" "$places" | tr -d '\r') || fail "main-window-places did not run"
eval "$button_places"
click() {
    local x=${1}_x y=${1}_y
    xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
    xdotool mousemove --window "$main" "${!x}" "${!y}" click 1
}
boxes() { windows_of pingora.exe | grep -vx "$main"; }
# Clicks the button $1, and prints what the box that comes up copies on Ctrl+C (its
# title, text and buttons); the box is then closed with Escape.
box_copy_after_click() {
    local earlier box
    earlier=$(boxes)
    printf 'before' | xclip -selection clipboard -i
    click "$1"
    new_box() { boxes | grep -vxF "$earlier" | head -n1; }
    wait_until 20 eval '[ -n "$(new_box)" ]' || { echo "(no box came up)"; return; }
    box=$(new_box)
    # A box just mapped may not have the keyboard yet: a click on its margin gives it the
    # keyboard, as a person's would, until it copies.
    copied() { [ "$(xclip -o -selection clipboard 2>/dev/null)" != before ]; }
    copy_box() {
        xdotool mousemove --window "$box" 8 8 click 1
        xdotool key --clearmodifiers ctrl+c
        wait_until 2 copied
    }
    wait_until 20 copy_box
    xclip -o -selection clipboard 2>/dev/null | tr -d '\r'
    xdotool key --clearmodifiers Escape
    wait_until 10 eval '[ -z "$(boxes)" ]' || echo "(the box stayed after Escape)"
}
box_text() { # title, text, buttons: as a Windows message box copies them
    local line=---------------------------
    printf '%s\n%s\n%s\n%s\n%s\n%s\n%s\n' $line "$1" $line "$2" $line "$3   " $line
}
check_box() { # what, control, title, text, buttons
    box_copy_after_click "$2" >"$work/box.txt"
    box_text "$3" "$4" "$5" >"$work/box-expected.txt"
    diff -u "$work/box-expected.txt" "$work/box.txt" >&2 || fail "the $1 box differs"
    pass "the $1 box: \"$4\""
}
check_box help PushButton11 Pingora \
    "Questions? Please contact Team Wrenfield at https://www.example.com/pingora/contact" OK
check_box "no log to view" PushButton3 Pingora \
    "There isn't a history to view because actions have not been performed yet." OK
check_box "clear question" PushButton12 Pingora \
    "Are you sure you want to delete the history log and start over?" "&Yes   &No"
# The sound file dialog: the system's own, with the program's title; the file chosen there is
# kept as the user reads it, with backslashes.
chosen_unix="$temp_unix/log folder/ding.wav"
cp "$folder/beep.wav" "$chosen_unix"
chosen=$(winepath_of "$chosen_unix")
click PushButton1
dialog() { windows_of pingora.exe "Add File(s) - Hold Ctrl to select multiple files" | head -n1; }
wait_until 30 eval '[ -n "$(dialog)" ]' || fail "no sound file dialog with its title came up"
# Just mapped, the dialog may not take the keyboard yet (on a busy machine Wine may still be
# busy with the window it belongs to): the window manager is asked to activate it, and if it
# does not, its title bar is clicked, as a person would, until it is the active window.
dialog_active() {
    local window
    window=$(dialog)
    [ -n "$window" ] || return 1
    active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ]; }
    active && return 0
    xdotool windowactivate "$window" 2>/dev/null
    wait_until 3 active && return 0
    eval "$(xdotool getwindowgeometry --shell "$window")"
    local top
    top=$(xprop -id "$window" _NET_FRAME_EXTENTS | sed -n 's/.*= [0-9]*, [0-9]*, \([0-9]*\),.*/\1/p')
    xdotool mousemove --window "$window" $((WIDTH / 2)) $((-${top:-16} / 2)) click 1
    wait_until 3 active
}
wait_until 40 dialog_active || {
    import -window root "$work/dialog.png"
    fail "the sound file dialog did not take the keyboard ($(dialog) $(xdotool getactivewindow))"
}
xdotool type --clearmodifiers "$chosen"
xdotool key --clearmodifiers Return
wait_until 30 eval '[ -z "$(boxes)" ]' || {
    import -window root "$work/dialog.png"
    fail "the sound file dialog did not close"
}
wait_until 10 eval '[ "$(reg_value "$settings" Beep)" = "$chosen" ]' ||
    fail "the chosen sound file is kept as '$(reg_value "$settings" Beep)', not '$chosen'"
pass "the sound file chosen in \"Add File(s) - Hold Ctrl to select multiple files\" is $chosen"

# --- The first minimise: into the tray, with the balloon.
xdotool windowminimize "$main"
hidden() {
    ! xwininfo -id "$main" | grep -q IsViewable &&
        ! xprop -root _NET_CLIENT_LIST | grep -q "$(printf '0x%x' "$main")"
}
wait_until 20 hidden || fail "the window did not leave the screen and the taskbar"
tooltips() { "$run" "$tray_tips" 2>/dev/null | tr -d '\r'; }
balloons() { tooltips | sed -n 's/^balloon: //p'; }
wait_until 20 eval '[ -n "$(balloons)" ]' || fail "no balloon came up"
expected="has been minimized to the system tray.\\nClick on the blue 'W' icon (W for Wrenfield) to bring the software back."
[ "$(balloons)" = "$expected" ] || fail "the balloon reads '$(balloons)'"
pass "the first minimise hid the window in the tray with the balloon"

# The icon: the window that Wine's shell docked in the tray (a small one of its own process).
tray_icon() {
    local window
    for window in $(windows_of explorer.exe); do
        eval "$(xdotool getwindowgeometry --shell "$window")"
        [ "$WIDTH" -le 48 ] && [ "$HEIGHT" -le 48 ] && { echo "$window"; return 0; }
    done
    return 1
}
wait_until 20 tray_icon >/dev/null || fail "no icon in the tray"
eval "$(xdotool getwindowgeometry --shell "$(tray_icon)")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
wait_until 20 eval 'tooltips | grep -qx "tip: Pingora"' ||
    fail "the icon's tooltip reads '$(tooltips | grep '^tip: ')'"
pass "the icon's tooltip reads Pingora"
xdotool click 1
shown() { xwininfo -id "$main" | grep -q IsViewable; }
wait_until 20 shown || fail "a click on the tray icon did not bring the window back"
pass "a click on the tray icon brought the window back"

# --- The start-up box and the interval: in the registry at once.
click Check4
exe=$(winepath_of "$folder/$(basename "$program")")
wait_until 20 eval '[ "$(reg_value "$run_key" Pingora)" = "\"$exe\"" ]' ||
    fail "the Run value is '$(reg_value "$run_key" Pingora)', not \"$exe\""
[ "$(reg_value "$settings" "Windows Startup")" = On ] || fail "Windows Startup is not On"
pass "ticking the start-up box wrote the Run value \"$exe\" and Windows Startup=On"

# A row of the list, then its first row by key; again if the key went astray on a busy machine.
first_row_by_key() {
    click ListView1
    xdotool key --clearmodifiers Home
    wait_until 5 eval '[ "$(reg_value "$settings" OftenIndex)" = 1 ]'
}
wait_until 40 first_row_by_key ||
    fail "OftenIndex is '$(reg_value "$settings" OftenIndex)' after choosing the first row"
pass "choosing \"Beep every 1 second\" stored OftenIndex=1"

click Check4
wait_until 20 eval '[ -z "$(reg_value "$run_key" Pingora)" ]' ||
    fail "clearing the box left the Run value"
[ "$(reg_value "$settings" "Windows Startup")" = Off ] || fail "Windows Startup is not Off"
pass "clearing the start-up box removed the Run value"

# --- View History Log: Notepad with the log.
printf 'Beeped at 8/31/2021 3:04:05 PM\r\n' >"$temp_unix/log folder/Pingora.txt"
click PushButton3
notepad() { windows_of notepad.exe "Pingora.txt - Notepad"; }
wait_until 30 eval '[ -n "$(notepad)" ]' || fail "Notepad did not open the log"
[ -z "$(boxes)" ] || fail "viewing the log showed a box"
pass "View History Log opened Pingora.txt in Notepad"
# The window does not wait for Notepad: it answers while Notepad is open.
check_box help PushButton11 Pingora \
    "Questions? Please contact Team Wrenfield at https://www.example.com/pingora/contact" OK

# --- Beep Now (Test): heard whole, once, and logged.
log="$temp_unix/log folder/Pingora.txt"
start_recording "$work/heard.raw" || fail "the recorder heard nothing of the sound server"
click PushButton6
wait_until 30 eval '[ "$(grep -c "^Beeped at " "$log")" = 2 ]' ||
    fail "Beep Now logged no line ($(tail -n1 "$log"))"
sleep 2 # it plays out
stop_recording
python3 "$(dirname "$0")/sounds-heard.py" "$work/heard.raw" "ding.wav|$(soxi -D "$chosen_unix")" ||
    fail "Beep Now was not heard as ding.wav"
pass "Beep Now played ding.wav whole and was logged"
