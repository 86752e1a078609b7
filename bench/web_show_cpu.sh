#!/usr/bin/env bash
# The live web show's CPU cost in headless Chromium (all of its processes), per frame drawn, over
# 20 s after 2 s of start-up; three runs.
#   bench/web_show_cpu.sh [SITE_DIR]     (default: build-web/site)
set -euo pipefail
cd "$(dirname "$0")/.."
site=${1:-build-web/site}
[ -f "$site/index.html" ] || { echo "no site at $site (scripts/web builds it)" >&2; exit 2; }
command -v node >/dev/null || { echo "node is not installed" >&2; exit 2; }
[ -x "${CHROMIUM:-/usr/bin/chromium}" ] || { echo "no Chromium at ${CHROMIUM:-/usr/bin/chromium}" >&2; exit 2; }
for run in 1 2 3; do
  echo "run $run:"
  node bench/web_show_cpu.mjs "$site"
done
