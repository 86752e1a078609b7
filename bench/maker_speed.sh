#!/usr/bin/env bash
# The maker's speed beside the native tools', in one run, medians of three each:
#   (a) twelve 12-megapixel photos fitted in the page (velmorastikMaker.make) and by
#       velmorastik-import, as JPEG and, coded by heif-enc, as HEIC (which the page decodes with
#       its own HEIF module where the browser cannot);
#   (b) the whole show as a video at 30 fps in the page (exportVideo) and by velmorastik-capture
#       to MKV, on the same set.
#   bench/maker_speed.sh [SITE_DIR] [NATIVE_BIN]   (defaults: build-web/site, build/bin)
# Aims: (a) at most 3x the import's time for JPEG, 2x for HEIC, (b) at most 2x the capture's.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/lib.sh
site=${1:-build-web/site}
bin=${2:-build/bin}
[ -f "$site/maker.html" ] || { echo "no site with the maker at $site (scripts/web builds it)" >&2; exit 2; }
for tool in velmorastik-import velmorastik-capture; do
  [ -x "$bin/$tool" ] || { echo "no $bin/$tool (the native build makes it)" >&2; exit 2; }
done
command -v convert >/dev/null || { echo "ImageMagick's convert is not installed" >&2; exit 2; }
command -v heif-enc >/dev/null || { echo "heif-enc is not installed (libheif-examples)" >&2; exit 2; }
[ -x "${CHROMIUM:-/usr/bin/chromium}" ] || { echo "no Chromium at ${CHROMIUM:-/usr/bin/chromium}" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Twelve 4000x3000 photos, each different, JPEG as a phone writes them, and the same pictures as
# HEIC.
photos=()
heics=()
for n in $(seq 1 12); do
  convert -size 4000x3000 plasma:fractal -seed "$n" "$work/photo-$n.png"
  convert "$work/photo-$n.png" -quality 90 "$work/photo-$n.jpg"
  heif-enc -q 90 -o "$work/photo-$n.heic" "$work/photo-$n.png" >/dev/null
  rm "$work/photo-$n.png"
  photos+=("$work/photo-$n.jpg")
  heics+=("$work/photo-$n.heic")
done

echo "velmorastik-import, twelve 12-megapixel photos:"
import_times=$(wall_times 3 "$bin/velmorastik-import" --force "$work/imported" "${photos[@]}")
echo "$import_times" | sed 's/^/  /'
# The set the page makes of the same photos, and the native capture of the imported one.
echo "velmorastik-import, the same as HEIC:"
heic_times=$(wall_times 3 "$bin/velmorastik-import" --force "$work/imported-heic" "${heics[@]}")
echo "$heic_times" | sed 's/^/  /'
echo "velmorastik-capture show.mkv --fps 30, the imported set:"
capture_times=$(wall_times 3 "$bin/velmorastik-capture" -C "$work/imported" --fps 30 --quiet "$work/show.mkv")
echo "$capture_times" | sed 's/^/  /'

echo "the page (median of three each):"
page=$(node bench/maker_speed.mjs "$site" "${photos[@]}" -- "${heics[@]}")
echo "$page" | sed 's/^/  /'
fit_page=$(echo "$page" | awk '/^fit/ { print $2 }')
video_page=$(echo "$page" | awk '/^video/ { print $2 }')
heic_page=$(echo "$page" | awk '/^heic/ { print $2 }')

fit_native=$(echo "$import_times" | median)
heic_native=$(echo "$heic_times" | median)
video_native=$(echo "$capture_times" | median)
awk -v a="$fit_page" -v b="$fit_native" -v c="$video_page" -v d="$video_native" -v e="$heic_page" -v f="$heic_native" 'BEGIN {
  printf "(a) twelve photos fitted: page %.2f s, velmorastik-import %.2f s: %.2fx (aim: at most 3x)\n", a, b, a / b
  printf "    the same as HEIC: page %.2f s, velmorastik-import %.2f s: %.2fx (aim: at most 2x)\n", e, f, e / f
  printf "(b) the show as a video at 30 fps: page %.2f s, velmorastik-capture to MKV %.2f s: %.2fx (aim: at most 2x)\n", c, d, c / d
}'
