#!/usr/bin/env bash
# The Windows show full-screen under Wine on a 640x480 screen: the whole screen is the picture,
# and Escape ends it.
. "$(dirname "$0")/lib.sh"
start_x 640x480x24
prepare_prefix
use_data
start_show
id=$(wait_window BWAHAHAHAHAHAHAH "$k_first_window_seconds")
[ "$(geometry "$id")" = "640x480+0+0" ] || fail "window at $(geometry "$id"), expected 640x480+0+0"

sleep 3
kill -STOP "$show_pid"
shot "$work/screen.ppm" 640x480+0+0
kill -CONT "$show_pid"
matches "$work/screen.ppm" "$work/data/gfx/misc/tzback.jpg"

xdotool key Escape
wait_exit 1 0
echo "Windows full-screen show: exact picture and Escape as expected"
