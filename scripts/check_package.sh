#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it: lintian, pedantic tags
# included, has nothing to say (hardening, layout or anything else; what does not apply is
# explained in packaging/lintian-overrides); dpkg-deb shows the expected files (and no
# drives/ folder, no uncompressed volumes), the architecture of this machine, Depends worked
# out by dpkg-shlibdeps, Recommends fonts-liberation, and a size below 10 MB; the desktop
# entry and the AppStream metainfo validate; mandoc finds nothing to say on the manual page.
# Usage: scripts/check_package.sh [BUILD_DIR]   (defaults to build)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
fail() {
  echo "package: FAIL: $*" >&2
  exit 1
}

rm -f "$build"/dulvex_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/dulvex_*.deb)
echo "package: $deb"

size=$(stat -c %s "$deb")
[ "$size" -lt $((10 * 1024 * 1024)) ] || fail "$size bytes, not below 10 MB"

[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] ||
  fail "architecture $(dpkg-deb -f "$deb" Architecture)"
depends=$(dpkg-deb -f "$deb" Depends)
# dpkg-shlibdeps gives the versions the binary needs (Qt symbols carry Qt_6.x tags).
grep -Eq 'libqt6core6 \(>= 6\.[0-9.]+\)' <<<"$depends" || fail "Depends: $depends"
grep -q 'qt6-qpa-plugins' <<<"$depends" || fail "Depends lacks the Qt platform plugins"
grep -q '(>= 6.2)' <<<"$depends" && fail "hand-written Depends: $depends"
[ "$(dpkg-deb -f "$deb" Recommends)" = fonts-liberation ] ||
  fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/dulvex ./usr/share/dulvex/HELP.rtf \
  ./usr/share/dulvex/samples/A.img.gz ./usr/share/applications/example.dulvex.hexeditor.desktop \
  ./usr/share/man/man1/dulvex.1.gz ./usr/share/doc/dulvex/copyright \
  ./usr/share/doc/dulvex/changelog.gz ./usr/share/mime/packages/dulvex.xml \
  ./usr/share/metainfo/example.dulvex.hexeditor.metainfo.xml; do
  grep -qx -- "$f" <<<"$contents" || fail "missing $f"
done
grep -q '/drives' <<<"$contents" && fail "a drives/ folder is packed"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work"
desktop-file-validate "$work/usr/share/applications/example.dulvex.hexeditor.desktop"
appstreamcli validate --no-net "$work/usr/share/metainfo/example.dulvex.hexeditor.metainfo.xml" >/dev/null

mandoc -T lint -W all "$work/usr/share/man/man1/dulvex.1.gz" || fail "mandoc -T lint: the manual page"

lintian --allow-root --pedantic --display-info --fail-on error,warning,info,pedantic "$deb" ||
  fail "lintian has remarks (above)"
echo "package: $size bytes, lintian (pedantic) without remarks; Depends: $depends"
