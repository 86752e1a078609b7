#!/usr/bin/env bash
# The live show's own CPU time, windowed on a private X server: 20 s of the show after 2 s of
# start-up, as a share of one core, over three runs (median). Also times one windowed frame.
#   bench/show_cpu.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build}/bin
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT

n=150
while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$n"
for _ in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.05; done

"$bin/velmorastik-demo-data" "$work" >/dev/null
ticks_per_second=$(getconf CLK_TCK)
shares=()
for run in 1 2 3; do
  (cd "$work" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null exec "$(realpath "$OLDPWD/$bin/velmorastik")" -w) &
  pid=$!
  sleep 2
  before=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  sleep 20
  after=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
  kill "$pid"; wait "$pid" 2>/dev/null || true
  share=$(awk -v t=$((after - before)) -v hz="$ticks_per_second" 'BEGIN { printf "%.1f", 100 * t / hz / 20 }')
  echo "run $run: ${share}% of one core"
  shares+=("$share")
done
median=$(printf '%s\n' "${shares[@]}" | sort -n | sed -n 2p)
echo "show CPU, windowed on Xvfb, median of 3: ${median}% of one core"
"$bin/velmorastik-present-bench" 300
