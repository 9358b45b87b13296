#!/usr/bin/env bash
# Lint of the project's own C++ code: clang-format (the layout of .clang-format) and clang-tidy
# (the checks of .clang-tidy), failing on any finding.
# Usage: scripts/lint.sh [--changed [BASE]] [BUILD_DIR]
#   without --changed: every file of src/, tests/ and bench/ (what .ci/run does);
#   --changed: only the files changed since BASE (default: the upstream branch, else HEAD~1)
#   and those not yet committed, for a quick look before a commit.
# BUILD_DIR (default build) must be configured: clang-tidy reads its compile_commands.json.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

changed=0
base=
if [ "${1:-}" = --changed ]; then
  changed=1
  shift
  if [ $# -gt 0 ] && git rev-parse -q --verify "$1^{commit}" >/dev/null; then
    base=$1
    shift
  fi
fi
build=${1:-build}

if [ $changed -eq 1 ]; then
  base=${base:-$(git rev-parse -q --verify '@{upstream}' 2>/dev/null || git rev-parse HEAD~1)}
  mapfile -t files < <({ git diff --name-only "$base" --; git ls-files --others --exclude-standard; } |
    sort -u | grep -E '^(src|tests|bench)/.*\.(cpp|h)$' || true)
else
  mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
    'bench/*.cpp' 'bench/*.h')
fi
existing=()
for f in "${files[@]}"; do [ -f "$f" ] && existing+=("$f"); done
if [ ${#existing[@]} -eq 0 ]; then
  echo "lint: no C++ file to check."
  exit 0
fi

status=0
echo "lint: clang-format on ${#existing[@]} files"
clang-format --dry-run -Werror "${existing[@]}" || status=1

if [ ! -f "$build/compile_commands.json" ]; then
  echo "lint: $build/compile_commands.json is missing: configure $build first." >&2
  exit 1
fi
# clang-tidy reads translation units: the sources among the files (a header is checked
# through the sources that include it).
mapfile -t units < <(printf '%s\n' "${existing[@]}" | grep -E '\.cpp$' |
  while read -r f; do grep -q "\"file\": \"$root/$f\"" "$build/compile_commands.json" && echo "$f"; done)
if [ ${#units[@]} -gt 0 ]; then
  echo "lint: clang-tidy on ${#units[@]} sources"
  out=$(printf '%s\n' "${units[@]}" | xargs -P2 -n6 clang-tidy -p "$build" --quiet \
    --extra-arg=-Wno-unknown-warning-option 2>/dev/null | grep -E ': (warning|error):' | sort -u || true)
  if [ -n "$out" ]; then
    echo "$out"
    status=1
  fi
fi
[ $status -eq 0 ] && echo "lint: clean."
exit $status
