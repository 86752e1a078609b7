#!/usr/bin/env bash
# The Windows show's own CPU time under Wine, windowed on a private X server with DirectDraw drawn
# through GDI: 20 s of the show after 3 s of start-up, as a share of one core, over three runs
# (median). Wine's server, which carries every window message and blit, is reported beside it.
#   bench/windows_show_cpu.sh [WINDOWS_BUILD_DIR [NATIVE_BUILD_DIR]]  (default: build-windows build)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
exe=$(realpath "${1:-build-windows}/bin/velmorastik.exe")
data_set=$(realpath "${2:-build}/data-set")
work=$(mktemp -d)
export WINEPREFIX="$work/prefix"
. scripts/lib/wine-env.sh
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 200); do grep -q '^[0-9][0-9]*$' "$work/display" 2>/dev/null && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /d gdi /f >/dev/null 2>&1
cp -r "$data_set/data" "$work/data"
# One server for all three runs.
wineserver -w
wineserver -p >/dev/null 2>&1
server=$(pgrep -n "^wineserver")

ticks_per_second=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
share_of() { awk -v t="$1" -v hz="$ticks_per_second" 'BEGIN { printf "%.1f", 100 * t / hz / 20 }'; }
shows=(); servers=()
for run in 1 2 3; do
  (cd "$work" && exec wine "$exe" -w >/dev/null 2>&1) &
  pid=$!
  sleep 3
  show_before=$(cpu_ticks "$pid"); server_before=$(cpu_ticks "$server")
  sleep 20
  show_after=$(cpu_ticks "$pid"); server_after=$(cpu_ticks "$server")
  kill "$pid"; wait "$pid" 2>/dev/null || true
  show=$(share_of $((show_after - show_before))); server_share=$(share_of $((server_after - server_before)))
  echo "run $run: the show ${show}% of one core, wineserver ${server_share}%"
  shows+=("$show"); servers+=("$server_share")
done
echo "Windows show CPU under Wine (gdi), windowed on Xvfb, median of 3: $(median "${shows[@]}")% of one core" \
  "(wineserver $(median "${servers[@]}")%)"
