#!/usr/bin/env bash
# A long run toward 100,000 beeps: copies of the program at "Beep every 1 second" on a busy
# machine, each beep logged and heard, with every copy's memory sampled so that growth after
# the warm-up shows. One copy would need a day for 100,000 beeps; several copies share the
# count. Not a test: it prints its figures and never fails on them.
#
# Usage: bench/beep-marathon.sh [build-dir] [--copies N] [--seconds S] [--busy B]
#   defaults: 20 copies for 5,000 s (100,000 beeps if every copy keeps up), 1 busy loop
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
if [[ $# -gt 0 && "$1" != --* ]]; then
    build=$(realpath "$1")
    shift
fi
copies=20
seconds=5000
busy=1
while [[ $# -gt 0 ]]; do
    case "$1" in
    --copies) copies=$2; shift ;;
    --seconds) seconds=$2; shift ;;
    --busy) busy=$2; shift ;;
    *) echo "beep-marathon: unknown option $1" >&2; exit 64 ;;
    esac
    shift
done
cmake --build "$build" -j2 --target pingora pingora-sound tone-onsets

echo "### $copies copies beeping every second for $seconds s ($((copies * seconds)) beeps if" \
    "every copy keeps up; target 100,000 with no line lost), $busy busy loops"
"$root/tests/support/desktop-session.sh" -- "$root/tests/support/beep-stress.sh" --soak \
    --copies "$copies" --seconds "$seconds" --busy "$busy" \
    "$build/pingora/pingora" "$build/tests/support/tone-onsets" || true
