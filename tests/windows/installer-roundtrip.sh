#!/usr/bin/env bash
# Round trip of the Windows installer under Wine, in a Wine prefix of its own, on the display of
# the desktop session it runs in: installs silently for the current user or for all users
# (Wine's user is an administrator), starts the program from the Start menu entry's target,
# checks that installing again and uninstalling wait for the program to be closed, and
# uninstalls.
# Usage: installer-roundtrip.sh <installer.exe> <portable.zip> CurrentUser|AllUsers
set -euo pipefail
installer=$1 zip=$2 mode=$3
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
# No Mono or Gecko offers, no menu entries on this side; the program finds its DLLs and plugins
# in its own folder or not at all, and a start that opens the home page opens nothing.
export WINEPREFIX=$work/prefix WINEDEBUG=-all BROWSER=true
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
hive=$([[ $mode == AllUsers ]] && echo HKLM || echo HKCU)
uninstall_key="$hive\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pingora"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
settings_key='HKCU\Software\Wrenfield\Pingora'
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }

wineboot --init >/dev/null 2>&1 && wineserver -w
wine "$installer" /S "/$mode" || fail "the installer ended with $?"
location=$(reg_value "$uninstall_key" InstallLocation)
folder=$(winepath -u "$location" 2>/dev/null | tr -d '\r')
[[ -n $location && $(reg_value "$uninstall_key" QuietUninstallString) == \
    "\"$location\\Uninstall.exe\" /$mode /S" ]] || fail "no uninstall entry under $uninstall_key"
python3 -m zipfile -e "$zip" "$work/zip"
diff <(cd "$work/zip/Pingora" && find . -type f | sort) \
    <(cd "$folder" && find . -type f ! -name Uninstall.exe | sort) ||
    fail "the files installed in $location differ from the portable zip's (above)"

# Wine's start cannot open shortcuts: the target is read from the entry as the one path in it.
shortcut=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Pingora.lnk')
target=$(tr -c '[:print:]' '\n' <"$shortcut" | grep '^[A-Z]:\\.*\.exe$') || fail "no Start menu entry"
target=${target%%$'\n'*}
[[ $target == "$location\\pingora.exe" ]] || fail "the Start menu entry starts $target"
(cd "$folder" && exec wine "$target") >/dev/null 2>&1 &
for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Pingora$' 2>/dev/null | head -n 1) && break
    sleep 0.2
done
[[ -n ${window:-} ]] || fail "no Pingora window within 60 seconds"
wine "$installer" /S "/$mode" && fail "the installer replaced the program while it ran"
# In its own place (_?=, a path without spaces) the uninstaller ends with its work, here
# refused before any file goes.
short=$(winepath -s "$location" | tr -d '\r')
wine "$folder/Uninstall.exe" "/$mode" /S "_?=$short" && fail "the uninstaller ran beside the program"
[[ -f $folder/beep.wav ]] || fail "the uninstaller removed files of the running program"
kill "$(xdotool getwindowpid "$window")"
wineserver -w
wine "$installer" /S "/$mode" || fail "installing again over the closed program ended with $?"

# Settings and the start at log-on of this copy and of another program, then the uninstaller,
# which goes on from a copy of itself: the prefix's processes all end with it.
wine reg add "$settings_key" /v OftenIndex /d 4 /f >/dev/null
wine reg add "$run_key" /v Pingora /d "\"$location\\pingora.exe\"" /f >/dev/null
wine reg add "$run_key" /v Other /d '"C:\Other\other.exe"' /f >/dev/null
mkdir -p "$folder/x" && echo 'QWidget {}' >"$folder/x/o.cjs"
wine "$folder/Uninstall.exe" "/$mode" /S
wineserver -w
[[ ! -e $folder && ! -e $shortcut ]] || fail "left behind: $(find "$folder" "$shortcut" | head -n 5)"
! wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the uninstall entry is still there"
[[ -z $(reg_value "$run_key" Pingora) ]] || fail "the start at log-on of the removed copy stays"
[[ -n $(reg_value "$run_key" Other) ]] || fail "another program's start at log-on was removed"
[[ $(reg_value "$settings_key" OftenIndex) == 4 ]] || fail "the settings were removed"
echo "Installed in $location, started, uninstalled."
