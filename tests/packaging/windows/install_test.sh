#!/usr/bin/env bash
# The Windows installer as a user meets it, silently, under Wine in a prefix of its own:
#   install_test.sh prefix      makes that prefix afresh (the fixture; tens of seconds), noting the
#                               user's menu folders first
#   install_test.sh nothing     a 32-bit build of the installer, which this 64-bit Wine runs and
#                               ends with status 0 having installed nothing: the checks must fail
#   install_test.sh install     installs: every file of the release in place, byte for byte, the
#                               Start-menu shortcuts, the "Apps" entry; the installed show starts
#                               with its DLL, and the installed capture gives the whole show's digest
#   install_test.sh uninstall   uninstalls: nothing of ours is left, and what the user added stays
#   install_test.sh menus       the user's own menu folders are as the prefix step found them
#   install_test.sh remove      ends the prefix's programs and removes it (the fixture's end)
# The environment gives WINEPREFIX, SETUP (the installer), INSTALLER_NSI and INSTALLER_CONFIG (to
# make the 32-bit one), RELEASE (the zip's folder, what must be installed), DIGEST_TEST (the whole
# show's digest test, built to run the velmorastik-capture.exe of the folder it starts in),
# VERSION and PYTHON (one with pefile).
set -euo pipefail

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in wine wineserver makensis; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps adds it)"
done
. "$(dirname "$0")/../../../scripts/lib/wine-env.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

user_dir="$WINEPREFIX/drive_c/users/$(id -un)"
install_dir="$user_dir/AppData/Local/Programs/velmorastik"
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
      DisplayIcon) want='C:\users\'"$(id -un)"'\AppData\Local\Programs\velmorastik\velmorastik.exe,0' ;;
      UninstallString) want='"C:\users\'"$(id -un)"'\AppData\Local\Programs\velmorastik\uninstall.exe"' ;;
      QuietUninstallString) want='"C:\users\'"$(id -un)"'\AppData\Local\Programs\velmorastik\uninstall.exe" /S' ;;
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
  echo "usage: install_test.sh prefix|nothing|install|uninstall|menus|remove" >&2
  exit 64
  ;;
esac
echo "PASS: ${1}"
