# The Windows build's end-to-end scenarios: the same private X server and helpers as the native
# ones, with the show started under Wine. The environment gives WINDOWS_BIN (the cross-built
# programs), VELMORASTIK_BIN (the native build's programs, for frame_match), E2E_DATA (a data set
# made by the native generator) and WINEPREFIX (a prefix of the scenarios' own, made on first use).
. "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

for tool in wine wineserver; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps adds it)"
done
[ -x "$VELMORASTIK_BIN/frame_match" ] || skip "no native frame_match in $VELMORASTIK_BIN (build the native tree first)"
. "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/lib/wine-env.sh"

# Wine's own processes (its server, the desktop's explorer) outlive the show; they are ended with
# the scenario, on this prefix alone, so that the next one starts them on its own X server.
windows_cleanup() {
  [ -n "$show_pid" ] && kill -9 "$show_pid" 2>/dev/null || true
  show_pid=""
  wineserver -k >/dev/null 2>&1 || true
  cleanup
}
trap windows_cleanup EXIT

# The prefix is made once (tens of seconds) and set to draw DirectDraw through GDI: the default
# OpenGL renderer costs a whole core on a virtual X server.
prepare_prefix() {
  if [ ! -f "$WINEPREFIX/.velmorastik-ready" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || fail "wineboot could not make the prefix $WINEPREFIX"
    wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /d gdi /f >/dev/null 2>&1 ||
      fail "cannot set the DirectDraw renderer in $WINEPREFIX"
    wineserver -w
    touch "$WINEPREFIX/.velmorastik-ready"
  fi
}

# Wine starts its desktop process with the first program on a new X server: windows take seconds.
k_first_window_seconds=40

# start_show ARGS...: the Windows show in $work under Wine. Wine hands the arguments on as the
# program's command line.
start_show() {
  (cd "$work" && exec wine "$WINDOWS_BIN/velmorastik.exe" "$@" >"$work/out.log" 2>"$work/err.log") &
  show_pid=$!
}

# box_gone NAME: the message box named NAME disappears within two seconds.
box_gone() {
  for _ in $(seq 40); do
    window_listed "$1" || return 0
    sleep 0.05
  done
  fail "the box '$1' is still there"
}
