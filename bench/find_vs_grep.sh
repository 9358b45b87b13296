#!/usr/bin/env bash
# Times Find String (dulvex_find) against ripgrep (`rg -c -a -F`) and GNU grep
# (`LC_ALL=C grep -c -F -a`, `-P` for a wildcard) on the same file in the page cache, none of
# them finding anything, in three cases: an absent text, three binary bytes, and hex with a
# "??" wildcard. Runs alternate (ours, rg, grep, ours, ...) so a change of load hits all alike;
# medians are printed with the ratios and the load average.
#
# With COLD=1 (root, losetup) it also times a cold block device: the file behind a loop device
# whose page cache is dropped before each run, dulvex_find (which then reads with O_DIRECT)
# against `dd iflag=direct bs=1M` over the same device.
#
# Usage: bench/find_vs_grep.sh [BUILD_DIR [FILE]]   (RUNS=9 by default)
# Without FILE, 1 GiB of random bytes (no byte 0xF1) is made in /tmp and removed at the end;
# a FILE given must hold none of the patterns.
set -euo pipefail
build=${1:-build}
file=${2:-}
runs=${RUNS:-9}
finder="$build/bin/dulvex_find"
[ -x "$finder" ] || { echo "build $finder first (cmake --build $build --target dulvex_find)" >&2; exit 2; }
command -v rg >/dev/null || { echo "ripgrep (rg) is missing: bash scripts/setup.sh" >&2; exit 2; }
loop=
cleanup() {
  [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null || true
  [ -n "${made:-}" ] && rm -f "$file"
}
trap cleanup EXIT
if [ -z "$file" ]; then
  file=$(mktemp /tmp/dulvex-find-vs-grep.XXXXXX)
  made=1
  # Random bytes without 0xF1, so the three binary bytes searched for cannot turn up.
  head -c 1G /dev/urandom | tr '\361' '\360' >"$file"
fi
cat "$file" >/dev/null  # into the page cache
bytes=$(stat -c %s "$file")

# Microseconds one command takes; exit status 1 ("not found") is what all should say.
micros() {
  local start end status=0
  start=$(date +%s%N)
  "$@" >/dev/null || status=$?
  end=$(date +%s%N)
  [ "$status" -eq 1 ] || { echo "unexpected exit $status from $*" >&2; exit 1; }
  echo $(((end - start) / 1000))
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
row() {  # name, median microseconds
  awk -v n="$1" -v t="$2" -v b="$bytes" 'BEGIN { printf "  %-18s %8.1f ms  %6.2f GB/s\n", n, t / 1000, b / t / 1000 }'
}

# The three cases: dulvex_find's arguments, ripgrep's and grep's. The binary bytes and the
# wildcard are written for each tool as it reads them (PCRE with -a for ripgrep's wildcard).
declare -a names=("absent text" "3 binary bytes" "hex with ??")
echo "file: $((bytes / 1048576)) MiB in the page cache, $runs runs each, medians"
for c in 0 1 2; do
  ours=() rgs=() greps=()
  for _ in $(seq "$runs"); do
    case $c in
      0)
        ours+=("$(micros "$finder" FindStringBench "$file")")
        rgs+=("$(micros rg -c -a -F FindStringBench "$file")")
        greps+=("$(micros env LC_ALL=C grep -c -F -a FindStringBench "$file")")
        ;;
      1)
        ours+=("$(micros "$finder" --hex "F1 00 E7" "$file")")
        rgs+=("$(micros rg -c -a '(?-u)\xF1\x00\xE7' "$file")")
        greps+=("$(micros env LC_ALL=C grep -c -a -P '\xF1\x00\xE7' "$file")")
        ;;
      2)
        ours+=("$(micros "$finder" --hex "46 69 ?? 64 53 74" "$file")")
        rgs+=("$(micros rg -c -a '(?-u)Fi[\x00-\xFF]dSt' "$file")")
        greps+=("$(micros env LC_ALL=C grep -c -a -P '(?s)Fi.dSt' "$file")")
        ;;
    esac
  done
  o=$(median "${ours[@]}") r=$(median "${rgs[@]}") g=$(median "${greps[@]}")
  echo "${names[$c]}:"
  row dulvex_find "$o"
  row "rg -a" "$r"
  row "grep -a" "$g"
  awk -v o="$o" -v r="$r" -v g="$g" 'BEGIN {
    printf "  ripgrep time / dulvex_find time: %.2f   grep time / dulvex_find time: %.2f\n", r / o, g / o }'
done
echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

[ "${COLD:-0}" = 1 ] || exit 0
loop=$(losetup --find --show --read-only "$file")
cold() {  # drops the device's pages, then times the command
  blockdev --flushbufs "$loop"
  "$@"
}
ddmicros() {
  local start end
  start=$(date +%s%N)
  dd if="$loop" of=/dev/null iflag=direct bs=1M status=none
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}
ours=() dds=()
for _ in $(seq "$runs"); do
  ours+=("$(cold micros "$finder" FindStringBench "$loop")")
  dds+=("$(cold ddmicros)")
done
o=$(median "${ours[@]}") d=$(median "${dds[@]}")
echo "cold loop device ($(cold "$finder" --verbose FindStringBench "$loop" 2>&1 >/dev/null | sed 's/read: //' || true) reads), $runs runs each, medians:"
row dulvex_find "$o"
row "dd iflag=direct" "$d"
awk -v o="$o" -v d="$d" 'BEGIN { printf "  dulvex_find rate / dd rate: %.2f\n", d / o }'
echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
