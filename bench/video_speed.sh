#!/usr/bin/env bash
# The whole show made into a video by velmorastik-capture (10 fps, yuv444p, CRF 16, preset medium,
# with the soundtrack) against the FFmpeg command line encoding the capture's raw frames from a
# pipe with the same settings (without audio: the yardstick has no soundtrack to copy):
#   (a) velmorastik-capture show.mkv
#   (b) velmorastik-capture --raw - | ffmpeg ... with FFmpeg's own colour conversion (BT.601),
#   (c) the same, converting as the capture does (BT.709, limited range, the same swscale flags):
#       x264 is then given the same pictures, and its H.264 stream equals the capture's byte for
#       byte (checked below), so (c) times exactly the same encoding work;
#   (d) the floor: ffmpeg encoding those same pictures, converted beforehand, from a file (x264
#       alone; its stream too is checked to be the capture's).
# Runs alternate (a, b, c, d, d, c, b, a, ...) so that other load on the machine falls on all alike.
# Prints the medians of RUNS (default 5), of the time taken and of the processor time used (the
# work, which other load hardly changes), and the ratios a/b, a/c (under 1: the capture wins), a/d.
#   bench/video_speed.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
bin=$(realpath "${1:-build}/bin")
runs=${2:-5}
command -v ffmpeg >/dev/null || { echo "needs the ffmpeg command line (apt-get install ffmpeg)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/velmorastik-demo-data" "$work" >/dev/null

settings=(-c:v libx264 -preset medium -crf 16 -pix_fmt yuv444p)
same_colours=(-vf scale=out_color_matrix=bt709:out_range=tv:flags=bicubic+accurate_rnd+full_chroma_int
              -color_range tv -colorspace bt709 -color_primaries bt709 -color_trc bt709)

ours() { "$bin/velmorastik-capture" -C "$work" --fps 10 --pix-fmt yuv444p --crf 16 --preset medium --quiet "$work/ours.mkv"; }
piped() {
  local out=$1
  shift
  "$bin/velmorastik-capture" -C "$work" --fps 10 --raw - 2>/dev/null |
    ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt bgr0 -s 640x480 -r 10 -i - "$@" "${settings[@]}" "$out"
}
ffmpeg_defaults() { piped "$work/defaults.mkv"; }
ffmpeg_same_colours() { piped "$work/same.mkv" "${same_colours[@]}"; }
encoder_alone() {
  ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt yuv444p -s 640x480 -r 10 -i "$work/pictures.yuv" \
    "${settings[@]}" "${same_colours[@]:2}" "$work/floor.mkv"
}
# The pictures x264 is given, once, for (d): 1.1 GB.
"$bin/velmorastik-capture" -C "$work" --fps 10 --raw - 2>/dev/null |
  ffmpeg -nostdin -v error -f rawvideo -pix_fmt bgr0 -s 640x480 -r 10 -i - "${same_colours[@]:0:2}" \
    -f rawvideo -pix_fmt yuv444p "$work/pictures.yuv"

# "WALL CPU": the seconds a command takes, and the processor time it and its children use (the
# work done, which other load on the machine hardly changes).
timed() {
  local TIMEFORMAT='%R %U %S'
  { time "$@" >/dev/null 2>"$work/errors"; } 2>"$work/time" || { cat "$work/errors" >&2; exit 1; }
  awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }' "$work/time"
}

a=() b=() c=() d=() a_cpu=() b_cpu=() c_cpu=() d_cpu=()
run_a() { read -r wall cpu < <(timed ours); a+=("$wall"); a_cpu+=("$cpu"); }
run_b() { read -r wall cpu < <(timed ffmpeg_defaults); b+=("$wall"); b_cpu+=("$cpu"); }
run_c() { read -r wall cpu < <(timed ffmpeg_same_colours); c+=("$wall"); c_cpu+=("$cpu"); }
run_d() { read -r wall cpu < <(timed encoder_alone); d+=("$wall"); d_cpu+=("$cpu"); }
a_by_b=() a_by_c=()
for run in $(seq "$runs"); do
  # Every other run backwards, so that none of the three always follows the same one.
  if (( run % 2 )); then run_a; run_b; run_c; run_d; else run_d; run_c; run_b; run_a; fi
  a_by_b+=("$(awk -v a="${a[-1]}" -v b="${b[-1]}" 'BEGIN { printf "%.3f", a / b }')")
  a_by_c+=("$(awk -v a="${a[-1]}" -v c="${c[-1]}" 'BEGIN { printf "%.3f", a / c }')")
  echo "run $run: (a) ${a[-1]} s, (b) ${b[-1]} s, (c) ${c[-1]} s, (d) ${d[-1]} s;" \
       "processor time ${a_cpu[-1]}, ${b_cpu[-1]}, ${c_cpu[-1]}, ${d_cpu[-1]} s"
done

ma=$(median "${a[@]}") mb=$(median "${b[@]}") mc=$(median "${c[@]}") md=$(median "${d[@]}")
ma_cpu=$(median "${a_cpu[@]}") mb_cpu=$(median "${b_cpu[@]}") mc_cpu=$(median "${c_cpu[@]}")
md_cpu=$(median "${d_cpu[@]}")
video_stream() { ffmpeg -nostdin -v error -i "$1" -map 0:v -c copy -f h264 - | md5sum | cut -d' ' -f1; }
ours_stream=$(video_stream "$work/ours.mkv")
same=no floor_same=no
[ "$ours_stream" = "$(video_stream "$work/same.mkv")" ] && same=yes
[ "$ours_stream" = "$(video_stream "$work/floor.mkv")" ] && floor_same=yes

echo "whole show, 10 fps, yuv444p, CRF 16, medium; medians of $runs runs (the yardsticks have no audio)"
echo "  (a) velmorastik-capture show.mkv:              $ma s, processor $ma_cpu s, $(stat -c %s "$work/ours.mkv") bytes"
echo "  (b) --raw - | ffmpeg, FFmpeg's colours:        $mb s, processor $mb_cpu s, $(stat -c %s "$work/defaults.mkv") bytes"
echo "  (c) --raw - | ffmpeg, the capture's colours:   $mc s, processor $mc_cpu s, $(stat -c %s "$work/same.mkv") bytes"
echo "  (d) x264 alone, the pictures from a file:    $md s, processor $md_cpu s, $(stat -c %s "$work/floor.mkv") bytes"
echo "  H.264 stream the same as the capture's: (c) $same, (d) $floor_same"
awk -v a="$ma" -v b="$mb" -v c="$mc" -v d="$md" -v ac="$ma_cpu" -v bc="$mb_cpu" -v cc="$mc_cpu" -v dc="$md_cpu" 'BEGIN {
  printf "  time a/b: %.2fx   a/c: %.2fx   a/d: %.2fx;   processor time a/b: %.2fx   a/c: %.2fx   a/d: %.2fx\n",
         a / b, a / c, a / d, ac / bc, ac / cc, ac / dc }'
echo "  the ratios run by run, median: a/b $(median "${a_by_b[@]}")x, a/c $(median "${a_by_c[@]}")x"
