#!/usr/bin/env bash
# Sets up the machine, builds Dulvex Hex Editor and starts it on the sample volumes in
# build/bin/drives. Extra arguments are passed to CMake's configure step.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
cmake -S . -B build "$@"
cmake --build build -j2 --target dulvex dulvex_drives
exec ./build/bin/dulvex
