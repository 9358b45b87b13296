#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Dulvex Hex Editor needs.
# Safe to run again: when everything is already there it does nothing and returns at once.
# Works as root, or as a user with sudo. Never asks a question.
set -euo pipefail

PACKAGES=(
  # compilers and build tools
  cmake make g++ pkg-config
  # the window toolkit (Qt 6 Widgets and Test) and its OpenGL headers
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # sample volumes and test oracles: mkfs.fat, mtools, fsstat/fls
  dosfstools mtools sleuthkit
  # Liberation Mono is metric-compatible with Courier New
  fonts-liberation
  # clang for the fuzz targets (libFuzzer lives in the compiler-rt package), formatting
  clang libclang-rt-14-dev clang-format clang-tidy
  # a display for widget tests on machines without one; xwininfo (x11-utils) lists its windows
  xvfb xauth x11-utils
  # packaging with cpack (.deb): dpkg-shlibdeps and file; checking the package: lintian,
  # appstreamcli for the metainfo, desktop-file-validate for the menu entry
  dpkg-dev file lintian appstream desktop-file-utils
  # zlib unpacks the compressed sample volumes at first start
  zlib1g-dev
  # e2fsprogs gives chattr, used by the read-only device tests
  e2fsprogs
  # the write journal's store: SQLite's C library
  libsqlite3-dev
)

# One query for all of them; a package that is absent or not fully installed is missing.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${PACKAGES[@]}" 2>/dev/null |
  awk '$NF == "installed" { print $1 }' | sed 's/:.*//' || true)
missing=()
for p in "${PACKAGES[@]}"; do
  grep -qx -- "$p" <<<"$installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present."
  exit 0
fi

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "setup: missing packages (${missing[*]}) and neither root nor sudo is available." >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
  "${missing[@]}" </dev/null
