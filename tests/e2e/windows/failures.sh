#!/usr/bin/env bash
# The Windows show's fatal ends under Wine: each shows its box, and the process ends with status 2
# once the box is dismissed.
. "$(dirname "$0")/lib.sh"
use_data

# A 16-bit desktop cannot take the window's 32-bit frames.
start_x 1024x768x16
prepare_prefix
start_show -w
dismiss_box Error "$k_first_window_seconds"
wait_exit 5 2
grep -q '32bpp desktop please ;) Error' "$work/err.log" || fail "stderr lacks the box's text: $(cat "$work/err.log")"
wineserver -k >/dev/null 2>&1 || true
kill "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null || true

# A missing picture: the box names it.
start_x 1024x768x24
rm "$work/data/gfx/misc/tzback.jpg"
start_show -w
box=data/gfx/misc/tzback.jpg
dismiss_box "$box" "$k_first_window_seconds"
wait_exit 5 2
grep -q "ERROR LOCATING... $box" "$work/err.log" || fail "stderr lacks the box's text: $(cat "$work/err.log")"
echo "Windows fatal ends: the 16-bit desktop's box and the missing picture's box, status 2"
