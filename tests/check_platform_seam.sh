#!/usr/bin/env bash
# Fails when a platform's headers appear outside that platform's folder: the portable subsystems,
# and the other platforms, reach the machine only through the headers of src/platform.
set -euo pipefail
src=$1
leaks=$(grep -rlE '#[[:space:]]*include[[:space:]]*[<"](SDL|X11/)' "$src" --include='*.h' --include='*.cpp' \
  | grep -v "^$src/platform/sdl/" || true)
if [ -n "$leaks" ]; then
  echo "SDL or X11 included outside src/platform/sdl:"
  echo "$leaks"
  exit 1
fi
echo "no SDL or X11 outside src/platform/sdl"
