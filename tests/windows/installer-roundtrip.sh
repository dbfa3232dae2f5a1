#!/usr/bin/env bash
# Round trip of the Windows installer under Wine, in a Wine prefix of its own on the display of
# the desktop session it runs in (tests/support/desktop-session.sh):
#  1. installs silently for the current user or for all users (as Wine's user is an
#     administrator) and checks the installed files against the portable zip, and the entry in
#     the installed programs;
#  2. starts the program from the Start menu entry's target until its window is up, and checks
#     that the installer refuses to replace it while it runs, and does once it is closed;
#  3. uninstalls silently and checks that the program folder, the Start menu entry, the entry
#     in the installed programs and the start at log-on are gone, and the settings stay.
# Usage: installer-roundtrip.sh <installer.exe> <portable.zip> CurrentUser|AllUsers
set -euo pipefail
installer=$1 zip=$2 mode=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
# No Mono or Gecko offers, and no menu entries on this side for what is installed there.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The program finds every DLL and plugin in its own folder, or not at all; a start that opens
# the home page opens nothing.
unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM
export BROWSER=true
program_pid=''
cleanup() {
    [[ -n $program_pid ]] && kill "$program_pid" 2>/dev/null
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    import -window root "$work/../installer-roundtrip-failure.png" 2>/dev/null &&
        echo "(screen in $(realpath "$work/../installer-roundtrip-failure.png"))" >&2
    exit 1
}
step() { printf '\n== %s\n' "$*"; }

hive=$([[ $mode == AllUsers ]] && echo HKLM || echo HKCU)
uninstall_key="$hive\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pingora"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings_key='HKCU\Software\Wrenfield\Pingora'
# Prints a value from the registry, or nothing when it is not there.
reg_value() {
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
unix_path() { winepath -u "$1" 2>/dev/null | tr -d '\r'; }

step "Installing silently, /$mode"
wineboot --init >/dev/null 2>&1
wineserver -w
wine "$installer" /S "/$mode" || fail "the installer ended with $?"
location=$(reg_value "$uninstall_key" InstallLocation)
[[ -n $location ]] || fail "no InstallLocation under $uninstall_key"
folder=$(unix_path "$location")
echo "Installed in $location"
[[ $(reg_value "$uninstall_key" DisplayName) == Pingora ]] || fail "the entry has no DisplayName"
[[ $(reg_value "$uninstall_key" QuietUninstallString) == "\"$location\\Uninstall.exe\" /$mode /S" ]] ||
    fail "the quiet uninstall command is $(reg_value "$uninstall_key" QuietUninstallString)"
[[ -s $folder/Uninstall.exe ]] || fail "no Uninstall.exe in $folder"

python3 -m zipfile -e "$zip" "$work/zip"
diff <(cd "$work/zip/Pingora" && find . -type f | sort) \
    <(cd "$folder" && find . -type f ! -name Uninstall.exe | sort) ||
    fail "the installed files differ from the portable zip's (above)"

step "Starting the program from the Start menu entry"
shortcut=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Pingora.lnk' | head -n 1)
[[ -n $shortcut ]] || fail "no Start menu entry Pingora.lnk"
mapfile -t link < <(python3 "$here/shortcut-target.py" "$shortcut")
[[ ${link[0]} == "$location\\pingora.exe" ]] || fail "the entry starts ${link[0]}"
[[ -f $(unix_path "${link[0]}") ]] || fail "the entry's target ${link[0]} does not exist"
(cd "$(unix_path "${link[1]}")" && exec wine "${link[0]}") >"$work/program.log" 2>&1 &
window=''
for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Pingora$' 2>/dev/null | head -n 1) || true
    [[ -n $window ]] && break
    sleep 0.2
done
[[ -n $window ]] || fail "no Pingora window within 60 seconds"
program_pid=$(xdotool getwindowpid "$window")
grep -qaF 'pingora.exe' "/proc/$program_pid/cmdline" || fail "the window is not the program's"
echo "Window $window is up."

# Installing again replaces a copy that is not running, and refuses to while it runs.
wine "$installer" /S "/$mode" && fail "the installer replaced the program while it ran"
[[ -s $folder/pingora.exe ]] || fail "the refused installation removed the program"
kill "$program_pid"
program_pid=''
wineserver -w
wine "$installer" /S "/$mode" || fail "installing again over the closed program ended with $?"

step "Uninstalling silently"
# What the user leaves: settings, and the start at log-on of this copy and of another program.
wine reg add "$settings_key" /v OftenIndex /d 4 /f >/dev/null
wine reg add "$run_key" /v Pingora /d "\"$location\\pingora.exe\"" /f >/dev/null
wine reg add "$run_key" /v Other /d '"C:\Other\other.exe"' /f >/dev/null
mkdir -p "$folder/x" && echo 'QWidget {}' >"$folder/x/o.cjs"
# The uninstaller goes on from a copy of itself; the prefix's processes all end with it.
wine "$folder/Uninstall.exe" "/$mode" /S
wineserver -w
[[ ! -e $folder ]] || fail "left behind: $(find "$folder" | head -n 5)"
[[ ! -e $shortcut ]] || fail "the Start menu entry is still there"
wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "the entry in the installed programs is still there"
[[ -z $(reg_value "$run_key" Pingora) ]] || fail "the start at log-on of the removed program is still there"
[[ -n $(reg_value "$run_key" Other) ]] || fail "the uninstaller removed another program's start at log-on"
[[ $(reg_value "$settings_key" OftenIndex) == 4 ]] || fail "the uninstaller removed the settings"

step "Installer round trip passed"
