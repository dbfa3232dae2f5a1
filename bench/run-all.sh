#!/usr/bin/env bash
# Builds and runs every benchmark, each printing its figures against its targets. Benchmarks
# never fail on their figures; this script fails only if something cannot be built or started.
#
# Usage: bench/run-all.sh [build-dir] [-- desktop_bench options, e.g. --quick or --only timing]
# The build folder defaults to build/ (configured as scripts/build.sh does, if it is missing).
# The soak lasts SOAK_SECONDS (default 3600). The whole run takes about 90 minutes with the
# hour-long soak; results are best on an otherwise idle machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
if [[ $# -gt 0 && "$1" != "--" ]]; then
    build=$(realpath "$1")
    shift
fi
[[ "${1:-}" == "--" ]] && shift
session="$root/tests/support/desktop-session.sh"

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$root" -B "$build" -G Ninja
fi
targets=(pingora minimal_window history_append desktop_bench tone-onsets)
# Benchmarks that live beside these ones, when present.
[[ -f "$root/bench/sound_latency.cpp" ]] && targets+=(sound_latency)
[[ -f "$root/bench/beeps_under_load.cpp" ]] && targets+=(beeps_under_load pingora-sound)
[[ -f "$root/bench/history_copy.cpp" ]] && targets+=(history_copy)
cmake --build "$build" -j2 --target "${targets[@]}"

echo "### history_append: appending to a 1 GiB history log"
"$build/bench/history_append"

echo
echo "### desktop_bench: Pingora against a minimal Qt program on a real desktop"
peer=()
command -v kteatime >/dev/null && peer=(--kteatime "$(command -v kteatime)")
"$session" --wm -- "$build/bench/desktop_bench" \
    --program "$build/pingora/pingora" --minimal "$build/bench/minimal_window" "${peer[@]}" "$@"

echo
echo "### counting-instructions: what counting costs, as callgrind counts it"
"$session" --wm -- "$root/bench/counting-instructions.sh" "$build"

if [[ -x "$build/bench/sound_latency" ]]; then
    echo
    echo "### sound_latency: the media player's call to the first sample at the sound server"
    LD_LIBRARY_PATH="$build/pingora/sound" "$session" -- "$build/bench/sound_latency"
fi
if [[ -x "$build/bench/beeps_under_load" ]]; then
    for server in pulseaudio pipewire; do
        echo
        echo "### beeps_under_load on $server: two minutes of beeps a format on a busy machine"
        option=
        [[ $server == pipewire ]] && option=--pipewire
        LD_LIBRARY_PATH="$build/pingora/sound" "$session" $option -- "$build/bench/beeps_under_load"
    done
fi
if [[ -x "$build/bench/history_copy" ]]; then
    echo
    echo "### history_copy: copying and viewing large history logs"
    "$session" --wm -- "$build/bench/history_copy"
fi

echo
echo "### beep stress: 10 copies beeping every second for 4 minutes on a busy machine"
"$session" -- "$root/tests/support/beep-stress.sh" --copies 10 --seconds 240 --busy 2 \
    "$build/pingora/pingora" "$build/tests/support/tone-onsets" || true
echo
echo "### stalled sound server: one copy beeping every second, the server paused 3 times 20 s and once 45 s"
"$session" -- "$root/tests/support/beep-stress.sh" --stalls "20 20 20 45" --copies 1 --seconds 0 \
    --busy 0 "$build/pingora/pingora" "$build/tests/support/tone-onsets" || true
echo
soak_seconds=${SOAK_SECONDS:-3600}
echo "### soak: one copy beeping every second for $soak_seconds s"
"$session" -- "$root/tests/support/beep-stress.sh" --soak --copies 1 --seconds "$soak_seconds" --busy 0 \
    "$build/pingora/pingora" "$build/tests/support/tone-onsets" || true
