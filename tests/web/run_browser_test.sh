#!/usr/bin/env bash
# Runs one browser scenario of show_test.mjs, or skips it (status 77) saying what is missing.
#   run_browser_test.sh virtual_clock|canvas_readback|live|missing_picture|long_soundtrack|broken_soundtrack|
#                       no_sound_output|file_page|site_update
# Environment: SITE (the built site: index.html, script, .wasm, data/), NATIVE_CAPTURE (a native
# velmorastik-capture), NATIVE_DATA (the folder holding the data/ the site was built with),
# WEB_BROWSER (chromium or firefox; browser.mjs skips when it is missing).
set -euo pipefail
skip() { echo "SKIPPED: $*"; exit 77; }

scenario=${1:?usage: run_browser_test.sh SCENARIO}
command -v node >/dev/null || skip "node is not installed"
[ -n "${SITE:-}" ] && [ -f "$SITE/index.html" ] || skip "no built site at '${SITE:-}' (scripts/web builds it)"
case $scenario in
  virtual_clock|canvas_readback)
    [ -n "${NATIVE_CAPTURE:-}" ] && [ -x "$NATIVE_CAPTURE" ] ||
      skip "no native capture tool at '${NATIVE_CAPTURE:-}' (the native build makes it)"
    [ -n "${NATIVE_DATA:-}" ] && [ -d "$NATIVE_DATA/data" ] ||
      skip "no native data set at '${NATIVE_DATA:-}/data' (the native build makes it)"
    ;;
  long_soundtrack)
    command -v ffmpeg >/dev/null || skip "ffmpeg is not installed (it makes the long soundtrack)"
    ;;
esac
exec node "$(dirname "$0")/show_test.mjs" "$scenario"
