#!/usr/bin/env bash
# The whole show at 60 fps made into a video (yuv444p, default preset) and, for comparison, into
# raw frames thrown away: each as a multiple of real time, median of RUNS (default 3).
#   bench/capture_speed.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
bin=$(realpath "${1:-build}/bin")
runs=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/velmorastik-demo-data" "$work" >/dev/null
show_seconds=$("$bin/velmorastik-capture" -C "$work" --fps 60 | awk '/^frames:/ { print $2 / 60 }')

median_speed() {
  awk -v t="$(wall_times "$runs" "$@" | median)" -v show="$show_seconds" \
    'BEGIN { printf "%.1f s, %.2fx real time", t, show / t }'
}

echo "show: ${show_seconds} s at 60 fps"
echo "MKV, yuv444p, preset medium: $(median_speed "$bin/velmorastik-capture" -C "$work" --fps 60 --pix-fmt yuv444p --quiet "$work/show.mkv")"
echo "  size: $(stat -c %s "$work/show.mkv") bytes"
echo "--raw /dev/null:             $(median_speed "$bin/velmorastik-capture" -C "$work" --fps 60 --raw /dev/null)"
