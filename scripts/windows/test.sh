#!/usr/bin/env bash
# Cross-builds Pingora for Windows and runs its tests under Wine on a private X server. The first
# run on a machine also builds Qt for Windows (20 minutes or more; see build-qt.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/windows/build.sh build-windows
started=$SECONDS
bash tests/support/desktop-session.sh -- \
    ctest --test-dir build-windows --output-on-failure -j 2
echo "windows tests: $((SECONDS - started)) s"
