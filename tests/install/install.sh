#!/usr/bin/env bash
# An install into a temporary prefix: its layout, the menu entry and the manual pages, and the
# installed programs, which find the installed data set from a folder without data/ while a
# folder with its own data/ keeps it.
. "$(dirname "$0")/lib.sh"
trap 'rm -rf "$work"' EXIT

for tool in desktop-file-validate man vips vipsheader; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps adds it)"
done

prefix=$work/prefix
cmake --install "$BUILD" --prefix "$prefix" >"$work/install.log" || fail "cmake --install: $(cat "$work/install.log")"

for program in games/velmorastik bin/velmorastik-capture bin/velmorastik-demo-data bin/velmorastik-import; do
  [ -x "$prefix/$program" ] || fail "$program is missing or not executable"
  expect_version "$prefix/$program"
done
for file in share/velmorastik/data/gfx/misc/tzback.jpg share/velmorastik/data/gfx/1/{1..5}.jpg \
  share/velmorastik/data/gfx/2/{1..6}.jpg share/velmorastik/data/sfx/lumo.mp3 \
  share/applications/velmorastik.desktop share/icons/hicolor/256x256/apps/velmorastik.png \
  share/man/man6/velmorastik.6.gz share/man/man1/velmorastik-capture.1.gz \
  share/man/man1/velmorastik-demo-data.1.gz share/man/man1/velmorastik-import.1.gz \
  share/doc/velmorastik/copyright share/doc/velmorastik/changelog.gz; do
  [ -f "$prefix/$file" ] || fail "$file is missing from the install"
done
[ "$(stat -c %s "$prefix/share/velmorastik/data/lumo.raw")" -eq 196608 ] || fail "lumo.raw is not 196,608 bytes"

# The icon: a PNG whose header says 256x256.
icon=$prefix/share/icons/hicolor/256x256/apps/velmorastik.png
[ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "the icon is not a PNG"
[ "$(od -An -tu1 -j16 -N8 "$icon" | tr -s ' ' | sed 's/^ //')" = "0 0 1 0 0 0 1 0" ] || fail "the icon is not 256x256"

# The menu entry: valid, and started where the installed data set is.
entry=$prefix/share/applications/velmorastik.desktop
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate warns: $report"
grep -qx "Path=$prefix/share/velmorastik" "$entry" || fail "Path is not the installed data set's parent: $(grep Path "$entry")"
grep -qx "Exec=$prefix/games/velmorastik" "$entry" || fail "Exec is not the installed show: $(grep Exec "$entry")"

# The manual pages: rendered without a warning, each with its exit statuses.
for page in "$prefix"/share/man/man6/velmorastik.6.gz "$prefix"/share/man/man1/velmorastik-*.1.gz; do
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$work/page.txt") || fail "man -l $page failed: $warnings"
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
  grep -q "^EXIT STATUS" "$work/page.txt" || fail "$(basename "$page") has no EXIT STATUS section"
done

# --help is an answer, not a show: status 0 without a display.
env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/games/velmorastik" --help >"$work/help.txt" || fail "velmorastik --help: status $?"
grep -q "^usage: velmorastik" "$work/help.txt" || fail "velmorastik --help: $(cat "$work/help.txt")"

expect_installed_data_used "$prefix/bin/velmorastik-capture" "$prefix/share/velmorastik/data"

# A folder with its own data/ wins, even an empty one: the first file read is missing there.
mkdir -p "$work/own/data"
status=0
(cd "$work/own" && "$prefix/bin/velmorastik-capture" --fps 5 >/dev/null 2>"$work/err.log") || status=$?
[ "$status" -eq 2 ] || fail "with an empty data/ here: expected status 2, got $status"
grep -q "^velmorastik-capture: cannot open: data/" "$work/err.log" || fail "with an empty data/ here: $(cat "$work/err.log")"
if grep -q "installed data set" "$work/err.log"; then fail "the installed data set was used although data/ is here"; fi

# -C names the folder: no fallback there either.
status=0
"$prefix/bin/velmorastik-capture" -C "$work/empty" --fps 5 >/dev/null 2>"$work/err.log" || status=$?
[ "$status" -eq 2 ] || fail "with -C and no data/ there: expected status 2, got $status"

# The import tool takes the texture and soundtrack of the installed set beside it: a texture unlike
# the build's shows that it is this one it took.
head -c 196608 /dev/zero | tr '\0' '\125' >"$prefix/share/velmorastik/data/lumo.raw"
expect_import_uses_installed_data "$prefix/bin/velmorastik-import" "$prefix/share/velmorastik/data"

echo "install: layout, menu entry, manual pages, versions, the installed data set and an import as expected"
