#!/usr/bin/env bash
# The windowed show: its window, its picture, the arrow keys, a drag (which gives back the
# recorded size), Escape and SIGTERM.
. "$(dirname "$0")/lib.sh"
start_x 1024x768x24
use_data
start_show -w
intro="$work/data/gfx/misc/tzback.jpg"

id=$(wait_window BWAHAHHAHAHAHAHHAHAHAHAHAH)
[ "$(geometry "$id")" = "640x480+0+0" ] || fail "window at $(geometry "$id"), expected 640x480+0+0"
xwininfo -id "$id" | grep -q 'Border width: 0$' || fail "the window has a border"

# The intro fades in over 5.1 s and out over the next 5.1 s: whatever the moment, the window shows
# the intro picture, every pixel less the same amount; at 3 s the amount is about 100.
sleep 3
shot "$work/intro.ppm" 640x480+0+0
matches "$work/intro.ppm" "$intro"

# Ten times Left: 600 pixels wide, in place, the picture stretched into it.
# One xdotool for the ten: the steps must be over before the intro ends at 5.1 s, even under load.
xdotool mousemove 320 200 key --repeat 10 --delay 20 Left
sleep 0.3
[ "$(geometry "$id")" = "600x480+0+0" ] || fail "after 10 x Left the window is $(geometry "$id")"
shows_soon "$work/narrow.ppm" 600x480+0+0 "$intro"

# A drag takes hold at the first move after the press and moves the window as far as the pointer.
xdotool mousemove 100 100 mousedown 1 sleep 0.1 mousemove 101 100 sleep 0.1 mousemove 151 130 sleep 0.1 mouseup 1
sleep 0.3
[ "$(geometry "$id")" = "600x480+50+30" ] || fail "after the drag the window is $(geometry "$id"), expected 600x480+50+30"

xdotool mousemove 300 300 key Escape
wait_exit 1 0

# Narrowed and widened back to the frame's size, the window shows the frame pixel for pixel again.
start_show -w
id=$(wait_window BWAHAHHAHAHAHAHHAHAHAHAHAH)
xdotool mousemove 320 200 key --repeat 10 --delay 20 Left
sleep 0.3
[ "$(geometry "$id")" = "600x480+0+0" ] || fail "after 10 x Left the window is $(geometry "$id")"
xdotool key --repeat 10 --delay 20 Right
sleep 0.3
[ "$(geometry "$id")" = "640x480+0+0" ] || fail "after 10 x Left and 10 x Right the window is $(geometry "$id")"
sleep 2.5
shot "$work/widened.ppm" 640x480+0+0
matches "$work/widened.ppm" "$intro"

# Resized from outside, the window takes its recorded size again with the next drag.
xdotool windowsize "$id" 300 200
sleep 0.3
[ "$(geometry "$id")" = "300x200+0+0" ] || fail "the outside resize gave $(geometry "$id")"
xdotool mousemove 100 100 mousedown 1 sleep 0.1 mousemove 101 100 sleep 0.1 mousemove 151 130 sleep 0.1 mouseup 1
sleep 0.3
[ "$(geometry "$id")" = "640x480+50+30" ] || fail "after the drag the window is $(geometry "$id"), expected 640x480+50+30"

# Asked to quit (Ctrl-C, SIGTERM): status 0 at the next frame.
kill -TERM "$show_pid"
wait_exit 1 0
echo "windowed show: window, picture, resize, drag, the size after an outside resize, Escape and SIGTERM as expected"
