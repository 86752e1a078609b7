# Shared by the install and package checks: failing and skipping, a scratch folder, and the
# installed capture tool run from a folder without data/. The environment gives BUILD (the
# build folder) and VERSION (the project's version).
set -euo pipefail

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

# The show's frame count at 5 frames a second, from the clock rule the capture tests spell out.
expected_frames=621

work=$(mktemp -d)

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
