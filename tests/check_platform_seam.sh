#!/usr/bin/env bash
# Fails when a platform's headers appear outside that platform's folder: the portable subsystems,
# and the other platforms, reach the machine only through the headers of src/platform. The tools
# beside the show count as portable code too. Also fails when src/fx reaches above itself, when the
# platform's headers reach up into a subsystem, and when the show reaches into the tools beside it.
set -euo pipefail
root=$1
src=$root/src
status=0

# leaks NAME FOLDER PATTERN: files outside src/platform/FOLDER that include a header PATTERN matches.
leaks() {
  local name=$1 folder=$2 pattern=$3 found
  found=$(grep -rliE "#[[:space:]]*include[[:space:]]*[<\"]($pattern)" "$src" "$root/tools" --include='*.h' --include='*.cpp' \
    | grep -v "^$src/platform/$folder/" || true)
  if [ -n "$found" ]; then
    echo "$name headers included outside src/platform/$folder:"
    echo "$found"
    status=1
  else
    echo "no $name headers outside src/platform/$folder"
  fi
}

leaks "SDL or X11" sdl 'SDL|X11/'
# The Windows SDK's own headers, and the C runtime's Windows-only ones.
leaks Windows win32 '(windows|winbase|winuser|wingdi|winnt|windef|ddraw|d3d[0-9a-z]*|mmsystem|mmreg|mmeapi|objbase|unknwn|shellapi|shlobj|winsock2?|io|direct|process|conio)\.h[>"]'
# The maker's module names its exports at its link (-sEXPORTED_FUNCTIONS), not in its sources.
leaks "Emscripten or browser" web '(emscripten|emscripten/[a-z_/]*)\.h[>"]'
# The POSIX implementation's own headers: everything else reaches it through src/platform's.
leaks "POSIX implementation" posix 'platform/posix/'

# The frames and the effect are below everything else: a file of src/fx includes only fx/ headers
# of the project (and the system's), never show/, app/, display/, image/, audio/ or platform/.
found=$(grep -rnE '#[[:space:]]*include[[:space:]]*"' "$src/fx" | grep -vE '#[[:space:]]*include[[:space:]]*"fx/' || true)
if [ -n "$found" ]; then
  echo "src/fx includes headers from above it:"
  echo "$found"
  status=1
else
  echo "src/fx includes only fx/ headers"
fi
# The seam's own interface stands on nothing above it: no header of src/platform (nor of a
# platform's folder) includes a header of the subsystems that call through it. The frame (fx/) is
# below everything, as its own rule above says, so a platform may name its size. A platform's
# implementation may use portable code (its entry calls the show, the virtual clock is shared).
found=$(grep -rnE '#[[:space:]]*include[[:space:]]*"(show|display|image|audio|app)/' "$src/platform" --include='*.h' || true)
if [ -n "$found" ]; then
  echo "headers of src/platform include the subsystems above them:"
  echo "$found"
  status=1
else
  echo "headers of src/platform include no subsystem's"
fi
# The show stands on nothing of the tools': no file of src includes a header that lives in tools/,
# which the tools name bare ("jpeg_writer.h"), where src names its own by folder ("image/...").
tool_headers=$(find "$root/tools" -name '*.h' -printf '%f\n' | sort -u | sed 's/\./\\./g' | paste -sd'|')
found=$(grep -rnE "#[[:space:]]*include[[:space:]]*\"($tool_headers)\"" "$src" || true)
if [ -n "$found" ]; then
  echo "src includes headers of tools/:"
  echo "$found"
  status=1
else
  echo "src includes no header of tools/"
fi
exit $status
