#!/usr/bin/env bash
# Configures and builds Pingora into build/ (or the folder given as $1 with extra CMake flags).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
