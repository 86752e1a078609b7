#!/usr/bin/env bash
# The maker's speed beside the native tools' and its memory, in one run, medians of three each:
#   (a) twelve 12-megapixel photos fitted in the page (velmorastikMaker.make) and by
#       velmorastik-import, as JPEG and, coded by heif-enc, as HEIC (which the page decodes with
#       its own HEIF module where the browser cannot);
#   (b) the whole show as a video at 30 fps in the page (exportVideo) and by velmorastik-capture
#       to MKV, on the same set;
#   (c) how far the browser's memory (all its processes) rises over the loaded page while it
#       fits a 199-megapixel JPEG, and while it fits the twelve photos;
#   (d) the maker's own files (its page, style, scripts and module) gzipped.
#   bench/maker_speed.sh [SITE_DIR] [NATIVE_BIN]   (defaults: build-web/site, build/bin)
# Aims: (a) at most the import's time for JPEG, 2x for HEIC, (b) at most 2x the capture's in
# Chromium, 3x in Firefox, (c) at most +400 MB for the large JPEG and +300 MB for the twelve
# photos, (d) at most 400 KB.
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
command -v vips >/dev/null || { echo "libvips' vips is not installed" >&2; exit 2; }
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

# 16300x12200 (199 megapixels): a plasma enlarged, with a photo's grain, by libvips, which makes it
# a strip at a time.
convert -size 1630x1220 plasma:fractal -seed 7 "$work/small.png"
vips resize "$work/small.png" "$work/large.v" 10
vips gaussnoise "$work/grain.v" 16300 12200 --sigma 6 --mean 0
vips add "$work/large.v" "$work/grain.v" "$work/large-grain.v"
vips jpegsave "$work/large-grain.v" "$work/large.jpg" --Q 90
rm -f "$work"/*.v

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
page=$(node bench/maker_speed.mjs speed "$site" "${photos[@]}" -- "${heics[@]}")
echo "$page" | sed 's/^/  /'
fit_page=$(echo "$page" | awk '/^fit/ { print $2 }')
heic_page=$(echo "$page" | awk '/^heic/ { print $2 }')
video_page=$(echo "$page" | awk '/^video/ { print $2 }')
echo "the video in Firefox (median of three):"
firefox_page=$(WEB_BROWSER=firefox node bench/maker_speed.mjs video "$site" "${photos[@]}")
echo "$firefox_page" | sed 's/^/  /'
video_firefox=$(echo "$firefox_page" | awk '/^video/ { print $2 }')
echo "the page's memory over the loaded page, MB (median of three, a browser each):"
large_memory=$(node bench/maker_speed.mjs memory "$site" "$work/large.jpg")
echo "  199-megapixel JPEG: $large_memory"
twelve_memory=$(node bench/maker_speed.mjs memory "$site" "${photos[@]}")
echo "  twelve 12-megapixel photos: $twelve_memory"
# The maker's page, its style, its scripts and its module; the show's own program is the show's,
# and the HEIF module, fetched only for a HEIC the browser cannot decode, is counted apart.
maker_files=(maker.html maker.css maker.js maker_fitter.js velmorastik-maker.js velmorastik-maker.wasm velmorastik-fitter.wasm)
gzipped_size() {
  local total=0 file
  for file in "$@"; do
    [ -f "$site/$file" ] || { echo "no $site/$file" >&2; exit 2; }
    total=$((total + $(gzip -9c "$site/$file" | wc -c)))
  done
  echo "$total"
}
gzipped=$(gzipped_size "${maker_files[@]}")
heif_gzipped=$(gzipped_size velmorastik-heif.js velmorastik-heif.wasm)

fit_native=$(echo "$import_times" | median)
heic_native=$(echo "$heic_times" | median)
video_native=$(echo "$capture_times" | median)
awk -v a="$fit_page" -v b="$fit_native" -v c="$video_page" -v d="$video_native" -v e="$heic_page" -v f="$heic_native" \
    -v g="$video_firefox" -v large="${large_memory#memory }" -v twelve="${twelve_memory#memory }" -v gz="$gzipped" \
    -v heif_gz="$heif_gzipped" 'BEGIN {
  printf "(a) twelve photos fitted: page %.2f s, velmorastik-import %.2f s: %.2fx (aim: at most 1x)\n", a, b, a / b
  printf "    the same as HEIC: page %.2f s, velmorastik-import %.2f s: %.2fx (aim: at most 2x)\n", e, f, e / f
  printf "(b) the show as a video at 30 fps: Chromium %.2f s, velmorastik-capture to MKV %.2f s: %.2fx (aim: at most 2x)\n", c, d, c / d
  printf "    Firefox %.2f s: %.2fx (aim: at most 3x)\n", g, g / d
  printf "(c) the browser memory while fitting, over the loaded page: a 199-megapixel JPEG +%d MB (aim: at most +400 MB), twelve 12-megapixel photos +%d MB (aim: at most +300 MB)\n", large, twelve
  printf "(d) the maker files (page, style, scripts, module) gzipped: %.0f KB (aim: at most 400 KB); the HEIF module %.0f KB (aim: at most 700 KB)\n", gz / 1024, heif_gz / 1024
}'
