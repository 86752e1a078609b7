#!/usr/bin/env bash
# The live show's own CPU time, windowed on a private X server: 20 s of the show after 2 s of
# start-up, as a share of one core, over three runs (median). Also times one windowed frame.
#   bench/show_cpu.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build}/bin
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 200); do grep -q '^[0-9][0-9]*$' "$work/display" 2>/dev/null && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"

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
