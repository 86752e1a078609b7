#!/usr/bin/env bash
# The screen taken away or misused from outside: the X server killed mid-show, the window
# destroyed by another client, the window grown past what a server takes. Each has one ending.
. "$(dirname "$0")/lib.sh"
use_data

# no_x_complaints: stderr holds no report of a refused request, nor Xlib's own.
no_x_complaints() {
  ! grep -qiE 'X server refused|BadWindow|BadValue|X connection|XIO' "$work/err.log" ||
    fail "X errors on stderr: $(cat "$work/err.log")"
}

# The X server killed under the show, windowed and full-screen: status 2 at once, saying so, and
# no hang in the way out (the desktop's restore would wait on the dead connection for ever).
for mode in windowed fullscreen; do
  if [ $mode = windowed ]; then
    start_x 1024x768x24; start_show -w; title=BWAHAHHAHAHAHAHHAHAHAHAHAH
  else
    start_x 640x480x24; start_show; title=BWAHAHAHAHAHAHAH
  fi
  wait_window "$title" >/dev/null
  sleep 1
  lost=$DISPLAY
  kill -TERM "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null || true; xvfb_pid=""
  wait_exit 5 2
  grep -qx "velmorastik: lost the display $lost" "$work/err.log" || fail "$mode: stderr: $(cat "$work/err.log")"
done

start_x 1024x768x24
# Another client destroys the window: a closed window, the user's stop.
start_show -w
id=$(wait_window BWAHAHHAHAHAHAHHAHAHAHAHAH)
sleep 1
xdotool windowclose "$id"
wait_exit 5 0
no_x_complaints

# Down held until the record passes 65,535 rows: the window stops at 16,384 and the show goes on.
start_show -w
id=$(wait_window BWAHAHHAHAHAHAHHAHAHAHAHAH)
# One Left after them: the window is 636 pixels wide only once every Down has been handled.
xdotool mousemove 10 10 key --window "$id" --repeat 16400 --delay 0 Down key --window "$id" Left
for _ in $(seq 200); do
  [ "$(geometry "$id")" = "636x16384+0+0" ] && break
  kill -0 "$show_pid" 2>/dev/null || fail "the show ended: $(cat "$work/err.log")"
  sleep 0.05
done
[ "$(geometry "$id")" = "636x16384+0+0" ] || fail "after 16,400 x Down and a Left the window is $(geometry "$id")"
kill -0 "$show_pid" 2>/dev/null || fail "the show ended: $(cat "$work/err.log")"
xdotool key --window "$id" Escape
wait_exit 5 0
no_x_complaints
echo "lost screen: killed server, window destroyed from outside, very tall window as expected"
