# The one way the cross builds make their libraries: pinned sources (scripts/lib/pins) fetched,
# checked and unpacked, each built by the calling script's own step, installed under $deps, and a
# stamp written so that a later run with the same pins and recipe does nothing. Sourced by
# scripts/windows-deps and scripts/web-deps, which set `root`, `deps` and `work` and define say
# and fail first.
#   cross_deps STAMP_WORDS PACKAGE...   builds PACKAGE... through build_PACKAGE TREE (dashes as
#                                       underscores) unless $deps/stamp already says
#                                       "PACKAGE VERSION... STAMP_WORDS"; leaves in
#                                       $deps/notices/PACKAGE/ its version, Debian's copyright
#                                       file and the files under $deps/lib and $deps/bin it made,
#                                       from which the release's notices are written
#   jpeg_static TREE LAUNCHER OPTION... libjpeg-turbo's static library and headers into $deps,
#                                       configured by `LAUNCHER cmake` with OPTION... added

. "$root/scripts/lib/debian-source.sh"

# pinned PACKAGE: prints "VERSION DSC_SHA256" from the pins file, or fails.
pinned() {
  local package version digest
  while read -r package version digest; do
    case "$package" in ''|'#'*) continue ;; esac
    [ "$package" = "$1" ] && { echo "$version $digest"; return 0; }
  done <"$root/scripts/lib/pins"
  fail "$1 is not pinned in scripts/lib/pins"
}

cross_deps() {
  local words=$1; shift
  local package pin stamp_text="" sources=()
  declare -A version digest
  for package in "$@"; do
    pin=$(pinned "$package")
    version[$package]=${pin% *}
    digest[$package]=${pin#* }
    stamp_text+="$package ${version[$package]} "
    sources+=("$package=${version[$package]}")
  done
  # The same words as the scripts wrote before they shared this, so that their caches still hold.
  stamp_text+=$words
  if [ -f "$deps/stamp" ] && [ "$(cat "$deps/stamp")" = "$stamp_text" ]; then
    return 0
  fi
  rm -rf "$work" "$deps"
  debian_sources "${sources[@]}"
  local tree
  for package in "$@"; do
    tree=$(unpack "$package" "${version[$package]}" "${digest[$package]}")
    say "building $package"
    local before
    before=$(deps_files)
    "build_${package//-/_}" "$tree"
    mkdir -p "$deps/notices/$package"
    echo "${version[$package]}" >"$deps/notices/$package/version"
    cp "$tree/debian/copyright" "$deps/notices/$package/copyright"
    comm -13 <(echo "$before") <(deps_files) >"$deps/notices/$package/files"
  done
  echo "$stamp_text" >"$deps/stamp"
  rm -rf "$work"
  say "done: $deps"
}

# The libraries and DLLs installed so far, one path under $deps a line, sorted.
deps_files() {
  [ -d "$deps" ] || return 0
  (cd "$deps" && { find lib bin -type f 2>/dev/null || true; } | LC_ALL=C sort)
}

jpeg_static() {
  local tree=$1 launcher=$2; shift 2
  "$launcher" cmake -S "$tree" -B "$work/jpeg-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$deps" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_JAVA=OFF -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF -Wno-dev "$@" \
    >"$work/jpeg-configure.log" 2>&1 || fail "libjpeg-turbo's configuration failed: see $work/jpeg-configure.log"
  cmake --build "$work/jpeg-build" -j "$(nproc)" --target jpeg-static >"$work/jpeg-build.log" ||
    fail "libjpeg-turbo's build failed: see $work/jpeg-build.log"
  # Only the library and its headers: the programs are of no use here.
  mkdir -p "$deps/lib" "$deps/include"
  cp "$work/jpeg-build/libjpeg.a" "$deps/lib/"
  cp "$work/jpeg-build/jconfig.h" "$tree/jpeglib.h" "$tree/jmorecfg.h" "$tree/jerror.h" "$deps/include/"
}
