#!/usr/bin/env bash
# The Windows installer and uninstaller as a user meets them, silently (the uninstaller's refusal
# also with its box), under Wine in a prefix of its own:
#   install_test.sh prefix      makes that prefix afresh (the fixture; tens of seconds), noting the
#                               user's menu folders first
#   install_test.sh nothing     a 32-bit build of the installer, which this 64-bit Wine runs and
#                               ends with status 0 having installed nothing: the checks must fail
#   install_test.sh install     installs: every file of the release in place, byte for byte, the
#                               Start-menu shortcuts, the "Apps" entry; the installed show starts
#                               with its DLL, and the installed capture gives the whole show's digest
#   install_test.sh in_use      with the installed show running, the uninstaller, silent or not,
#                               removes nothing, says so and ends with a status other than 0
#   install_test.sh uninstall   uninstalls: nothing of ours is left, and what the user added stays
#   install_test.sh reinstall   a second install goes to the folder the first one was given
#   install_test.sh menus       the user's own menu folders are as the prefix step found them
#   install_test.sh remove      ends the prefix's programs and removes it (the fixture's end)
# The environment gives WINEPREFIX, SETUP (the installer), INSTALLER_NSI and INSTALLER_CONFIG (to
# make the 32-bit one), RELEASE (the zip's folder, what must be installed), DIGEST_TEST (the whole
# show's digest test, built to run the velmorastik-capture.exe of the folder it starts in),
# VERSION and PYTHON (one with pefile).
# The X server, the show's window and the clean-up of $work come from the end-to-end tests' helpers.
. "$(dirname "$0")/../../e2e/lib.sh"
. "$(dirname "$0")/../../../scripts/lib/wine-env.sh"

for tool in wine wineserver makensis; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps adds it)"
done

user_dir="$WINEPREFIX/drive_c/users/$(id -un)"
# The default install folder, and as Windows names it.
install_dir="$user_dir/AppData/Local/Programs/velmorastik"
install_path='C:\users\'"$(id -un)"'\AppData\Local\Programs\velmorastik'
menu_dir="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/velmorastik"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\velmorastik'
shortcuts=("velmorastik.lnk" "velmorastik in a window.lnk")

# run_setup PROGRAM ARGS...: runs it and waits for every program it started (an uninstaller runs
# a copy of itself from the temporary folder and returns at once).
run_setup() {
  local status=0
  wine "$@" >"$work/setup.log" 2>&1 || status=$?
  wineserver -w
  echo "$status"
}

# The processes of this prefix's Windows programs and Wine's own, by id, one a line.
prefix_programs() {
  local environ pid
  for environ in $(grep -lsxzF "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/environ); do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    case $(readlink "/proc/$pid/exe") in */wine*) echo "$pid" ;; esac
  done | sort
}

# run_beside PROGRAM ARGS...: as run_setup, while other programs run on in the prefix: waits for
# the programs that were not running before it.
run_beside() {
  local status=0 before
  before=$(prefix_programs)
  wine "$@" >"$work/setup.log" 2>&1 || status=$?
  for _ in $(seq 600); do
    [ -z "$(comm -13 <(echo "$before") <(prefix_programs))" ] && break
    sleep 0.1
  done
  echo "$status"
}

# What Wine's menu builder would change of the user's own menus, under the Unix home whatever the
# prefix: every entry of its folders with its kind, size and time, or that a folder is missing.
user_menus() {
  local data=${XDG_DATA_HOME:-$HOME/.local/share} config=${XDG_CONFIG_HOME:-$HOME/.config} folder
  for folder in "$data/applications" "$data/desktop-directories" "$data/icons" "$data/mime" "$config/menus"; do
    if [ -e "$folder" ]; then
      find "$folder" -printf '%y %s %T@ %p\n' | sort -k4
    else
      echo "missing $folder"
    fi
  done
}

# The value of NAME in the uninstall key as install_faults read it, or nothing.
key_value() {
  awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }' "$work/key.txt"
}

# Prints what is missing or wrong of an install, one line each; prints nothing when it is whole.
install_faults() {
  local file
  while IFS= read -r file; do
    if [ ! -f "$install_dir/$file" ]; then
      echo "$file is not installed"
    elif ! cmp -s "$RELEASE/$file" "$install_dir/$file"; then
      echo "$file is installed, but not the release's"
    fi
  done < <(cd "$RELEASE" && find . -type f | sed 's|^\./||' | sort)
  [ -f "$install_dir/uninstall.exe" ] || echo "no uninstall.exe"
  for file in "${shortcuts[@]}"; do
    [ -f "$menu_dir/$file" ] || echo "no Start-menu shortcut $file"
  done
  local name want
  # Read once: each reg run is a Wine program's start.
  wine reg query "$key" 2>/dev/null | tr -d '\r' >"$work/key.txt" || true
  for name in DisplayName DisplayVersion Publisher DisplayIcon UninstallString QuietUninstallString; do
    case $name in
      DisplayName) want=velmorastik ;;
      DisplayVersion) want=$VERSION ;;
      Publisher) want="the velmorastik maintainers" ;;
      DisplayIcon) want="$install_path\velmorastik.exe,0" ;;
      UninstallString) want="\"$install_path\uninstall.exe\"" ;;
      QuietUninstallString) want="\"$install_path\uninstall.exe\" /S" ;;
    esac
    [ "$(key_value $name)" = "$want" ] || echo "$key $name: expected '$want', got '$(key_value $name)'"
  done
  # In KiB: the release's files, some five megabytes.
  local size
  size=$(key_value EstimatedSize)
  case "$size" in
    0x*) [ $((size)) -gt 1000 ] || echo "$key EstimatedSize: expected over 1000 KiB, got $((size))" ;;
    *) echo "$key EstimatedSize: expected a number, got '$size'" ;;
  esac
}

case "${1:-}" in
prefix)
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  user_menus >"$WINEPREFIX/.user-menus"
  wineboot -i >/dev/null 2>&1 || fail "wineboot could not make the prefix $WINEPREFIX"
  wineserver -w
  ;;

nothing)
  [ ! -e "$install_dir" ] || fail "$install_dir is there before any install"
  # Packed quickly: it is never installed.
  makensis -V1 -NOCD -DCONFIG="$INSTALLER_CONFIG" -DTARGET=x86-unicode -DCOMPRESSOR=zlib -DOUT="$work/setup-32.exe" "$INSTALLER_NSI" >"$work/makensis.log" 2>&1 ||
    fail "makensis could not make the 32-bit installer: $(cat "$work/makensis.log")"
  status=$(run_setup "$work/setup-32.exe" /S)
  echo "the 32-bit installer ended with status $status"
  faults=$(install_faults)
  [ -n "$faults" ] || fail "nothing can have been installed, yet the checks found the install whole"
  echo "$faults" | grep -q "velmorastik.exe is not installed" || fail "the checks did not see velmorastik.exe missing: $faults"
  rm -rf "$install_dir" "$menu_dir"
  wine reg delete "$key" /f >/dev/null 2>&1 || true
  ;;

install)
  status=$(run_setup "$SETUP" /S)
  faults=$(install_faults)
  [ -z "$faults" ] || fail "after the installer (status $status): $faults"
  [ "$status" = 0 ] || fail "the installer installed everything but ended with status $status"
  sides=$("$PYTHON" "$(dirname "$0")/pe_resources.py" icon-sides "$install_dir/uninstall.exe")
  [ "$sides" = "16 32 48 256" ] || fail "the uninstaller's icon: expected sides 16 32 48 256, got '$sides'"

  # The show finds its DLL beside it (the Windows loader ends it before main otherwise).
  wine "$install_dir/velmorastik.exe" --version >"$work/version.log" 2>&1 ||
    fail "the installed velmorastik.exe --version failed: $(cat "$work/version.log")"
  # The installed capture, started in the install folder (where cmd, which runs the test's
  # command, finds it first) and playing the installed data set, gives the whole show's digest.
  mkdir "$work/sets"
  ln -s "$install_dir" "$work/sets/first"
  (cd "$install_dir" && VELMORASTIK_DEMO_DATA_SETS=$(winepath -w "$work/sets") wine "$DIGEST_TEST") \
    >"$work/digest.log" 2>&1 || fail "the installed capture's whole show: $(tail -n 20 "$work/digest.log")"
  grep -q '^\[  PASSED  \] 1 test' "$work/digest.log" || fail "the digest test ran no test: $(cat "$work/digest.log")"
  ;;

uninstall)
  [ -f "$install_dir/uninstall.exe" ] || fail "nothing installed to uninstall"
  # The user's own files beside ours, one in a folder of ours.
  echo "mine" >"$install_dir/notes.txt"
  echo "mine" >"$install_dir/data/my-picture.jpg"
  status=$(run_setup "$install_dir/uninstall.exe" /S)
  [ "$status" = 0 ] || fail "the uninstaller ended with status $status"
  left=$(cd "$install_dir" && find . | sort | tr '\n' ' ')
  [ "$left" = ". ./data ./data/my-picture.jpg ./notes.txt " ] ||
    fail "the install folder should hold the user's two files alone, holds: $left"
  [ "$(cat "$install_dir/notes.txt")" = mine ] || fail "the user's notes.txt was changed"
  [ ! -e "$menu_dir" ] || fail "the Start-menu folder is left: $(ls "$menu_dir")"
  if wine reg query "$key" >/dev/null 2>&1; then
    fail "the uninstall key $key is left"
  fi
  ;;

in_use)
  [ -f "$install_dir/uninstall.exe" ] || fail "nothing installed to uninstall"
  # The installed show running in a window holds its .exe and the DLL.
  start_x 1024x768x24
  # Wine's desktop process starts with the server, on the X server of that moment: both anew.
  wineserver -w
  (cd "$install_dir" && exec wine ./velmorastik.exe -w >"$work/err.log" 2>&1) &
  show_pid=$!
  wait_window BWAHAHHAHAHAHAHHAHAHAHAHAH 40 >/dev/null
  status=$(run_beside "$install_dir/uninstall.exe" /S)
  faults=$(install_faults)
  [ -z "$faults" ] || fail "the silent uninstaller (status $status), the show running, removed: $faults"
  [ "$status" != 0 ] || fail "the silent uninstaller removed nothing, the show running, yet ended with status 0"
  # Not silent: a box says so, and once it is dismissed the uninstaller ends as silently.
  wine "$install_dir/uninstall.exe" >"$work/box.log" 2>&1 &
  uninstaller_pid=$!
  dismiss_box "velmorastik $VERSION uninstall" 40
  for _ in $(seq 200); do kill -0 "$uninstaller_pid" 2>/dev/null || break; sleep 0.05; done
  ! kill -0 "$uninstaller_pid" 2>/dev/null || fail "the uninstaller still runs after its box was dismissed"
  status=0
  wait "$uninstaller_pid" || status=$?
  faults=$(install_faults)
  [ -z "$faults" ] || fail "the uninstaller (status $status), the show running, removed after its box: $faults"
  [ "$status" != 0 ] || fail "the uninstaller removed nothing, the show running, yet ended with status 0 after its box"
  kill -0 "$show_pid" 2>/dev/null || fail "the show ended meanwhile: $(cat "$work/err.log")"
  wineserver -k
  ;;

reinstall)
  [ ! -e "$install_dir/velmorastik.exe" ] || fail "the default folder holds an install already"
  # Installed elsewhere once, then again without a folder: the second goes where the first went,
  # and replaces a file the user changed there.
  first_dir="$user_dir/Games/velmorastik"
  first_path='C:\users\'"$(id -un)"'\Games\velmorastik'
  status=$(run_setup "$SETUP" /S "/D=$first_path")
  [ "$status" = 0 ] && [ -f "$first_dir/README.txt" ] || fail "the install into $first_path (status $status)"
  echo "changed by the user" >"$first_dir/README.txt"
  status=$(run_setup "$SETUP" /S)
  [ ! -e "$install_dir/velmorastik.exe" ] || fail "the second install went to the default folder, not the first one's"
  install_dir=$first_dir install_path=$first_path
  faults=$(install_faults)
  [ -z "$faults" ] || fail "after the second install (status $status), in the first one's folder: $faults"
  status=$(run_setup "$install_dir/uninstall.exe" /S)
  [ "$status" = 0 ] && [ ! -e "$install_dir" ] || fail "the uninstaller (status $status) left $(ls -A "$install_dir")"
  ;;

menus)
  [ -f "$WINEPREFIX/.user-menus" ] || fail "no note of the user's menus from the prefix step"
  user_menus >"$work/user-menus"
  changes=$(diff "$WINEPREFIX/.user-menus" "$work/user-menus") ||
    fail "the user's menu folders changed while Wine ran the installer and uninstaller: $changes"
  ;;

remove)
  [ -d "$WINEPREFIX" ] && wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  ;;

*)
  echo "usage: install_test.sh prefix|nothing|install|in_use|uninstall|reinstall|menus|remove" >&2
  exit 64
  ;;
esac
echo "PASS: ${1}"
