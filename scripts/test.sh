#!/usr/bin/env bash
# Sets up the machine, builds every target of Dulvex Hex Editor and runs every test through
# CTest. Usage: scripts/test.sh [BUILD_DIR [CMAKE_OPTION...]]   (BUILD_DIR defaults to build)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

build=${1:-build}
[ $# -gt 0 ] && shift

bash scripts/setup.sh
cmake -S . -B "$build" "$@"
cmake --build "$build" -j2

# Widget tests need a display: without one, Qt draws offscreen.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
fi
ctest --test-dir "$build" --output-on-failure -j2 </dev/null
