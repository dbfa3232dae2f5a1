#!/usr/bin/env bash
# Cross-builds Pingora for Windows into build-windows/ (or the folder given as $1, with extra
# CMake flags after it), against the Qt for Windows that build-qt.sh makes once per machine and
# the decoding libraries that build-sound-libs.sh makes once per machine.
# The build's tools and tests run under Wine (see wine-run.sh.in).
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=${1:-build-windows}
shift || true
qt=$(bash scripts/windows/build-qt.sh | tail -n 1)
sound_libs=$(bash scripts/windows/build-sound-libs.sh | tail -n 1)
started=$SECONDS
# Qt's own toolchain file loads the compiler's (kept beside it) and finds Qt for Windows.
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DPINGORA_SOUND_LIBS="$sound_libs" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
echo "windows build: $((SECONDS - started)) s"
