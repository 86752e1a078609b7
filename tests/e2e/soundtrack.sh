#!/usr/bin/env bash
# The soundtrack as users may have it: a WAV under the MP3's name plays, found by its content; junk
# in its place, and a machine without a sound device, each give one line on stderr and nothing
# else, and the show goes on in silence.
. "$(dirname "$0")/lib.sh"
use_data
start_x 1024x768x24
title=BWAHAHHAHAHAHAHHAHAHAHAHAH
soundtrack="$work/data/sfx/lumo.mp3"

# le32 N / le16 N: N as little-endian bytes.
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))"; }

# wait_for SECONDS DESCRIPTION COMMAND...: until COMMAND succeeds, while the show runs.
wait_for() {
  local seconds=$1 what=$2; shift 2
  for _ in $(seq $((seconds * 20))); do
    "$@" && return 0
    kill -0 "$show_pid" 2>/dev/null || fail "the show ended before $what: $(cat "$work/err.log")"
    sleep 0.05
  done
  fail "no $what after $seconds s; stderr: $(cat "$work/err.log")"
}
# has_sound: the show's recording so far holds a byte that is not zero; not before the show has
# opened its sound output, which makes the file.
has_sound() { [ -f "$work/audio.raw" ] && [ "$(tr -d '\000' <"$work/audio.raw" | head -c 1 | wc -c)" = 1 ]; }
# expect_recorded_silence WHY: the ended show wrote a recording that holds nothing but zeros; fails
# with WHY when it holds sound. A recording that is missing, empty or unreadable proves nothing,
# and fails too.
expect_recorded_silence() {
  local recording=$work/audio.raw size status=0
  size=$(stat -c %s "$recording" 2>&1) || fail "no recording of the show's sound to check: $size"
  [ "$size" -gt 0 ] || fail "the show's recording $recording is empty"
  cmp -s -n "$size" "$recording" /dev/zero || status=$?
  [ "$status" -ne 1 ] || fail "$1"
  [ "$status" -eq 0 ] || fail "cannot read the show's recording $recording: $(head -c 0 "$recording" 2>&1)"
}
said_once() { [ "$(grep -c "$1" "$work/err.log")" = 1 ]; }

# stop_and_check_only LINE: Escape ends the show, whose stderr is that one line alone.
stop_and_check_only() {
  xdotool mousemove 320 200 key Escape
  wait_exit 5 0
  [ "$(wc -l <"$work/err.log")" = 1 ] || fail "more than the one line on stderr: $(cat "$work/err.log")"
  grep -q "$1" "$work/err.log" || fail "stderr: $(cat "$work/err.log")"
}

# Ten seconds of noise as a 16-bit stereo WAV at 44.1 kHz, named lumo.mp3: it is heard.
bytes=$((44100 * 4 * 10))
{ printf RIFF; le32 $((36 + bytes)); printf 'WAVEfmt '; le32 16; le16 1; le16 2; le32 44100; le32 $((44100 * 4))
  le16 4; le16 16; printf data; le32 $bytes; head -c $bytes /dev/urandom; } >"$soundtrack"
start_show -w
wait_window $title >/dev/null
wait_for 10 "sound from a WAV named lumo.mp3" has_sound
xdotool mousemove 320 200 key Escape
wait_exit 5 0
[ ! -s "$work/err.log" ] || fail "a playable soundtrack gave: $(cat "$work/err.log")"

# Junk: one line naming the file and the reason, and no decoder's chatter. The noise recorded
# above goes first, so that what is checked is this show's own recording.
rm "$work/audio.raw"
head -c 20000 /dev/urandom >"$soundtrack"
start_show -w
wait_for 10 "line about the junk soundtrack" said_once "^soundtrack data/sfx/lumo.mp3 cannot be played (not in a format it plays: .*): the show goes on in silence$"
stop_and_check_only "cannot be played"
expect_recorded_silence "junk was played"

# No sound device: ALSA asked for a card that is not there says so in one line, without its own.
(cd "$work" && SDL_AUDIODRIVER=alsa ALSA_CARD=velmorastik_no_such_card \
  exec "$VELMORASTIK_BIN/velmorastik" -w >"$work/out.log" 2>"$work/err.log") &
show_pid=$!
wait_for 10 "line about the missing sound device" said_once "^no sound output (.*): the show goes on in silence$"
stop_and_check_only "no sound output"
echo "soundtrack: a WAV named lumo.mp3 heard; junk and no device each one line, in silence"
