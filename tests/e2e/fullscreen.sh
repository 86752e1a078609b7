#!/usr/bin/env bash
# The full-screen show on a 640x480 screen: the picture fills it pixel for pixel; Escape ends it.
. "$(dirname "$0")/lib.sh"
start_x 640x480x24
use_data
start_show
id=$(wait_window BWAHAHAHAHAHAHAH)
[ "$(geometry "$id")" = "640x480+0+0" ] || fail "window at $(geometry "$id")"
sleep 3  # the intro about 60% faded in
shot "$work/screen.ppm" 640x480+0+0
matches "$work/screen.ppm" "$work/data/gfx/misc/tzback.jpg"
xdotool mousemove 320 240 key Escape
wait_exit 1 0
echo "full-screen show: picture and Escape as expected"
