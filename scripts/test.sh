#!/usr/bin/env bash
# Installs what is missing, builds Pingora and runs every test (unit, window and real-desktop).
# With --sanitize the build and the tests use AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
if [[ "${1:-}" == "--sanitize" ]]; then
    dir=build-sanitize
    bash scripts/build.sh "$dir" -DPINGORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DPINGORA_BUILD_BENCH=OFF
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
    dir=build
    bash scripts/build.sh "$dir"
fi
ctest --test-dir "$dir" --output-on-failure -j 2
if [[ "$dir" == build ]]; then
    # The Windows build under Wine; its first run on a machine builds Qt for Windows.
    bash scripts/windows/test.sh
fi
