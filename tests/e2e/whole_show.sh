#!/usr/bin/env bash
# The whole show, about two minutes: it ends by itself with status 1, and the soundtrack played.
. "$(dirname "$0")/lib.sh"
start_x 1024x768x24
use_data
start_show -w
wait_window BWAHAHHAHAHAHAHHAHAHAHAHAH >/dev/null
wait_exit 150 1

# The disk driver writes 44,100 stereo 16-bit frames a second in real time; the show lasts
# 117.3 s, and the soundtrack sounds over its first 100 s at least.
bytes_per_second=176400
size=$(stat -c %s "$work/audio.raw")
[ "$size" -ge $(( 110 * bytes_per_second )) ] || fail "only $size bytes of sound"
sounding=$(head -c $(( 100 * bytes_per_second )) "$work/audio.raw" | tr -d '\000' | wc -c)
[ "$sounding" -ge $(( 50 * bytes_per_second )) ] || fail "the sound is mostly silence ($sounding non-zero bytes)"
echo "whole show: status 1, $size bytes of sound"
