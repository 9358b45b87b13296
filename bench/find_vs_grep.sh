#!/usr/bin/env bash
# Times Find String (dulvex_find) against `LC_ALL=C grep -c -F -a` on the same file, both
# looking for a text the file does not hold, alternating runs so that a change of load hits
# both alike, and prints the medians and the ratio.
# Usage: bench/find_vs_grep.sh [BUILD_DIR [FILE]]   (RUNS=9 by default)
# Without FILE, 1 GiB of random bytes is made in /tmp and removed at the end.
set -euo pipefail
build=${1:-build}
file=${2:-}
runs=${RUNS:-9}
pattern=FindStringBench
finder="$build/bin/dulvex_find"
[ -x "$finder" ] || { echo "build $finder first (cmake --build $build --target dulvex_find)" >&2; exit 2; }
if [ -z "$file" ]; then
  file=$(mktemp /tmp/dulvex-find-vs-grep.XXXXXX)
  trap 'rm -f "$file"' EXIT
  dd if=/dev/urandom of="$file" bs=1M count=1024 status=none
fi
cat "$file" >/dev/null  # into the page cache
bytes=$(stat -c %s "$file")

# Microseconds one command takes; exit status 1 ("not found") is what both should say.
micros() {
  local start end status=0
  start=$(date +%s%N)
  "$@" >/dev/null || status=$?
  end=$(date +%s%N)
  [ "$status" -eq 1 ] || { echo "unexpected exit $status from $*" >&2; exit 1; }
  echo $(((end - start) / 1000))
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }

ours=() greps=()
for _ in $(seq "$runs"); do
  ours+=("$(micros "$finder" "$pattern" "$file")")
  greps+=("$(micros env LC_ALL=C grep -c -F -a "$pattern" "$file")")
done
o=$(median "${ours[@]}")
g=$(median "${greps[@]}")
awk -v o="$o" -v g="$g" -v b="$bytes" -v n="$runs" 'BEGIN {
  printf "file: %.0f MiB, %d runs each, medians\n", b / 1048576, n
  printf "dulvex_find       %8.1f ms  %6.2f GB/s\n", o / 1000, b / o / 1000
  printf "grep -c -F -a     %8.1f ms  %6.2f GB/s\n", g / 1000, b / g / 1000
  printf "ratio (grep time / dulvex_find time): %.2f\n", g / o
}'
echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
