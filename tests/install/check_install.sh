#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the installed program.
#
#   check_install.sh tree   BUILD PREFIX TESTS_EXE
#     The installed tree (program, guide, compressed samples, the bin/dulvex link, menu entry,
#     MIME types, metainfo, manual page, copyright and changelog; no drives/ folder); the
#     command line through the link; the first start in a fresh home, on a virtual display,
#     which unpacks sample volumes equal byte for byte to the build's, binds an image given on
#     the command line and shows the main window without a box; the guide found beside the
#     real executable.
#   check_install.sh noexec BUILD PREFIX
#     The same start for a normal user (nobody) whose home is a tmpfs mounted noexec: nothing
#     needs to be executable there. Needs root (mount, setpriv); skipped (77) otherwise.
set -euo pipefail
mode=$1 build=$2 prefix=$3
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [ "$mode" = noexec ] && [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: the noexec-home start needs root (a tmpfs mount and another user)"
  exit 77
fi

rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
lib=$prefix/lib/dulvex
samples=()
for letter in A C D; do
  if [ -f "$build/bin/drives/$letter" ] && [ ! -L "$build/bin/drives/$letter" ]; then
    samples+=("$letter")
  fi
done

# Starts the installed program with an image in `home`, on a virtual display of its own
# (through the command given after the image, e.g. setpriv), and checks from outside what it
# did: the first start unpacked the build's sample volumes byte for byte; the image was bound
# to B: (A:, C: and D: hold the samples); the main window came up with no box over it (a
# letter that cannot be read or a volume the program does not understand opens one, titled
# with the program's name); and the program was still running when it was stopped.
start_and_check() {
  local home=$1 image=$2
  shift 2
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -ac -nolisten tcp -screen 0 1280x1024x24 >/dev/null 2>&1 &
  local xvfb=$!
  # shellcheck disable=SC2064
  trap "kill $xvfb 2>/dev/null || true" RETURN
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  "$@" env -i HOME="$home" PATH=/usr/bin:/bin DISPLAY=":$n" "$prefix/bin/dulvex" "$image" \
    >"$home/dulvex.log" 2>&1 &
  local program=$! windows=""
  for _ in $(seq 150); do
    windows=$(xwininfo -display ":$n" -root -tree 2>/dev/null || true)
    grep -q '"DulvexHexEditor - version: ' <<<"$windows" && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.2
  done
  sleep 1 # a box the start opens comes up meanwhile
  windows=$(xwininfo -display ":$n" -root -tree 2>/dev/null || true)
  kill -0 "$program" 2>/dev/null || fail "the installed program ended: $(cat "$home/dulvex.log")"
  kill "$program"
  wait "$program" || true
  grep -q '"DulvexHexEditor - version: ' <<<"$windows" ||
    fail "no main window came up: $(cat "$home/dulvex.log")"
  ! grep -q '"DulvexHexEditor":' <<<"$windows" ||
    fail "a box came up over the main window at start: $(grep '"DulvexHexEditor":' <<<"$windows")"
  local data=$home/.local/share/dulvex
  [ "$(readlink "$data/drives/B")" = "$image" ] ||
    fail "the image is not bound to B: ($(ls -l "$data/drives"))"
  for letter in "${samples[@]}"; do
    cmp "$build/bin/drives/$letter" "$data/drives/$letter" ||
      fail "first-start sample $letter differs from the build's"
  done
  [ ! -e "$data/dulvex" ] || fail "an executable was copied into the home folder"
  echo "started in $home: $image bound to B:, the main window up with no box, samples (${samples[*]}) match the build's"
}

if ! command -v Xvfb >/dev/null || ! command -v xwininfo >/dev/null; then
  echo "SKIPPED: the start is watched on a virtual display: Xvfb and xwininfo are needed (scripts/setup.sh)"
  exit 77
fi

if [ "$mode" = tree ]; then
  for f in lib/dulvex/dulvex lib/dulvex/HELP.rtf share/applications/dulvex.desktop \
    share/mime/packages/dulvex.xml share/metainfo/example.dulvex.hexeditor.metainfo.xml \
    share/man/man1/dulvex.1.gz share/doc/dulvex/copyright share/doc/dulvex/changelog.gz \
    share/icons/hicolor/16x16/apps/dulvex.png share/icons/hicolor/256x256/apps/dulvex.png; do
    [ -f "$prefix/$f" ] || fail "missing from the installed tree: $f"
  done
  for letter in "${samples[@]}"; do
    [ -f "$lib/samples/$letter.img.gz" ] || fail "sample $letter not installed"
  done
  [ -L "$prefix/bin/dulvex" ] || fail "bin/dulvex is not a symbolic link"
  [ "$(readlink -f "$prefix/bin/dulvex")" = "$(readlink -f "$lib/dulvex")" ] ||
    fail "bin/dulvex does not lead to lib/dulvex/dulvex"
  [ ! -e "$lib/drives" ] || fail "lib/dulvex/drives is installed"
  changelog=$(dirname "$0")/../../packaging/changelog
  [ "$("$prefix/bin/dulvex" --version)" = "dulvex $(sed -n '1s/.*(\(.*\)).*/\1/p' "$changelog")" ] ||
    fail "--version does not match the changelog"
  set +e
  err=$("$prefix/bin/dulvex" --drive S=/dev/null 2>&1 >/dev/null)
  rc=$?
  set -e
  [ $rc -eq 2 ] && [ "$err" = "dulvex: --drive S=/dev/null: the letter must be one of A to R" ] ||
    fail "a bad letter gave exit $rc: $err"

  home=$prefix/home
  mkdir -p "$home"
  cp "$build/bin/drives/A" "$home/floppy.img" 2>/dev/null ||
    mkfs.fat -C "$home/floppy.img" 1440 >/dev/null
  start_and_check "$home" "$home/floppy.img"

  out=$(env DULVEX_INSTALLED_EXE_DIRS="$lib" "$4" --gtest_filter='InstalledTree.*' 2>&1) ||
    fail "the help rules did not find the installed guide: $out"
  grep -q PASSED <<<"$out" && ! grep -q SKIPPED <<<"$out" || fail "InstalledTree did not run: $out"
  echo "installed tree in $prefix checked"
  exit 0
fi

# noexec: a home that nothing can be executed from, owned by nobody.
home=$(mktemp -d /tmp/dulvex-noexec-home.XXXXXX)
cleanup() {
  umount "$home" 2>/dev/null || true
  rmdir "$home"
}
trap cleanup EXIT
mount -t tmpfs -o noexec,nosuid,nodev,size=400m,mode=0700,uid=65534,gid=65534 tmpfs "$home"
image=$home/disk.img
cp "$build/bin/drives/D" "$image" 2>/dev/null || mkfs.fat -C "$image" 8192 >/dev/null
chown 65534:65534 "$image"
start_and_check "$home" "$image" setpriv --reuid=65534 --regid=65534 --clear-groups
echo "installed program started for nobody with a noexec home"
