#!/usr/bin/env bash
# Fails when code outside src/platform includes an SDL or X11 header: the portable subsystems reach the
# machine only through the headers of src/platform.
set -euo pipefail
src=$1
leaks=$(grep -rlE '#[[:space:]]*include[[:space:]]*[<"](SDL|X11/)' "$src" --include='*.h' --include='*.cpp' \
  | grep -v "^$src/platform/" || true)
if [ -n "$leaks" ]; then
  echo "SDL or X11 included outside src/platform:"
  echo "$leaks"
  exit 1
fi
echo "no SDL outside src/platform"
