#!/usr/bin/env bash
# velmorastik-import against ImageMagick on a phone's worth of photos: twelve 24-megapixel JPEGs
# (6000x4000 at quality 90, cloud- and terrain-like with fine grain, five of them turned by their
# EXIF orientation as phones store upright shots) fitted to 640x480 by
#   (a) velmorastik-import, without music,
#   (b) /usr/bin/convert doing the same fits, one picture after another,
#   (c) velmorastik-import with a 4-minute 44.1 kHz stereo FLAC as its music;
# each the median of RUNS (default 5), and the ratio (a)/(b), which should be at most 1/3.
#   bench/import_speed.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
bin=$(realpath "${1:-build}/bin")
runs=${2:-5}
convert=/usr/bin/convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Elsewhere `convert` may be a stand-in: the comparison needs the real ImageMagick.
"$convert" -version 2>/dev/null | grep -q ImageMagick || { echo "no ImageMagick at $convert (apt-get install imagemagick)" >&2; exit 1; }
command -v vips >/dev/null && command -v ffmpeg >/dev/null || { echo "needs vips (libvips-tools) and ffmpeg" >&2; exit 1; }

# with_orientation FILE N: an EXIF block right after FILE's start of image, saying orientation N.
with_orientation() {
  { head -c 2 "$1"
    # APP1, 34 bytes: "Exif", a little-endian TIFF header, one IFD entry 0x0112 (SHORT, 1, N).
    printf '\xff\xe1\x00\x22Exif\x00\x00II*\x00\x08\x00\x00\x00\x01\x00\x12\x01\x03\x00\x01\x00\x00\x00'
    printf "\\x0$2"
    printf '\x00\x00\x00\x00\x00\x00\x00'
    tail -c +3 "$1"; } >"$1.new"
  mv "$1.new" "$1"
}

# One photo: a fractal surface for the light, a coarser one for the colour, both drawn at a
# quarter of the size and enlarged, then sensor-like grain at full size.
make_photo() {
  local out=$1 t=$work/tmp
  mkdir -p "$t"
  vips fractsurf "$t/f.v" 1500 1000 2.6 && vips scale "$t/f.v" "$t/l.v"
  vips fractsurf "$t/c.v" 150 100 2.2 && vips scale "$t/c.v" "$t/cs.v" && vips resize "$t/cs.v" "$t/c.v" 10 --kernel cubic
  vips linear "$t/l.v" "$t/l1.v" 0.65 0 && vips linear "$t/c.v" "$t/c1.v" 0.35 0 && vips add "$t/l1.v" "$t/c1.v" "$t/r.v"
  vips linear "$t/l.v" "$t/g.v" 0.8 20
  vips linear "$t/l.v" "$t/l2.v" 0.6 0 && vips linear "$t/c.v" "$t/c2.v" -- -0.35 90 && vips add "$t/l2.v" "$t/c2.v" "$t/b.v"
  vips bandjoin "$t/r.v $t/g.v $t/b.v" "$t/rgb.v" && vips cast "$t/rgb.v" "$t/small.v" uchar
  vips resize "$t/small.v" "$t/big.v" 4 --kernel cubic
  vips gaussnoise "$t/grain.v" 6000 4000 --mean 0 --sigma 5 && vips add "$t/big.v" "$t/grain.v" "$t/sum.v"
  vips cast "$t/sum.v" "$t/u.v" uchar && vips copy "$t/u.v" "$t/s.v" --interpretation srgb
  vips jpegsave "$t/s.v" "$out" --Q 90 --strip
  rm -rf "$t"
}

echo "making twelve 6000x4000 photos and a 4-minute FLAC in $work (once)..."
mkdir "$work/photos"
# Orientation 6 and 8: shot upright (stored on their side); 3: upside down.
orientations=(1 6 1 1 8 1 6 1 3 1 6 1)
for i in $(seq -w 1 12); do
  photo=$work/photos/IMG_00$i.jpg
  make_photo "$photo"
  orientation=${orientations[$((10#$i - 1))]}
  [ "$orientation" -eq 1 ] || with_orientation "$photo" "$orientation"
  [ "$(vipsheader -f orientation "$photo" 2>/dev/null || echo 1)" -eq "$orientation" ] \
    || { echo "$photo: orientation not $orientation" >&2; exit 1; }
done
ffmpeg -loglevel error -f lavfi -i "aevalsrc=exprs=0.3*sin(2*PI*220*t)*(0.6+0.4*sin(2*PI*t))+0.1*sin(2*PI*554*t)+0.04*(random(0)-0.5)|0.3*sin(2*PI*330*t)*(0.6+0.4*cos(2*PI*t))+0.1*sin(2*PI*440*t)+0.04*(random(1)-0.5):s=44100:d=240" \
  -c:a flac -sample_fmt s16 "$work/song.flac"
photos=("$work"/photos/*.jpg)
echo "photos: ${#photos[@]}, $(du -cb "${photos[@]}" | awk 'END { printf "%.1f MB", $1 / 1e6 }'); song: $(stat -c %s "$work/song.flac" | awk '{ printf "%.1f MB", $1 / 1e6 }')"

convert_all() {
  local photo
  mkdir -p "$work/magick"
  for photo in "${photos[@]}"; do
    "$convert" "$photo" -auto-orient -resize 640x480 -background black -gravity center -extent 640x480 \
      "$work/magick/$(basename "$photo")"
  done
}

# median_seconds COMMAND...: the median wall time of RUNS runs; a failing run ends the script.
median_seconds() { wall_times "$runs" "$@" | median; }

echo "$(nproc) cores; $(vips --version); $("$convert" -version | head -1 | cut -d' ' -f2-3); median of $runs runs each"
a=$(median_seconds "$bin/velmorastik-import" --force "$work/show-a" "${photos[@]}")
printf '(a) velmorastik-import, 12 photos, no music:   %6.2f s\n' "$a"
b=$(median_seconds convert_all)
printf '(b) ImageMagick convert, the same 12 fits:      %6.2f s\n' "$b"
c=$(median_seconds "$bin/velmorastik-import" --force --music "$work/song.flac" "$work/show-c" "${photos[@]}")
printf '(c) velmorastik-import, 12 photos and the FLAC: %6.2f s\n' "$c"
awk -v a="$a" -v b="$b" 'BEGIN { printf "(a)/(b) = %.3f (aim: at most 0.333)\n", a / b }'

# What both made: 640x480, the upright shots standing (a pillarbox in the middle of the frame).
for made in "$work/show-a/data/gfx/1/1.jpg" "$work/magick/IMG_0002.jpg"; do
  size="$(vipsheader -f width "$made")x$(vipsheader -f height "$made")"
  [ "$size" = 640x480 ] || { echo "$made is $size, not 640x480" >&2; exit 1; }
  bar=$(vips getpoint "$made" 40 240 | awk '{ print $1 + $2 + $3 }')
  [ "${bar%.*}" -le 15 ] || { echo "$made: no black bar at the left, the upright shot lies on its side" >&2; exit 1; }
done
