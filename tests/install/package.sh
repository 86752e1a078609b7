#!/usr/bin/env bash
# The Debian package made from the build: its control data and files, lintian's verdict, its
# dependencies met on this machine, and its programs run from the package unpacked into a
# temporary root. Nothing is installed: the machine's package database is only read.
. "$(dirname "$0")/lib.sh"
trap 'rm -rf "$work"' EXIT

for tool in cpack dpkg dpkg-deb dpkg-query dpkg-shlibdeps lintian vips vipsheader; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps adds it)"
done

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

# The copyright file names, by Debian source package, every library the programs load (the
# Depends field) and anything third-party linked into them statically (their linker maps, read by
# the notices writer, which refuses a linked file it cannot place).
copyright=$work/copyright
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/velmorastik/copyright >"$copyright" ||
  fail "cannot read the package's copyright file"
named() { grep -qF "($1)" "$copyright"; }
map_args=()
for program in velmorastik velmorastik-capture velmorastik-demo-data velmorastik-import; do
  map=$BUILD/link-maps/$program.map
  [ -f "$map" ] || fail "no linker map $map"
  map_args+=(--map "$map")
done
static=$(python3 "$(dirname "$0")/../../packaging/windows/notices.py" --names --own "$BUILD" --link-dir "$BUILD" \
  "${map_args[@]}" 2>&1) || fail "the programs' static inputs: $static"
# The maps are read: every program starts with the C library's start-up files.
[[ $'\n'$static$'\n' == *$'\n'glibc$'\n'* ]] || fail "no start-up files of glibc in the linker maps: $static"
for source in $static; do
  named "$source" || fail "$source is linked statically into the programs, but the copyright file does not name it"
done
for binary in $(dpkg-deb -f "$deb" Depends | sed 's/([^)]*)//g; s/|[^,]*//g; s/,/ /g'); do
  source=$(dpkg-query -W -f='${source:Package}' "$binary") || fail "$binary: not installed here"
  named "$source" || fail "the programs use $binary, but the copyright file does not name its source $source"
done
echo "package: the copyright file names $(wc -w <<<"$static") statically linked and every used library's source"

lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || fail "lintian reports errors: $(cat "$work/lintian.txt")"
sed 's/^/lintian: /' "$work/lintian.txt"

# Each dependency, or one of its alternatives, is installed here at a version it accepts (the
# check itself first shown to refuse a version no machine has).
[ -n "$(depends_unmet "libc6 (>= 999)")" ] || fail "depends_unmet accepts libc6 (>= 999)"
unmet=$(depends_unmet "$(dpkg-deb -f "$deb" Depends)")
[ -z "$unmet" ] || fail "dependencies not met on this machine: $unmet"

# The programs as the package lays them out, run from where it is unpacked: they find the data
# set under the prefix they sit in, as they would under /usr.
dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x $(basename "$deb") failed"
root=$(realpath "$work/root")
expect_version "$root/usr/games/velmorastik"
grep -qx "Path=/usr/share/velmorastik" "$root/usr/share/applications/velmorastik.desktop" \
  || fail "the packaged menu entry's Path: $(grep Path "$root/usr/share/applications/velmorastik.desktop")"
expect_installed_data_used "$root/usr/bin/velmorastik-capture" "$root/usr/share/velmorastik/data"
expect_version "$root/usr/bin/velmorastik-import"
expect_import_uses_installed_data "$root/usr/bin/velmorastik-import" "$root/usr/share/velmorastik/data"
echo "package: control data, files, lintian, dependencies and the unpacked programs as expected"
