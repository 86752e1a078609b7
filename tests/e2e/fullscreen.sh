#!/usr/bin/env bash
# The full-screen show on a 640x480 screen: the picture fills it pixel for pixel; Escape ends it.
# On a wider screen it stays 640x480 in the middle between black bars.
. "$(dirname "$0")/lib.sh"
intro_shown() {
  sleep 3  # the intro about 60% faded in
  shot "$work/screen.ppm" "$1"
  matches "$work/screen.ppm" "$work/data/gfx/misc/tzback.jpg"
}
# black WxH+X+Y: that part of the screen holds nothing but black.
black() {
  shot "$work/bar.ppm" "$1"
  [ "$(convert "$work/bar.ppm" -format '%[max]' info:)" = 0 ] || fail "the screen at $1 is not black"
}

start_x 640x480x24
use_data
start_show
id=$(wait_window BWAHAHAHAHAHAHAH)
[ "$(geometry "$id")" = "640x480+0+0" ] || fail "window at $(geometry "$id")"
intro_shown 640x480+0+0
xdotool mousemove 320 240 key Escape
wait_exit 1 0

kill "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null || true
start_x 800x480x24
start_show
id=$(wait_window BWAHAHAHAHAHAHAH)
[ "$(geometry "$id")" = "800x480+0+0" ] || fail "window at $(geometry "$id") on the 800x480 screen"
intro_shown 640x480+80+0
black 80x480+0+0
black 80x480+720+0
xdotool mousemove 400 240 key Escape
wait_exit 1 0
echo "full-screen show: picture, letterbox and Escape as expected"
