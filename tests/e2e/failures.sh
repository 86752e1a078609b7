#!/usr/bin/env bash
# Endings a user can meet: no display, a 16-bit desktop, a missing picture; and a show without
# its soundtrack, or with a broken one, that goes on in silence.
. "$(dirname "$0")/lib.sh"
use_data

# No display at all: a clear message and status 2 at once.
start=$(date +%s%N)
status=0
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY "$VELMORASTIK_BIN/velmorastik" -w 2>"$work/err.log") || status=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
expect_status "$status" 2
grep -q "cannot show anything" "$work/err.log" || fail "no clear message without a display: $(cat "$work/err.log")"
[ "$elapsed_ms" -lt 1000 ] || fail "took $elapsed_ms ms to give up without a display"

# A 16-bit desktop: the box, then status 2.
start_x 1024x768x16
start_show -w
dismiss_box Error
wait_exit 2 2
grep -q '^32bpp desktop please ;) Error' "$work/err.log" || fail "stderr: $(cat "$work/err.log")"
# A quit request while the box waits ends the show, and the box with it: SDL draws the box from a
# child process, which must not outlive the show.
for signal in TERM INT; do
  start_show -w
  wait_window Error >/dev/null
  box_pid=$(pgrep -P "$show_pid" || true)
  kill -"$signal" "$show_pid"
  wait_exit 1 2
  for _ in $(seq 40); do
    window_listed Error || break
    sleep 0.05
  done
  ! window_listed Error || fail "the box stays on screen after SIG$signal"
  # A dead child may stay a zombie until its new parent reaps it: alive means any other state.
  [ -z "$box_pid" ] || ! grep -qv '^[0-9]* ([^)]*) Z' "/proc/$box_pid/stat" 2>/dev/null ||
    fail "the box's process $box_pid outlives the show"
done
kill "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null || true

# Without the soundtrack, and with a broken one, the show runs.
start_x 1024x768x24
for soundtrack in missing broken; do
  if [ $soundtrack = missing ]; then rm -f "$work/data/sfx/lumo.mp3"
  else head -c 20000 /dev/urandom >"$work/data/sfx/lumo.mp3"; fi
  start_show -w
  wait_window BWAHAHHAHAHAHAHHAHAHAHAHAH >/dev/null
  sleep 3
  kill -0 "$show_pid" || fail "the show ended with a $soundtrack soundtrack"
  shot "$work/silent.ppm" 640x480+0+0
  matches "$work/silent.ppm" "$work/data/gfx/misc/tzback.jpg"
  xdotool mousemove 320 200 key Escape
  wait_exit 1 0
done
cp -r "$E2E_DATA/data/sfx" "$work/data/"

# A missing picture: the box names it over the last picture shown, at full brightness (here the
# intro's, right after it; missing_picture.sh waits for the second set's).
kill "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null || true
start_x 2000x1200x24
expect_missing_picture 1/1 misc/tzback
echo "failures: no display, 16-bit desktop, missing and broken soundtrack, a missing picture as expected"
