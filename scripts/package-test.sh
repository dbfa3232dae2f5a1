#!/usr/bin/env bash
# Round trip of the Debian package on this machine (Debian 12, run as root):
#  1. builds Pingora and its package (cpack), checks the package with lintian;
#  2. installs it with apt-get, checks the installed files (program folder, link, desktop entry,
#     metainfo, icons) and starts the program from its desktop entry on a private virtual
#     display until its window appears;
#  3. installs with `cmake --install` into a prefix with spaces (and DESTDIR) and starts the
#     program there through its link;
#  4. removes the package and checks that nothing of it is left.
# Usage: scripts/package-test.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

step() { printf '\n== %s\n' "$*"; }
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
[[ $EUID -eq 0 ]] || fail "run as root: the package is installed and removed with apt-get"

app_id=$(sed -n 's/.*kAppId = QStringLiteral("\([^"]*\)").*/\1/p' core/ProductInfo.h)
[[ -n $app_id ]] || fail "cannot read the application id from core/ProductInfo.h"

work=$(mktemp -d)
xvfb_pid='' bus_pid='' program_pid='' installed_by_us=''
cleanup() {
    local status=$?
    for pid in $program_pid $bus_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
    done
    if [[ $status -ne 0 ]]; then
        for log in "$work"/launch.log "$work"/prefix-run.log; do
            [[ -s $log ]] && printf '\n%s:\n%s\n' "Output of the program ($(basename "$log"))" "$(tail -n 30 "$log")"
        done
    fi
    if [[ $status -ne 0 && -n $installed_by_us ]]; then
        echo "Removing the package after the failure."
        apt-get remove -y -q pingora >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# ---------------------------------------------------------------------------------------------
step "Building the program and the package"
bash scripts/build.sh "$build"
rm -f "$build"/pingora_*.deb
(cd "$build" && cpack -G DEB) >"$work/cpack.log" || {
    cat "$work/cpack.log"
    fail "cpack failed"
}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$(realpath "$build/pingora_${version}_$(dpkg --print-architecture).deb")
[[ -f $deb ]] || fail "no package named $(basename "$deb") in $build"
echo "Package: $deb"
dpkg-deb --field "$deb" Depends Recommends

depends=$(dpkg-deb --field "$deb" Depends)
for library in libc6 libqt6core6 libqt6widgets6; do
    [[ $depends == *"$library (>="* ]] ||
        fail "Depends lacks the versioned $library that dpkg-shlibdeps computes: $depends"
done

step "lintian"
# Every tag is shown; errors and warnings fail the test.
lintian_status=0
lintian --display-info --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
    lintian_status=$?
grep -v 'root privileges' "$work/lintian.log" || echo "(no tags)"
((lintian_status == 0)) || fail "lintian reports errors or warnings"

step "AppStream check of the package's tree"
dpkg-deb --extract "$deb" "$work/tree"
appstreamcli validate-tree --no-net "$work/tree"

# ---------------------------------------------------------------------------------------------
# Checks of an installed tree under <root> (for example /usr); $1 = root.
check_tree() {
    local root=$1 desktop=$1/share/applications/$app_id.desktop
    local metainfo=$1/share/metainfo/$app_id.metainfo.xml

    for file in pingora sound/libpingora-sound.so beep.wav HAND-M.CUR; do
        [[ -s $root/lib/pingora/$file ]] || fail "$root/lib/pingora/$file is missing"
    done
    [[ -x $root/lib/pingora/pingora ]] || fail "$root/lib/pingora/pingora is not executable"
    file --brief "$root/lib/pingora/beep.wav" | grep -q 'WAVE audio' ||
        fail "beep.wav is not a WAVE file"
    ! ldd "$root/lib/pingora/pingora" "$root/lib/pingora/sound/libpingora-sound.so" | grep 'not found' ||
        fail "libraries of the installed program are missing"
    [[ $(readlink "$root/bin/pingora") == ../lib/pingora/pingora ]] ||
        fail "$root/bin/pingora is not a relative link to ../lib/pingora/pingora"
    [[ $(realpath "$root/bin/pingora") == "$(realpath "$root/lib/pingora/pingora")" ]] ||
        fail "$root/bin/pingora does not lead to the program"

    # The validators print nothing at all for an entry without errors or warnings.
    local report
    report=$(desktop-file-validate "$desktop" 2>&1) || true
    [[ -z $report ]] || fail "desktop-file-validate: $report"
    grep -qx 'Exec=pingora' "$desktop" || fail "the desktop entry does not start pingora"
    grep -qx "Icon=$app_id" "$desktop" || fail "the desktop entry does not name the icon $app_id"
    report=$(appstreamcli validate --no-net "$metainfo" 2>&1) ||
        fail "appstreamcli validate: $report"
    ! grep -E '^ *[EW]:' <<<"$report" || fail "appstreamcli validate reports the lines above"

    local icons=$root/share/icons/hicolor
    for size in 16 22 24 32 48 64 128 256; do
        file --brief "$icons/${size}x$size/apps/$app_id.png" | grep -q "PNG image data, $size x $size," ||
            fail "no $size x $size PNG icon in $icons/${size}x$size/apps"
    done
    file --brief "$icons/scalable/apps/$app_id.svg" | grep -q 'SVG' || fail "no scalable icon"
    for file in share/man/man1/pingora.1.gz share/doc/pingora/copyright share/doc/pingora/changelog.gz; do
        [[ -s $root/$file ]] || fail "$root/$file is missing"
    done
}

# A private X display and session bus, so that nothing of the machine's desktop is touched.
start_desktop() {
    # -noreset: a program starting just as the previous one left must not meet a server reset.
    Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp -noreset 5>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [[ -s $work/display ]] && break
        sleep 0.1
    done
    [[ -s $work/display ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    DISPLAY=:$(cat "$work/display")
    export DISPLAY

    mkdir -m 700 "$work/runtime"
    mkdir -p "$work/config" "$work/temp"
    export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config TEMP=$work/temp
    # Every 30 seconds: a beep that near has the program load its sound engine at once.
    printf '[Pingora]\nOftenIndex=4\nStartStopState=On\n' >"$work/config/Wrenfield.ini"
    # The program may open its home page at start; no browser is wanted here.
    export BROWSER=true
    local bus
    mapfile -t bus < <(dbus-daemon --session --fork --nopidfile \
        --address="unix:path=$work/runtime/bus" --print-address=1 --print-pid=1)
    export DBUS_SESSION_BUS_ADDRESS=${bus[0]}
    bus_pid=${bus[1]}
}

# Waits until the program's main window is shown and prints its id; extra arguments narrow the
# search (for example --pid). An error box at start-up fails the test with a screenshot.
wait_for_main_window() {
    local window
    for _ in $(seq 150); do
        window=$(xdotool search --all --onlyvisible "$@" --name '^Pingora$' 2>/dev/null | head -1) || true
        [[ -n $window ]] && {
            echo "$window"
            return
        }
        if xdotool search --onlyvisible --name '^Application Error' >/dev/null 2>&1; then
            import -window root "$build/package-test-failure.png" || true
            fail "the program reported an error at start-up (screen in $build/package-test-failure.png)"
        fi
        sleep 0.2
    done
    import -window root "$build/package-test-failure.png" || true
    fail "no Pingora window within 30 seconds (screen in $build/package-test-failure.png)"
}

# Checks the running program behind window $1 and ends it; $2 = the executable it must run.
check_and_end_program() {
    local window=$1 expected=$2
    program_pid=$(xdotool getwindowpid "$window")
    [[ $(readlink "/proc/$program_pid/exe") == "$expected" ]] ||
        fail "the window belongs to $(readlink "/proc/$program_pid/exe"), not $expected"
    # The window's class must be the one the desktop entry names, or docks cannot match them.
    local class
    class=$(xprop -id "$window" WM_CLASS | sed -n 's/.*", "\(.*\)"$/\1/p')
    grep -qx "StartupWMClass=$class" "$work/tree/usr/share/applications/$app_id.desktop" ||
        fail "the window's class '$class' is not the desktop entry's StartupWMClass"
    # With a beep near, the program loads its sound engine from its own folder.
    local engine="${expected%/pingora}/sound/libpingora-sound.so"
    for _ in $(seq 50); do
        grep -qF "$engine" "/proc/$program_pid/maps" && break
        sleep 0.1
    done
    grep -qF "$engine" "/proc/$program_pid/maps" || fail "the program did not load $engine"
    kill "$program_pid"
    for _ in $(seq 50); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    program_pid=
    echo "Window $window of $expected shown and closed."
}

# ---------------------------------------------------------------------------------------------
step "Installing the package with apt-get"
if dpkg-query --show --showformat='${Status}' pingora 2>/dev/null | grep -q 'ok installed'; then
    apt-get remove -y -q pingora >/dev/null
fi
installed_by_us=yes
export DEBIAN_FRONTEND=noninteractive
if ! apt-get install -y -q "$deb"; then
    apt-get update -q
    apt-get install -y -q "$deb"
fi
dpkg-query --show --showformat='${Status}\n' pingora | grep -qx 'install ok installed' ||
    fail "the package is not installed"
dpkg --listfiles pingora >"$work/package-files"

step "Checking the installed files"
check_tree /usr
[[ $(command -v pingora) == /usr/bin/pingora ]] || fail "pingora is not found in PATH"
for file in pingora sound/libpingora-sound.so; do
    file --brief "/usr/lib/pingora/$file" | grep -q ', stripped' || fail "$file is not stripped"
done

step "Starting the installed program from its desktop entry"
start_desktop
gio launch "/usr/share/applications/$app_id.desktop" >"$work/launch.log" 2>&1
window=$(wait_for_main_window)
check_and_end_program "$window" /usr/lib/pingora/pingora

# ---------------------------------------------------------------------------------------------
step "cmake --install into a prefix with spaces"
prefix="/opt/pingora test"
root="$work/dest dir$prefix"
DESTDIR="$work/dest dir" cmake --install "$build" --prefix "$prefix" >/dev/null
check_tree "$root"
"$root/bin/pingora" >"$work/prefix-run.log" 2>&1 &
program_pid=$!
window=$(wait_for_main_window --pid "$program_pid")
check_and_end_program "$window" "$root/lib/pingora/pingora"

# ---------------------------------------------------------------------------------------------
step "Removing the package"
apt-get remove -y -q pingora
installed_by_us=''
[[ $(dpkg-query --show --showformat='${Status}' pingora 2>/dev/null) != *installed* ]] ||
    fail "the package is still installed"
left=()
while IFS= read -r path; do
    [[ (-e $path || -L $path) && ! -d $path ]] && left+=("$path")
done <"$work/package-files"
[[ -e /usr/lib/pingora ]] && left+=(/usr/lib/pingora)
((${#left[@]} == 0)) || fail "left behind: ${left[*]}"

step "Package round trip passed"
