#!/usr/bin/env bash
# The Windows sound output under Wine, as heard: the test program plays LAME-encoded MP3s of its
# own test signal through waveOut into a PulseAudio null sink whose monitor parec records, and
# the recording is compared with the signal.
#   playback   the music is heard, and our feeder never lets the device run out of it, also while
#              the main thread spins for 2 s; exact start and length; damaged and unplayable
#              files are refused quietly
#   caught     the same play with a deliberately wrong build of the sound output fails, for the
#              device running out of sound
#   no_device  no sound server and no ALSA device: the program goes on and ends normally
#   long_file  11 minutes at 22,050 Hz mono play at the right speed in little memory
# Environment: AUDIO_TEST the test program; WINE_RUN a command that runs a Windows program (the
# build's Wine wrapper), else wine with WINE_AUDIO_PREFIX as its prefix.
set -euo pipefail
scenario=${1:?usage: audio_test.sh playback|caught|no_device|long_file}

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

[ -f "${AUDIO_TEST:-}" ] || skip "the test program was not built"
. "$(dirname "$0")/../../../scripts/lib/wine-env.sh"
if [ -z "${WINE_RUN:-}" ]; then
  command -v wine >/dev/null || skip "Wine is not installed"
fi
command -v lame >/dev/null || skip "LAME's encoder (Debian's lame) is not installed"
if [ "$scenario" != no_device ]; then
  command -v pulseaudio >/dev/null && command -v parec >/dev/null && command -v pactl >/dev/null ||
    skip "PulseAudio (pulseaudio, pulseaudio-utils) is not installed"
fi

work=$(mktemp -d)
. "$(dirname "$0")/pulse_sink.sh"
cleanup() {
  stop_pulse
  rm -rf "$work"
}
trap cleanup EXIT

# win ARGS...: the test program under Wine, its stderr in $work/stderr, its stdout with Windows'
# line ends made Unix ones; never allowed to hang.
win() {
  if [ -n "${WINE_RUN:-}" ]; then
    timeout 120 "$WINE_RUN" "$AUDIO_TEST" "$@" 2>"$work/stderr" | tr -d '\r'
  else
    WINEPREFIX=${WINE_AUDIO_PREFIX:?} timeout 120 wine "$AUDIO_TEST" "$@" 2>"$work/stderr" | tr -d '\r'
  fi
}
if [ -z "${WINE_RUN:-}" ] && [ ! -f "$WINE_AUDIO_PREFIX/system.reg" ]; then
  mkdir -p "$WINE_AUDIO_PREFIX"
  # One prefix for every scenario, made once; the lock keeps two first runs from making it twice.
  flock "$WINE_AUDIO_PREFIX" env WINEPREFIX="$WINE_AUDIO_PREFIX" wineboot -i >/dev/null 2>&1 || skip "Wine cannot make its prefix"
fi

# encode RAW MP3 RATE_KHZ MODE BITRATE: raw 16-bit PCM to MP3 (CBR with a LAME tag for gapless).
encode() {
  lame --quiet -r -s "$3" --bitwidth 16 --signed --little-endian -m "$4" -b "$5" "$1" "$2" 2>"$work/lame.log" ||
    fail "lame: $(cat "$work/lame.log")"
}

# play ARGS...: the play run, which must say it opened the device and loaded the file, quietly.
play() {
  win play "$@" >"$work/play.log" || fail "play $*: status $?: $(cat "$work/play.log" "$work/stderr")"
  cat "$work/play.log"
  grep -qx "device: open" "$work/play.log" || fail "the sound device did not open"
  grep -qx "load: ok ()" "$work/play.log" || fail "the music did not load"
  [ ! -s "$work/stderr" ] || fail "stderr: $(cat "$work/stderr")"
}
# The playback's run: 11 s of music.mp3; 3 s in, the main thread spins for 2 s.
busy_play=("$work/music.mp3" 11000 3000 2000)
# compare MIN_MUSIC_MS mono|stereo: the recording holds that much of the signal, unbroken.
compare() {
  win compare "$work/recording.raw" "$1" "$2" || fail "the recording is not the music"
}
# refused FILE REASON: the file is not played, for that reason, and nothing is said on stderr
# (libmpg123 prints every failed probe there unless told to be quiet).
refused() {
  win play "$1" 0 >"$work/play.log" || fail "play $1: status $?: $(cat "$work/play.log" "$work/stderr")"
  grep -qxF "load: failed ($2)" "$work/play.log" || fail "$1: $(cat "$work/play.log")"
  [ ! -s "$work/stderr" ] || fail "$1: stderr: $(cat "$work/stderr")"
}

case $scenario in
playback)
  win signal "$work/signal.raw" 8 44100 2
  encode "$work/signal.raw" "$work/music.mp3" 44.1 j 192
  win decode "$work/music.mp3" 8 || fail "the decoder"
  # The same signal as a mono WAV, read directly.
  win signal "$work/mono.wav" 3 44100 1
  win decode "$work/mono.wav" 3 || fail "the WAV reader"
  start_pulse
  start_recording
  play "${busy_play[@]}"
  stop_recording
  # Of the 8 s, Wine may lose up to a second at the start (see pulse_sink.sh).
  compare 6000 stereo
  # Damaged and unplayable files.
  { printf '\xff\xfb\x90\x64'; for i in $(seq 200); do printf 'not MPEG audio %03d ' "$i"; done; } >"$work/junk.mp3"
  refused "$work/junk.mp3" "cannot decode it: Error reading the stream. (code 18)"
  { printf 'OggS'; head -c 24 /dev/zero; printf '\x01vorbis'; } >"$work/music.ogg"
  refused "$work/music.ogg" "OGG Vorbis is not played on Windows; use MP3"
  win signal "$work/fast.wav" 1 48000 2
  refused "$work/fast.wav" "WAV is played on Windows only as 16-bit PCM at 44100 Hz, mono or stereo; use MP3"
  ;;
caught)
  win signal "$work/signal.raw" 8 44100 2
  encode "$work/signal.raw" "$work/music.mp3" 44.1 j 192
  start_pulse
  if win play "${busy_play[@]}" >"$work/play.log"; then
    fail "a wrong sound output passed: $(cat "$work/play.log")"
  fi
  cat "$work/play.log"
  grep -q "^FAIL: the device ran out of sound" "$work/play.log" ||
    fail "not for the device running out of sound: $(cat "$work/play.log" "$work/stderr")"
  ;;
no_device)
  win signal "$work/signal.raw" 2 44100 2
  encode "$work/signal.raw" "$work/music.mp3" 44.1 j 128
  # A sound server that is not there, and an ALSA with no device defined at all.
  : >"$work/no-alsa.conf"
  PULSE_SERVER=unix:$work/no-such-socket ALSA_CONFIG_PATH=$work/no-alsa.conf \
    win play "$work/music.mp3" 2000 >"$work/play.log" || fail "status $?: $(cat "$work/play.log" "$work/stderr")"
  cat "$work/play.log"
  if grep -q "^device: none" "$work/play.log"; then
    grep -qx "device: none (..*)" "$work/play.log" || fail "no reason given for the missing device"
    grep -qx "load: failed (no sound output)" "$work/play.log" || fail "a file loaded without a device"
  else
    grep -qx "device: open" "$work/play.log" || fail "the program did not get as far as the device"
  fi
  ;;
long_file)
  seconds=660
  win signal "$work/signal.raw" $seconds 22050 1
  encode "$work/signal.raw" "$work/long.mp3" 22.05 m 160
  rm "$work/signal.raw"
  win decode "$work/long.mp3" $seconds 2 || fail "the decoder"
  start_pulse
  start_recording
  play "$work/long.mp3" 8000
  stop_recording
  # Less Wine's loss at the start, and what was still on its way when playing stopped.
  compare 5000 mono
  # Streamed: the process grows by a small part of the file, let alone of its 116 MB of sound.
  read -r before peak < <(sed -n 's/^working set: \([0-9]*\) bytes before loading, peak \([0-9]*\) bytes$/\1 \2/p' "$work/play.log")
  [ -n "$peak" ] || fail "no working set reported"
  growth=$((peak - before))
  echo "working set grew by $((growth / 1024)) KiB; the file is $(($(stat -c %s "$work/long.mp3") / 1024)) KiB"
  [ "$growth" -lt $((6 * 1024 * 1024)) ] || fail "the working set grew by $growth bytes while playing"
  ;;
*) fail "no scenario $scenario" ;;
esac
echo "PASS: $scenario"
