#!/usr/bin/env bash
# Plants one-line faults in a scratch copy of the tree, one at a time, and checks that the test
# suite catches each: a fault that builds and passes every test "survives", a gap in the tests.
# Slow (a build and a suite run per fault); not part of CI.
# Usage: scripts/mutants.sh [LIST] [SCRATCH]
#   LIST     the faults, default scripts/mutants.txt; one a line:
#              FILE :: TEXT :: REPLACEMENT :: what the fault is
#            TEXT must stand exactly once in FILE; lines starting with # are comments.
#   SCRATCH  the scratch folder, default ${TMPDIR:-/tmp}/dulvex-mutants (kept between runs, so
#            later runs build incrementally)
# Prints a line per fault (killed, SURVIVED, or not applied / does not build) and a summary;
# exits with 1 when a fault survived.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
list=${1:-$root/scripts/mutants.txt}
scratch=${2:-${TMPDIR:-/tmp}/dulvex-mutants}
tree=$scratch/tree
build=$scratch/build
log=$scratch/log
mkdir -p "$tree" "$log"

# The tree as it is now, uncommitted changes included; build folders and .git left out. Only
# files whose content differs are copied (and so get a new time and are rebuilt); files gone
# from the tree are removed from the copy.
(cd "$root" && git ls-files -co --exclude-standard -z) | python3 -c '
import filecmp, os, shutil, sys
root, tree = sys.argv[1], sys.argv[2]
files = set(f for f in sys.stdin.read().split("\0") if f)
for f in files:
    src, dst = os.path.join(root, f), os.path.join(tree, f)
    if os.path.isfile(src) and not (os.path.isfile(dst) and filecmp.cmp(src, dst, shallow=False)):
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        shutil.copy(src, dst)
for d, _, names in os.walk(tree):
    for n in names:
        if os.path.relpath(os.path.join(d, n), tree) not in files:
            os.remove(os.path.join(d, n))
' "$root" "$tree"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$tree" -B "$build" -DDULVEX_BUILD_BENCH=OFF "${launcher[@]}" >"$log/configure.txt"
echo "mutants: building the unchanged tree"
cmake --build "$build" -j2 >"$log/build.txt" 2>&1 || { echo "mutants: the tree does not build"; exit 2; }
export QT_QPA_PLATFORM=offscreen
if ! ctest --test-dir "$build" -j2 >"$log/baseline.txt" 2>&1; then
  echo "mutants: the unchanged tree fails its tests (see $log/baseline.txt)"
  exit 2
fi

killed=0 survived=0 broken=0 n=0
while IFS= read -r line; do
  [[ -z "${line// }" || "$line" =~ ^[[:space:]]*# ]] && continue
  n=$((n + 1))
  IFS=$'\x1f' read -r file text replacement what < <(python3 -c '
import sys
parts = [p.strip() for p in sys.argv[1].split(" :: ")]
if len(parts) != 4: sys.exit("bad line: " + sys.argv[1])
print("\x1f".join(parts))' "$line")
  target=$tree/$file
  cp "$target" "$log/original"
  if ! python3 - "$target" "$text" "$replacement" <<'PY'
import sys
path, text, replacement = sys.argv[1:4]
source = open(path, encoding="utf-8").read()
if source.count(text) != 1:
    sys.exit(1)
open(path, "w", encoding="utf-8").write(source.replace(text, replacement))
PY
  then
    printf 'mutant %2d  not applied  %s (%s)\n' "$n" "$what" "$file"
    broken=$((broken + 1))
    continue
  fi
  if ! cmake --build "$build" -j2 >"$log/mutant-$n-build.txt" 2>&1; then
    printf 'mutant %2d  does not build  %s\n' "$n" "$what"
    broken=$((broken + 1))
  elif ctest --test-dir "$build" -j2 --stop-on-failure >"$log/mutant-$n-tests.txt" 2>&1; then
    printf 'mutant %2d  SURVIVED  %s (%s)\n' "$n" "$what" "$file"
    survived=$((survived + 1))
  else
    by=$(grep -m1 -oE '(Test +#[0-9]+: [^ ]+ .*(Failed|Exception|Timeout))' "$log/mutant-$n-tests.txt" |
      sed -E 's/Test +#[0-9]+: ([^ ]+).*/\1/' || true)
    printf 'mutant %2d  killed by %s  %s\n' "$n" "${by:-the suite}" "$what"
    killed=$((killed + 1))
  fi
  cp "$log/original" "$target"
  touch "$target"
done <"$list"

echo "mutants: $n planted, $killed killed, $survived survived, $broken not applied or not building"
[ "$survived" -eq 0 ]
