#!/usr/bin/env bash
# scripts/run's last step, scripts/lib/play, with a made-up build whose show and generator only
# say how they were called: data/ copied from the build's data set (the generator left alone),
# a set lacking files moved aside, the generator used when the build has no set, and the show's
# status made the script's: 0 after a show that ran to its end or was stopped, its own otherwise.
#   play_test.sh SOURCE_DIR
set -euo pipefail
play=$1/scripts/lib/play
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The show's data set, from its own table.
mapfile -t files < <(awk '/^[a-z]+ / { print $2 }' "$1/src/show/data_set.txt")
[ ${#files[@]} -eq 14 ] || fail "the data set's table names ${#files[@]} files, not 14"
build=$work/build
mkdir -p "$build/bin"
for f in "${files[@]}"; do
  mkdir -p "$(dirname "$build/data-set/data/$f")"
  echo "built $f" >"$build/data-set/data/$f"
done
# The show notes its folder and arguments, and ends with SHOW_STATUS, or by SHOW_SIGNAL.
cat >"$build/bin/velmorastik" <<'SHOW'
#!/usr/bin/env bash
echo "$PWD $*" >>"$PLAY_LOG"
[ -z "${SHOW_SIGNAL:-}" ] || kill "-$SHOW_SIGNAL" $$
exit "${SHOW_STATUS:-1}"
SHOW
cat >"$build/bin/velmorastik-demo-data" <<'GENERATOR'
#!/usr/bin/env bash
echo "generator $*" >>"$PLAY_LOG"
mkdir -p "$1/data/gfx"
GENERATOR
chmod +x "$build/bin/"*
export PLAY_LOG=$work/log

# play_in FOLDER [ARGS...]: play there; its status in $status, stderr in $work/err.
play_in() {
  local folder=$1; shift
  status=0
  rm -f "$PLAY_LOG"
  (cd "$folder" && "$play" "$build" "$@") 2>"$work/err" || status=$?
}

# No data/: a copy of the build's set, not a link to it, and the show in that folder with -w.
mkdir "$work/fresh"
play_in "$work/fresh" --extra argument
[ "$status" -eq 0 ] || fail "a show that ran to its end: status $status, expected 0: $(cat "$work/err")"
[ "$(cat "$PLAY_LOG")" = "$work/fresh -w --extra argument" ] || fail "calls: $(cat "$PLAY_LOG")"
[ ! -L "$work/fresh/data" ] || fail "data/ is a link to the build's set, not a copy"
diff -r "$build/data-set/data" "$work/fresh/data" >/dev/null || fail "data/ is not the build's data set"
[ "$(ls -A "$work/fresh")" = data ] || fail "left beside data/: $(ls -A "$work/fresh")"

# A complete data/ of one's own is played as it is.
echo "my own" >"$work/fresh/data/gfx/1/1.jpg"
play_in "$work/fresh"
[ "$(cat "$work/fresh/data/gfx/1/1.jpg")" = "my own" ] || fail "a complete data/ was replaced"
[ "$(cat "$PLAY_LOG")" = "$work/fresh -w" ] || fail "calls with a data/ here: $(cat "$PLAY_LOG")"

# One lacking a file is moved aside, whole, and replaced by a copy.
rm "$work/fresh/data/lumo.raw"
play_in "$work/fresh"
aside=("$work/fresh"/data.incomplete.*)
[ -f "${aside[0]}/gfx/1/1.jpg" ] && [ ! -e "${aside[0]}/lumo.raw" ] || fail "the incomplete set was not moved aside: $(ls -A "$work/fresh")"
grep -q "^run: data/ lacks lumo.raw; moving it to data.incomplete" "$work/err" || fail "no word of the incomplete set: $(cat "$work/err")"
diff -r "$build/data-set/data" "$work/fresh/data" >/dev/null || fail "the incomplete set was not replaced by the build's"

# A build without its data set: the generator makes data/ here.
mv "$build/data-set" "$work/set-away"
mkdir "$work/generated"
play_in "$work/generated"
[ "$(head -1 "$PLAY_LOG")" = "generator ." ] || fail "without the build's set: calls $(cat "$PLAY_LOG")"
[ -d "$work/generated/data/gfx" ] || fail "the generator's data/ is missing"
mv "$work/set-away" "$build/data-set"

# The show's status made the script's: ran to its end (1) or stopped (0) are 0; a failure and
# anything else are passed on, a signal's end as 128 + its number.
for pair in 1:0 0:0 2:2 3:3; do
  SHOW_STATUS=${pair%:*} play_in "$work/fresh"
  [ "$status" -eq "${pair#*:}" ] || fail "the show's status ${pair%:*}: play ended with $status, expected ${pair#*:}"
done
SHOW_SIGNAL=TERM play_in "$work/fresh"
[ "$status" -eq 143 ] || fail "the show ended by SIGTERM: play ended with $status, expected 143"

# Neither a set nor a generator: a failure that says so.
rm -rf "$build/data-set" "$build/bin/velmorastik-demo-data"
mkdir "$work/nothing"
play_in "$work/nothing"
[ "$status" -eq 2 ] || fail "nothing to make data/ from: status $status, expected 2"
grep -q "^run: no data/ here" "$work/err" || fail "nothing to make data/ from: $(cat "$work/err")"
[ ! -e "$PLAY_LOG" ] || fail "the show was started without a data set: $(cat "$PLAY_LOG")"
echo "play: data/ copied, kept, moved aside or generated, and the show's statuses mapped as expected"
