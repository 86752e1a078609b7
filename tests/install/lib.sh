# Shared by the install and package checks: failing and skipping, a scratch folder, and the
# installed capture tool run from a folder without data/. The environment gives BUILD (the
# build folder) and VERSION (the project's version).
set -euo pipefail

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

# The show's frame count at 5 frames a second, from the clock rule the capture tests spell out.
expected_frames=621

work=$(mktemp -d)

# depends_unmet DEPENDS: the entries of a Depends field (comma-separated, each "name (op version)"
# or alternatives joined by "|") that no package installed here meets, comma-separated; empty
# when all are met. Reads dpkg's database, never changes it.
depends_unmet() {
  local entry alternative name op version installed unmet=() met
  local IFS=,
  for entry in $1; do
    met=0
    IFS='|'
    for alternative in $entry; do
      IFS=" " read -r name op version <<<"$(sed 's/[()]/ /g' <<<"$alternative")"
      installed=$(dpkg-query -W -f='${Status}\t${Version}' "$name" 2>/dev/null || true)
      [ "${installed%%$'\t'*}" = "install ok installed" ] || continue
      if [ -z "$op" ] || dpkg --compare-versions "${installed#*$'\t'}" "$op" "$version"; then
        met=1
        break
      fi
    done
    IFS=,
    [ "$met" -eq 1 ] || unmet+=("$(sed 's/^ *//' <<<"$entry")")
  done
  echo "${unmet[*]}"
}

# expect_version PROGRAM: PROGRAM --version prints its name and the project's version.
expect_version() {
  local got
  got=$("$1" --version) || fail "$1 --version ended with status $?"
  [ "$got" = "$(basename "$1") $VERSION" ] || fail "$1 --version: expected '$(basename "$1") $VERSION', got '$got'"
}

# expect_installed_data_used CAPTURE DATA: from an empty folder, CAPTURE without -C plays the
# whole show from DATA, says so on stderr, and draws the same last frame as the build's data set.
expect_installed_data_used() {
  local capture=$1 data=$2 status=0
  rm -rf "$work/empty" && mkdir "$work/empty"
  (cd "$work/empty" && "$capture" --fps 5 --raw "$work/installed.raw" --frames $((expected_frames - 1)) \
    >"$work/out.log" 2>"$work/err.log") || status=$?
  [ "$status" -eq 0 ] || fail "installed capture from an empty folder: status $status: $(cat "$work/err.log")"
  [ "$(cat "$work/out.log")" = "frames: $expected_frames" ] || fail "expected 'frames: $expected_frames', got '$(cat "$work/out.log")'"
  grep -qF "installed data set $data" "$work/err.log" || fail "stderr does not name $data: $(cat "$work/err.log")"
  [ -z "$(ls -A "$work/empty")" ] || fail "the capture wrote into the folder it was started in"
  "$BUILD/bin/velmorastik-capture" -C "$BUILD/data-set" --fps 5 --raw "$work/built.raw" \
    --frames $((expected_frames - 1)) >/dev/null
  cmp -s "$work/installed.raw" "$work/built.raw" || fail "the installed data set's last frame differs from the build's"
}

# expect_import_uses_installed_data IMPORT DATA: IMPORT, started in an empty folder with one small
# picture, makes a new folder's data/: that picture fitted to 640x480 in all twelve places, and
# the texture and soundtrack of DATA, the installed data set, byte for byte.
expect_import_uses_installed_data() {
  local import=$1 data=$2 status=0 show=$work/my-show
  rm -rf "$work/empty" "$show" && mkdir "$work/empty"
  # 200x100 white, twice as wide as tall: the fit makes it 640x320 between black bars of 80 rows.
  convert -size 200x100 xc:white "$work/wide.png"
  (cd "$work/empty" && "$import" "$show" "$work/wide.png" >"$work/out.log" 2>"$work/err.log") || status=$?
  [ "$status" -eq 0 ] || fail "installed import: status $status: $(cat "$work/err.log")"
  [ "$(cat "$work/out.log")" = "$show/data complete" ] || fail "installed import printed '$(cat "$work/out.log")'"
  grep -qF "1 picture for the show's 12 places" "$work/err.log" || fail "no note of the reused picture: $(cat "$work/err.log")"
  [ -z "$(ls -A "$work/empty")" ] || fail "the import wrote into the folder it was started in"
  cmp -s "$show/data/lumo.raw" "$data/lumo.raw" || fail "the imported texture is not the installed set's"
  cmp -s "$show/data/sfx/lumo.mp3" "$data/sfx/lumo.mp3" || fail "the imported soundtrack is not the installed set's"
  local first=$show/data/gfx/misc/tzback.jpg picture
  for picture in gfx/1/{1..5}.jpg gfx/2/{1..6}.jpg; do
    cmp -s "$show/data/$picture" "$first" || fail "$picture is not the one picture given, reused"
  done
  local size
  size="$(vipsheader -f width "$first")x$(vipsheader -f height "$first")"
  [ "$size" = 640x480 ] || fail "the imported picture is $size, not 640x480"
  local x y low high point sample samples
  # Centre and the middle of each bar, as the lowest and highest of the three samples.
  for point in "320 240 250 255" "320 40 0 5" "320 440 0 5"; do
    read -r x y low high <<<"$point"
    read -r -a samples <<<"$(vips getpoint "$first" "$x" "$y")"
    [ "${#samples[@]}" -eq 3 ] || fail "vips getpoint $first $x $y gave '${samples[*]}', not three samples"
    for sample in "${samples[@]}"; do
      [ "${sample%.*}" -ge "$low" ] && [ "${sample%.*}" -le "$high" ] \
        || fail "imported picture at $x,$y: ${samples[*]}, expected $low to $high"
    done
  done
}
