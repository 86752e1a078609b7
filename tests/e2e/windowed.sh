#!/usr/bin/env bash
# The windowed show: its window, its picture, the arrow keys, a drag and Escape.
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
xdotool mousemove 320 200
for _ in $(seq 10); do xdotool key Left; done
sleep 0.3
[ "$(geometry "$id")" = "600x480+0+0" ] || fail "after 10 x Left the window is $(geometry "$id")"
shows_soon "$work/narrow.ppm" 600x480+0+0 "$intro"

# A drag takes hold at the first move after the press and moves the window as far as the pointer.
xdotool mousemove 100 100 mousedown 1 sleep 0.1 mousemove 101 100 sleep 0.1 mousemove 151 130 sleep 0.1 mouseup 1
sleep 0.3
[ "$(geometry "$id")" = "600x480+50+30" ] || fail "after the drag the window is $(geometry "$id"), expected 600x480+50+30"

xdotool mousemove 300 300 key Escape
wait_exit 1 0

# Asked to quit (Ctrl-C, SIGTERM): status 0 at the next frame.
start_show -w
wait_window BWAHAHHAHAHAHAHHAHAHAHAHAH >/dev/null
kill -TERM "$show_pid"
wait_exit 1 0
echo "windowed show: window, picture, resize, drag, Escape and SIGTERM as expected"
