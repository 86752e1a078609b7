#!/usr/bin/env bash
# The Debian package made from the build: its control data and files, lintian's verdict, and a
# real install on this machine (root only) whose programs run, removed again at the end.
. "$(dirname "$0")/lib.sh"

[ "$(id -u)" -eq 0 ] || skip "installing the package needs root (CI runs as root)"
for tool in cpack dpkg-deb dpkg-shlibdeps apt-get lintian vips vipsheader; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps adds it)"
done
if [ "$(dpkg-query -W -f='${Status}' velmorastik 2>/dev/null || true)" = "install ok installed" ]; then
  skip "a velmorastik package is already installed here; this test would replace and remove it"
fi

installed=0
cleanup() {
  [ "$installed" -eq 0 ] || DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq velmorastik >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

cpack --config "$BUILD/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || fail "cpack: $(cat "$work/cpack.log")"
deb=$work/out/velmorastik_${VERSION}_amd64.deb
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work/out")"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

dpkg-deb --info "$deb" >"$work/info.txt"
for field in "Package: velmorastik" "Version: $VERSION" "Architecture: amd64" "Section: games"; do
  grep -qx " $field" "$work/info.txt" || fail "control has no '$field': $(cat "$work/info.txt")"
done
depends=$(sed -n 's/^ Depends: //p' "$work/info.txt")
for library in libc6 libjpeg62-turbo libsdl2-2.0-0 libsdl2-mixer-2.0-0 libmp3lame0 libvips42 libswresample4 \
  libavformat59 libavcodec59; do
  [[ ", $depends," == *", $library "* ]] || fail "Depends lacks $library: $depends"
done
grep -q "^ Description: " "$work/info.txt" || fail "no description"

dpkg-deb --contents "$deb" | awk '{ print $NF }' >"$work/contents.txt"
for file in usr/games/velmorastik usr/bin/velmorastik-capture usr/bin/velmorastik-demo-data usr/bin/velmorastik-import \
  usr/share/velmorastik/data/sfx/lumo.mp3 usr/share/applications/velmorastik.desktop \
  usr/share/icons/hicolor/256x256/apps/velmorastik.png usr/share/man/man6/velmorastik.6.gz \
  usr/share/man/man1/velmorastik-import.1.gz usr/share/doc/velmorastik/copyright; do
  grep -qx "./$file" "$work/contents.txt" || fail "the package lacks /$file"
done

lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || fail "lintian reports errors: $(cat "$work/lintian.txt")"
sed 's/^/lintian: /' "$work/lintian.txt"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 \
  || fail "apt-get install: $(cat "$work/apt.log")"
installed=1
expect_version /usr/games/velmorastik
grep -qx "Path=/usr/share/velmorastik" /usr/share/applications/velmorastik.desktop \
  || fail "the installed menu entry's Path: $(grep Path /usr/share/applications/velmorastik.desktop)"
expect_installed_data_used /usr/bin/velmorastik-capture /usr/share/velmorastik/data
expect_version /usr/bin/velmorastik-import
expect_import_uses_installed_data /usr/bin/velmorastik-import /usr/share/velmorastik/data

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq velmorastik >"$work/apt.log" 2>&1 \
  || fail "apt-get remove: $(cat "$work/apt.log")"
installed=0
[ ! -e /usr/games/velmorastik ] || fail "/usr/games/velmorastik is still there after the removal"
echo "package: control data, files, lintian, install, run and removal as expected"
