#!/usr/bin/env bash
# The Windows show started from a console, as from cmd, with no output of its own handed over:
# its version appears on that console and its status comes back (console_test.cpp). Wine draws
# its consoles on the X server, so the scenario has one of its own.
. "$(dirname "$0")/lib.sh"
start_x 1024x768x24
prepare_prefix
wine "$WINDOWS_BIN/velmorastik-console-test.exe" "$WINDOWS_BIN/velmorastik.exe" "$VERSION" >"$work/console.log" 2>&1 ||
  fail "$(cat "$work/console.log")"
cat "$work/console.log"
