#!/usr/bin/env bash
# Runs one scenario of maker_test.mjs, or skips it (status 77) saying what is missing.
#   maker_test.sh pictures|set_plays|fit_quality|heic|hostile|music_refused|no_webcodecs|offline|phone
# Environment: SITE (the built site), NATIVE_CAPTURE, NATIVE_IMPORT (the native tools), WEB_BROWSER
# (chromium or firefox; browser.mjs skips when it is missing).
set -euo pipefail
skip() { echo "SKIPPED: $*"; exit 77; }

scenario=${1:?usage: maker_test.sh SCENARIO}
command -v node >/dev/null || skip "node is not installed"
[ -n "${SITE:-}" ] && [ -f "$SITE/maker.html" ] || skip "no built site with the maker at '${SITE:-}' (scripts/web builds it)"
for tool in convert identify unzip; do
  command -v $tool >/dev/null || skip "$tool is not installed (the tests make and read pictures and zips with it)"
done
case $scenario in
  set_plays|offline)
    [ -n "${NATIVE_CAPTURE:-}" ] && [ -x "$NATIVE_CAPTURE" ] ||
      skip "no native capture tool at '${NATIVE_CAPTURE:-}' (the native build makes it)" ;;&
  offline)
    command -v ffmpeg >/dev/null || skip "ffmpeg is not installed (it makes the music)" ;;
  heic)
    command -v heif-enc >/dev/null || skip "heif-enc is not installed (libheif-examples: it codes the HEIC pictures)" ;;&
  fit_quality|heic)
    [ -n "${NATIVE_IMPORT:-}" ] && [ -x "$NATIVE_IMPORT" ] ||
      skip "no native import tool at '${NATIVE_IMPORT:-}' (the native build makes it)" ;;
esac
exec node "$(dirname "$0")/maker_test.mjs" "$scenario"
