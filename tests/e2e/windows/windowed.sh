#!/usr/bin/env bash
# The Windows show in a window under Wine: its place, size and title, its picture, the arrow keys,
# a drag and Escape.
. "$(dirname "$0")/lib.sh"
start_x 1024x768x24
prepare_prefix
use_data
start_show -w
intro="$work/data/gfx/misc/tzback.jpg"
title=BWAHAHHAHAHAHAHHAHAHAHAHAH

id=$(wait_window "$title" "$k_first_window_seconds")
[ "$(geometry "$id")" = "640x480+0+0" ] || fail "window at $(geometry "$id"), expected 640x480+0+0"

# Caught between two frames: every pixel is the intro picture less one amount.
sleep 3
kill -STOP "$show_pid"
shot "$work/intro.ppm" 640x480+0+0
kill -CONT "$show_pid"
matches "$work/intro.ppm" "$intro"

# Ten times Left: 600 pixels wide, in place, the picture stretched into it by the blit.
xdotool mousemove 320 200
for _ in $(seq 10); do xdotool key Left; done
sleep 0.5
[ "$(geometry "$id")" = "600x480+0+0" ] || fail "after 10 x Left the window is $(geometry "$id")"
kill -STOP "$show_pid"
shot "$work/narrow.ppm" 600x480+0+0
kill -CONT "$show_pid"
matches "$work/narrow.ppm" "$intro"

# A drag takes hold at the first move after the press and moves the window as far as the pointer.
xdotool mousemove 100 100 mousedown 1 sleep 0.1 mousemove 101 100 sleep 0.1 mousemove 151 130 sleep 0.1 mouseup 1
sleep 0.5
[ "$(geometry "$id")" = "600x480+50+30" ] || fail "after the drag the window is $(geometry "$id"), expected 600x480+50+30"

xdotool mousemove 300 300 key Escape
wait_exit 1 0
echo "Windows windowed show: window, picture, resize, drag and Escape as expected"
