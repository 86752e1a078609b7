#!/usr/bin/env bash
# The Win32 platform's own tests, which need a desktop: under Wine on a private X server.
. "$(dirname "$0")/lib.sh"
start_x 1024x768x24
prepare_prefix
program="$WINDOWS_BIN/velmorastik-win32-platform-tests.exe"
[ -f "$program" ] || fail "no $program"
wine "$program" --gtest_brief=1 || fail "the Win32 platform's tests failed"
