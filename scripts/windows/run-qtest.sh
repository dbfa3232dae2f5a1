#!/usr/bin/env bash
# Runs one Qt Test program under Wine and prints its report. Under Wine the report written to
# the console does not reach this side, so it goes to a file that is then printed.
# Usage: run-qtest.sh <wine-run.sh> <test.exe> [test arguments...]
set -uo pipefail
run=$1
program=$2
shift 2
report=$(mktemp --suffix=.txt)
trap 'rm -f "$report"' EXIT
"$run" "$program" -o "$report,txt" "$@"
status=$?
cat "$report"
exit "$status"
