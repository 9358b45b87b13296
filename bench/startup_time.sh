#!/usr/bin/env bash
# Times the start of the program to its first viewable main window on a virtual display (Xvfb):
# from the launch until xwininfo finds the main window mapped and viewable, polling every few
# milliseconds (the polling is part of the figure). Each run starts in a home prepared by an
# earlier start, as every start after the first is. Prints each run, the median and the load.
# A second program (PEER=path) is timed in the same runs, interleaved, for a ratio.
# Usage: bench/startup_time.sh [BUILD_DIR]   (RUNS=9 by default)
set -euo pipefail
build=${1:-build}
runs=${RUNS:-9}
program=$(realpath "$build/bin/dulvex")
peer=${PEER:-}
command -v Xvfb >/dev/null && command -v xwininfo >/dev/null ||
  { echo "needs Xvfb and xwininfo (scripts/setup.sh)" >&2; exit 2; }
work=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
Xvfb -displayfd 3 -ac -nolisten tcp -screen 0 1920x1080x24 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
n=""
for _ in $(seq 100); do
  n=$(tr -dc 0-9 <"$work/display" 2>/dev/null || true)
  [ -n "$n" ] && break
  sleep 0.1
done
[ -n "$n" ] || { echo "the virtual display did not start" >&2; exit 1; }

# Milliseconds from the launch of $1 until its main window is viewable.
start() {
  local exe=$1 home=$work/home-$(basename "$1") t0 t1 id=""
  mkdir -p "$home"
  t0=$(date +%s%N)
  env -i HOME="$home" PATH=/usr/bin:/bin DISPLAY=":$n" "$exe" >/dev/null 2>&1 &
  local pid=$!
  local shown=""
  for _ in $(seq 2000); do
    kill -0 "$pid" 2>/dev/null || break
    id=$(xwininfo -display ":$n" -root -tree 2>/dev/null |
      awk '/"DulvexHexEditor - version: / { print $1; exit }')
    if [ -n "$id" ] && xwininfo -display ":$n" -id "$id" 2>/dev/null | grep -q IsViewable; then
      shown=1
      break
    fi
    sleep 0.002
  done
  t1=$(date +%s%N)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  [ -n "$shown" ] || { echo "$exe: no main window came up" >&2; exit 1; }
  echo $(((t1 - t0) / 1000000))
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }

start "$program" >/dev/null # the first start unpacks the samples: not timed
[ -n "$peer" ] && start "$peer" >/dev/null
ours=() theirs=()
for _ in $(seq "$runs"); do
  ours+=("$(start "$program")")
  [ -n "$peer" ] && theirs+=("$(start "$peer")")
done
echo "load average $(cut -d' ' -f1-3 /proc/loadavg), $runs runs"
echo "dulvex: median $(median "${ours[@]}") ms (${ours[*]})"
if [ -n "$peer" ]; then
  echo "peer $peer: median $(median "${theirs[@]}") ms (${theirs[*]})"
  awk -v a="$(median "${ours[@]}")" -v b="$(median "${theirs[@]}")" \
    'BEGIN { printf "dulvex / peer: %.2f\n", a / b }'
fi
