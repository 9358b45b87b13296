#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the installed program.
#
#   check_install.sh tree   BUILD PREFIX TESTS_EXE
#     The installed tree (program, guide, compressed samples, menu entry,
#     MIME types, metainfo, manual page, copyright and changelog; no drives/ folder); the
#     command line; the first start in a fresh home, on a virtual display, which unpacks
#     sample volumes equal byte for byte to the build's, binds an image given on the command
#     line and shows the main window without a box; the guide found from the real executable.
#   check_install.sh noexec BUILD PREFIX
#     The same start for a normal user (nobody) whose home is a tmpfs mounted noexec: nothing
#     needs to be executable there. The tree is installed under a temporary folder nobody
#     can enter (the build may lie in a private one, such as /root). Needs root, the right to
#     mount (CAP_SYS_ADMIN) and such a folder; skipped (77) with a line naming what is
#     missing otherwise.
# MKFS_FAT names mkfs.fat (CTest passes the one CMake found).
set -euo pipefail
mode=$1 build=$2 prefix=$3
mkfs_fat=${MKFS_FAT:-mkfs.fat}
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
skip() {
  echo "SKIPPED: needs $*"
  exit 77
}
as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)

if [ "$mode" = noexec ]; then
  [ "$(id -u)" -eq 0 ] || skip "root, to mount a noexec home and start the program as nobody"
  "${as_nobody[@]}" true 2>/dev/null || skip "the right to switch to user nobody (CAP_SETUID)"
  # A fresh folder under the first temporary place that nobody can enter.
  place=
  for base in "${TMPDIR:-/tmp}" /tmp /var/tmp /dev/shm; do
    [ -d "$base" ] || continue
    place=$(mktemp -d "$base/dulvex-noexec.XXXXXX" 2>/dev/null) || continue
    chmod 0755 "$place"
    "${as_nobody[@]}" test -x "$place" && break
    rmdir "$place"
    place=
  done
  [ -n "$place" ] || skip "a folder user nobody can enter (${TMPDIR:-/tmp}, /tmp, /var/tmp and /dev/shm are private)"
  home=$place/home
  mkdir "$home"
  cleanup() {
    umount "$home" 2>/dev/null || true
    rm -rf "$place"
  }
  trap cleanup EXIT
  mount -t tmpfs -o noexec,nosuid,nodev,size=400m,mode=0700,uid=65534,gid=65534 tmpfs "$home" \
    2>/dev/null || skip "the right to mount a tmpfs (CAP_SYS_ADMIN)"
  prefix=$place/prefix
fi

rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
data=$prefix/share/dulvex
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
  # Xvfb picks a free display itself and writes its number once it takes connections: two
  # tests (or two builds) starting at once never race for one number.
  local shown=$home/display n=""
  Xvfb -displayfd 3 -ac -nolisten tcp -screen 0 1280x1024x24 3>"$shown" >/dev/null 2>&1 &
  local xvfb=$!
  # shellcheck disable=SC2064
  trap "kill $xvfb 2>/dev/null || true" RETURN
  for _ in $(seq 100); do
    n=$(tr -dc 0-9 <"$shown" 2>/dev/null || true)
    [ -n "$n" ] && break
    sleep 0.1
  done
  [ -n "$n" ] || fail "the virtual display did not start"
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
  for f in bin/dulvex share/dulvex/HELP.rtf \
    share/applications/example.dulvex.hexeditor.desktop \
    share/mime/packages/dulvex.xml share/metainfo/example.dulvex.hexeditor.metainfo.xml \
    share/man/man1/dulvex.1.gz share/doc/dulvex/copyright share/doc/dulvex/changelog.gz \
    share/icons/hicolor/16x16/apps/dulvex.png share/icons/hicolor/256x256/apps/dulvex.png; do
    [ -f "$prefix/$f" ] || fail "missing from the installed tree: $f"
  done
  for letter in "${samples[@]}"; do
    [ -f "$data/samples/$letter.img.gz" ] || fail "sample $letter not installed"
  done
  [ ! -e "$prefix/lib" ] || fail "lib/ is installed: $(find "$prefix/lib")"
  [ ! -e "$prefix/bin/drives" ] && [ ! -e "$data/drives" ] || fail "a drives/ folder is installed"
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
    "$mkfs_fat" -C "$home/floppy.img" 1440 >/dev/null
  start_and_check "$home" "$home/floppy.img"

  out=$(env DULVEX_INSTALLED_EXE_DIRS="$prefix/bin" "$4" --gtest_filter='InstalledTree.*' 2>&1) ||
    fail "the help rules did not find the installed guide: $out"
  grep -q PASSED <<<"$out" && ! grep -q SKIPPED <<<"$out" || fail "InstalledTree did not run: $out"
  echo "installed tree in $prefix checked"
  exit 0
fi

# noexec: a home that nothing can be executed from, owned by nobody.
image=$home/disk.img
cp "$build/bin/drives/D" "$image" 2>/dev/null || "$mkfs_fat" -C "$image" 8192 >/dev/null
chown 65534:65534 "$image"
start_and_check "$home" "$image" "${as_nobody[@]}"
echo "installed program started for nobody with a noexec home"
