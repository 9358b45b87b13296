#!/usr/bin/env bash
# Sets up the machine, builds every target of Dulvex Hex Editor and runs every test through
# CTest. Usage: scripts/test.sh [BUILD_DIR [CMAKE_OPTION...]]   (BUILD_DIR defaults to build)
# Runs as root or as a normal user (the tools in sbin are found by CMake): a test that needs
# what the account lacks (root, a loop device, a mount) is skipped, and listed at the end
# with what it needs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

build=${1:-build}
[ $# -gt 0 ] && shift

bash scripts/setup.sh
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
fi
cmake -S . -B "$build" "${launcher[@]}" "$@"
cmake --build "$build" -j2

# Widget tests need a display: without one, Qt draws offscreen.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
fi
status=0
ctest --test-dir "$build" --output-on-failure -j2 </dev/null || status=$?

# Each skipped test with the line its output gives as the reason.
awk '
  / Test: / { name = $3; reason = ""; next }
  /: Skipped$/ { getline; if (reason == "") reason = $0; next }
  /^SKIPPED: / { if (reason == "") reason = substr($0, 10); next }
  /^<end of output>/ { if (reason != "") printf "skipped: %s: %s\n", name, reason; reason = "" }
' "$build/Testing/Temporary/LastTest.log" 2>/dev/null || true
exit $status
