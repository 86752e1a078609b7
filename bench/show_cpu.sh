#!/usr/bin/env bash
# The live show's own CPU time, windowed on a private X server: 20 s of the show after 2 s of
# start-up, as a share of one core, over RUNS runs (default 3; medians). Beside each run, over the
# same 20 s, the yardstick copies one whole frame per frame at 60 fps: the show's share divided by
# the yardstick's is its cost in frame copies, which a busy or slow machine moves much less than the
# share itself. Also times one windowed frame.
#   bench/show_cpu.sh [BUILD_DIR] [RUNS]     (default: build 3)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
bin=$(realpath "${1:-build}")/bin
runs=${2:-3}
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 200); do grep -q '^[0-9][0-9]*$' "$work/display" 2>/dev/null && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"

"$bin/velmorastik-demo-data" "$work" >/dev/null
ticks_per_second=$(getconf CLK_TCK)
shares=() yardsticks=() ratios=()
for run in $(seq "$runs"); do
  (cd "$work" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null exec "$bin/velmorastik" -w) &
  pid=$!
  sleep 2
  "$bin/velmorastik-copy-yardstick" 20 60 >"$work/yardstick" 2>/dev/null &
  yardstick=$!
  before=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  sleep 20
  after=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  kill "$pid"; wait "$pid" 2>/dev/null || true
  wait "$yardstick"
  share=$(awk -v t=$((after - before)) -v hz="$ticks_per_second" 'BEGIN { printf "%.2f", 100 * t / hz / 20 }')
  copy=$(cat "$work/yardstick")
  ratio=$(awk -v s="$share" -v c="$copy" 'BEGIN { printf "%.2f", s / c }')
  echo "run $run: show ${share}% of one core, yardstick (one frame copy per frame) ${copy}%: ${ratio}x"
  shares+=("$share") yardsticks+=("$copy") ratios+=("$ratio")
done
echo "show CPU, windowed on Xvfb, median of $runs: $(median "${shares[@]}")% of one core;" \
  "yardstick $(median "${yardsticks[@]}")%;" \
  "show/yardstick $(median "${ratios[@]}")x"
"$bin/velmorastik-present-bench" 300
