#!/usr/bin/env bash
# The Windows show's soundtrack under Wine: played into a private PulseAudio null sink, what the
# sink's monitor records in the show's first seconds is the soundtrack itself, unbroken; with no
# sound server and no ALSA device the show runs in silence, says so in one line, and Escape ends it.
. "$(dirname "$0")/lib.sh"
for tool in pulseaudio parec pactl; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps adds it)"
done
audio_test=$WINDOWS_BIN/velmorastik-win32-audio-test.exe
[ -f "$audio_test" ] || skip "no $audio_test (the Windows build's sound test program)"
. "$(dirname "$0")/../../platform/win32/pulse_sink.sh"
trap 'stop_pulse; windows_cleanup' EXIT
start_x 1024x768x24
prepare_prefix
use_data
title=BWAHAHHAHAHAHAHHAHAHAHAHAH

start_pulse
start_recording
start_show -w
wait_window "$title" "$k_first_window_seconds" >/dev/null
sleep 8
stop_recording
xdotool mousemove 320 200 key Escape
wait_exit 5 0
[ ! -s "$work/err.log" ] || fail "the show said: $(cat "$work/err.log")"
wine "$audio_test" compare "$work/recording.raw" 4000 "$work/data/sfx/lumo.mp3" 2>/dev/null | tr -d '\r' ||
  fail "the recording is not the soundtrack"
wineserver -k >/dev/null 2>&1 || true
stop_pulse

# No sound server at all, and an ALSA that defines no device.
: >"$work/no-alsa.conf"
(cd "$work" && PULSE_SERVER=unix:$work/no-such-socket ALSA_CONFIG_PATH=$work/no-alsa.conf \
  exec wine "$WINDOWS_BIN/velmorastik.exe" -w >"$work/out.log" 2>"$work/err.log") &
show_pid=$!
wait_window "$title" "$k_first_window_seconds" >/dev/null
sleep 2
xdotool mousemove 320 200 key Escape
wait_exit 5 0
# Wine's ALSA driver has the ALSA library say that it found no device; the show itself says one
# line (with Windows' line end).
[ "$(tr -d '\r' <"$work/err.log" | grep -v '^ALSA lib ')" = "no sound output (no audio output device): the show goes on in silence" ] ||
  fail "stderr without a sound device: $(cat "$work/err.log")"
echo "Windows soundtrack: the soundtrack recorded from the show; without a device, one line and silence"
