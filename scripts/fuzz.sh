#!/usr/bin/env bash
# Fuzzes each target for SECONDS seconds (default 60), one target after the other, each in one
# process on one core. Builds the libFuzzer targets with clang in build-fuzz first. Each run
# starts from the seeds in tests/fuzz/corpus/<target>/ and the inputs earlier runs kept in
# build-fuzz/fuzz/corpus/<target>/, with the options the first line "// libFuzzer: ..." of the
# target's source gives (max_len, dictionary). Prints, per target, the inputs run, inputs per
# second of the clock and per second of the processor time the target used (the figure that
# holds on a machine busy with other work), the coverage reached and the path of any finding
# (crash, sanitizer report, failed check, hang, leak); exits with 1 when a target found
# something.
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]   (targets default to all of them)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
[ $# -gt 0 ] && shift
build=$root/build-fuzz
work=$build/fuzz

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DDULVEX_FUZZ=ON -DDULVEX_BUILD_TESTS=OFF \
  -DDULVEX_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --target dulvex_fuzz -j2 >/dev/null

targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets <"$work/targets.txt"

# A small quarantine and no filling of new blocks: a use after free inside one input is still
# caught, and the targets run about half again as fast (fresh pages are costly).
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:max_malloc_fill_size=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
row='%-20s %11s %10s %10s %6s  %s\n'
printf "$row" target runs inputs/s "per cpu-s" cov finding
found=0
for t in "${targets[@]}"; do
  source=$root/tests/fuzz/$t.cpp
  [ -x "$work/$t" ] || { echo "$t: no such fuzz target" >&2; exit 2; }
  options=()
  for o in $(sed -n '1s|^// libFuzzer: ||p' "$source"); do
    case $o in
      -dict=*) options+=("-dict=$root/tests/fuzz/dict/${o#-dict=}") ;;
      *) options+=("$o") ;;
    esac
  done
  mkdir -p "$work/corpus/$t" "$work/findings/$t" "$work/logs"
  log=$work/logs/$t.log
  seeds=()
  [ -d "$root/tests/fuzz/corpus/$t" ] && seeds=("$root/tests/fuzz/corpus/$t")
  # What a target writes goes to a folder of its own (in memory where the machine has one),
  # removed however the run ends.
  shm=/dev/shm
  [ -d $shm ] && [ -w $shm ] || shm=${TMPDIR:-/tmp}
  tmp=$(mktemp -d "$shm/dulvex-fuzz.XXXXXX")
  status=0
  TIMEFORMAT='%U %S'
  { time TMPDIR=$tmp "$work/$t" "${options[@]}" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/findings/$t/" "$work/corpus/$t" "${seeds[@]}" >"$log" 2>&1 ||
    status=$?; } 2>"$log.time"
  rm -rf "$tmp"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  cpu=$(awk '{ print $1 + $2 }' "$log.time")
  per_cpu=$(awk -v r="${runs:-0}" -v c="$cpu" 'BEGIN { printf "%d", (c > 0 ? r / c : 0) }')
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  finding=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
  if [ "$status" -ne 0 ]; then
    found=1
    finding=${finding:-"exit $status, see $log"}
  fi
  printf "$row" "$t" "${runs:--}" "${speed:--}" "$per_cpu" "${cov:--}" "${finding:--}"
done
exit $found
