#!/usr/bin/env bash
# The instructions each program runs while counting, as callgrind counts them: a figure that a
# busy machine does not move, beside desktop_bench's CPU times, which it does. Pingora counts to
# a beep a day away ("Beep every 24 hours"), KTeaTime a tea of 24 hours, the minimal program
# its seconds; each runs alone under callgrind, which counts from SETTLE seconds after the
# start for SECONDS seconds.
#
# Usage, inside the test desktop:
#   tests/support/desktop-session.sh --wm -- bench/counting-instructions.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
settle=${SETTLE:-25}
seconds=${SECONDS_COUNTED:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/temp"
printf '[Pingora]\nBeep=%s\nOftenIndex=15\nStartStopState=On\n' \
    "$build/pingora/beep.wav" >"$work/config/Wrenfield.ini"

# Prints the instructions per minute that the given command runs once it has settled.
count() {
    local out="$work/callgrind.out"
    XDG_CONFIG_HOME="$work/config" TEMP="$work/temp" valgrind --tool=callgrind \
        --instr-atstart=no --callgrind-out-file="$out" "$@" >/dev/null 2>&1 &
    local pid=$!
    sleep "$settle"
    callgrind_control -i on "$pid" >/dev/null 2>&1
    sleep "$seconds"
    callgrind_control -d "$pid" >/dev/null 2>&1
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    # The dump taken on request is the second file; the one written at the exit is the first.
    awk -v s="$seconds" '/^totals:/ { printf "%.0f", $2 * 60 / s }' "$out.1"
    rm -f "$out" "$out".*
}

echo "Instructions per minute while counting (callgrind, ${seconds} s after ${settle} s)"
minimal=$(count "$build/bench/minimal_window")
pingora=$(count "$build/pingora/pingora")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf '  minimal  %12s\n  Pingora  %12s   %sx the minimal program\n' "$minimal" "$pingora" \
    "$(ratio "$pingora" "$minimal")"
if command -v kteatime >/dev/null; then
    kteatime=$(count kteatime --time 86400)
    printf '  KTeaTime %12s   Pingora %sx KTeaTime   target below 1.00x\n' "$kteatime" \
        "$(ratio "$pingora" "$kteatime")"
fi
