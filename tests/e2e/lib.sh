# Shared set-up of the end-to-end tests: a private X server, a copy of the generated data set, the
# show started in the background, and helpers to find its windows, look at them and end it.
# Sourced by each scenario; the environment gives VELMORASTIK_BIN (the programs' folder) and
# E2E_DATA (a data set made by the generator).
set -euo pipefail

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in Xvfb xdotool xwininfo import convert; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps adds it)"
done

work=$(mktemp -d)
xvfb_pid=""
show_pid=""
cleanup() {
  [ -n "$show_pid" ] && kill -9 "$show_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# Stopped from outside (a timeout, Ctrl-C): clean up all the same, leaving no server or show behind.
trap 'exit 130' INT
trap 'exit 143' TERM

# start_x WxHxDEPTH: a fresh X server, without a window manager, on a display number it picks
# itself (tests run side by side, each with its own). A server that took a number but cannot be
# reached (a stale socket of a killed one) is replaced by another. Without -noreset the server
# resets when its last client leaves, the probe below, and refuses whoever connects meanwhile.
start_x() {
  for _ in 1 2 3; do
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 200); do
      if grep -q '^[0-9][0-9]*$' "$work/display" 2>/dev/null; then
        export DISPLAY=":$(cat "$work/display")"
        xwininfo -root >/dev/null 2>&1 && return 0
        break
      fi
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null || true
  done
  fail "Xvfb did not start: $(cat "$work/xvfb.log")"
}

# use_data: the generated data set, copied so that a scenario may break it.
use_data() {
  cp -r "$E2E_DATA/data" "$work/data"
}

# start_show ARGS...: the show in $work, its sound written to $work/audio.raw in real time.
start_show() {
  (cd "$work" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" \
    exec "$VELMORASTIK_BIN/velmorastik" "$@" >"$work/out.log" 2>"$work/err.log") &
  show_pid=$!
}

# wait_window NAME [SECONDS]: prints the id of the top-level window named NAME once it exists.
wait_window() {
  local name=$1 tries=$(( ${2:-10} * 20 )) id seen=""
  for _ in $(seq "$tries"); do
    # The tree walk fails when a window goes while it is read (the show remaking its window, a
    # box closing): that is one more try, not a failure.
    id=$(xwininfo -root -tree 2>/dev/null | awk -v q="\"$name\":" 'index($0, q) { print $1; exit }' || true)
    # SDL may remake its window while it picks a renderer, and a loaded machine may show the first
    # one for a while: a window counts once it is mapped and the same on two looks a fifth of a
    # second apart.
    if [ -n "$id" ] && [ "$id" = "$seen" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable'; then
      echo "$id"
      return 0
    fi
    [ -n "$id" ] && [ "$id" != "$seen" ] && sleep 0.2
    seen=$id
    kill -0 "$show_pid" 2>/dev/null ||
      fail "the show ended before window '$name' appeared on $DISPLAY: $(cat "$work/err.log"); X server: $(cat "$work/xvfb.log")"
    sleep 0.05
  done
  fail "no window '$name' after ${2:-10} s"
}

# window_listed NAME: a top-level window named NAME exists now.
window_listed() {
  local tree=""
  for _ in 1 2 3 4 5; do
    tree=$(xwininfo -root -tree 2>/dev/null) && break
    sleep 0.05
  done
  grep -q "\"$1\":" <<<"$tree"
}

# geometry ID: "WxH+X+Y" of a window.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END { printf "%sx%s+%s+%s\n", w, h, x, y }'
}

# shot FILE WxH+X+Y: that part of the screen as a binary PPM.
shot() {
  import -window root -crop "$2" +repage "$work/shot.png"
  convert "$work/shot.png" -depth 8 "ppm:$1"
}

# matches SHOT PICTURE [AMOUNT]: the screenshot shows the picture, faded by AMOUNT or by any amount.
matches() {
  local extra=()
  [ $# -ge 3 ] && extra=(--amount "$3")
  "$VELMORASTIK_BIN/frame_match" "$1" "$2" "${extra[@]}" || fail "$(basename "$1") does not show $2"
}

# shows_soon FILE WxH+X+Y PICTURE: that part of the screen shows the picture, faded by any amount,
# within 3 s. After the window changed size the next frame drawn at the new size may be late on
# a loaded machine; until it comes, the screen still holds the last frame of the old size.
shows_soon() {
  local verdict=""
  for _ in $(seq 30); do
    shot "$1" "$2"
    verdict=$("$VELMORASTIK_BIN/frame_match" "$1" "$3" 2>&1) && return 0
    sleep 0.1
  done
  fail "$(basename "$1") does not show $3: $verdict"
}

# wait_exit SECONDS STATUS: the show ends within SECONDS with STATUS.
wait_exit() {
  local tries=$(( $1 * 20 ))
  for _ in $(seq "$tries"); do
    if ! kill -0 "$show_pid" 2>/dev/null; then
      local status=0
      wait "$show_pid" || status=$?
      show_pid=""
      expect_status "$status" "$2"
      return 0
    fi
    sleep 0.05
  done
  fail "the show still runs after $1 s"
}

# dismiss_box NAME [SECONDS]: finds the message box named NAME and presses Return in it.
dismiss_box() {
  local id
  id=$(wait_window "$1" "${2:-10}")
  xdotool key --window "$id" Return
}

expect_status() {
  [ "$1" = "$2" ] || fail "exit status $1, expected $2; stderr: $(cat "$work/err.log")"
}

# expect_missing_picture PICTURE SHOWN: with gfx/PICTURE.jpg missing, the show stops at it with the
# box naming it over gfx/SHOWN.jpg, the last picture shown, at full brightness; Return ends it
# with status 2. The picture is put back afterwards.
expect_missing_picture() {
  mv "$work/data/gfx/$1.jpg" "$work/held.jpg"
  start_show -w
  wait_window "data/gfx/$1.jpg" 90 >/dev/null
  grep -q "^ERROR LOCATING\.\.\. data/gfx/$1.jpg" "$work/err.log" || fail "stderr: $(cat "$work/err.log")"
  shot "$work/held.ppm" 640x480+0+0
  matches "$work/held.ppm" "$work/data/gfx/$2.jpg" 0
  dismiss_box "data/gfx/$1.jpg"
  wait_exit 2 2
  mv "$work/held.jpg" "$work/data/gfx/$1.jpg"
}
