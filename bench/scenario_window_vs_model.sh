#!/usr/bin/env bash
# Times the whole window pass of the scenarios (every file through the real window, offscreen)
# against the model pass (every file against the window model), one process per file as CTest
# runs them, alternating passes so that a change of load hits both alike; prints the medians,
# the ratio and the load average. The goal: the window pass under twice the model pass. The
# screen is the desktop one CTest gives both passes (1920x1200, so the form is not scaled).
# Usage: bench/scenario_window_vs_model.sh [BUILD_DIR]   (RUNS=7 by default)
set -euo pipefail
build=${1:-build}
runs=${RUNS:-7}
runner="$build/bin/dulvex_scenario"
[ -x "$runner" ] || { echo "build $runner first (cmake --build $build --target dulvex_scenario)" >&2; exit 2; }
runner=$(cd "$(dirname "$runner")" && pwd)/dulvex_scenario
here=$(cd "$(dirname "$0")" && pwd)
# In CTest's working folder: the file dialogs open there, and watching a folder costs the
# kernel a step per name it remembers there (a source tree after many builds: tens of ms).
cd "$build/tests"
files=("$here"/../tests/scenarios/*.scn)
screen="offscreen:configfile=$here/../tests/ui/screens/1920x1200.json"

# Milliseconds one pass takes: each file in a process of its own; any failure ends the timing.
pass() {
  local start end
  start=$(date +%s%N)
  for f in "${files[@]}"; do
    QT_QPA_PLATFORM=$screen "$runner" "$@" "$f" >/dev/null 2>&1 || { echo "failed: $* $f" >&2; exit 1; }
  done
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }

models=() windows=()
for _ in $(seq "$runs"); do
  models+=("$(pass)")
  windows+=("$(pass --window)")
done
m=$(median "${models[@]}")
w=$(median "${windows[@]}")
echo "${#files[@]} scenario files, $runs runs of each pass, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "model pass:  median $m ms (${models[*]})"
echo "window pass: median $w ms (${windows[*]})"
awk -v m="$m" -v w="$w" 'BEGIN { printf "window / model: %.2f\n", w / m }'
