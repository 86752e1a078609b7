# Fetching Debian's own source packages, pinned, for the libraries the cross builds make
# themselves. Sourced by scripts/lib/cross-deps.sh, whose callers set `work` (a scratch
# folder) and define say and fail first.
#   debian_sources PACKAGE=VERSION...   fetches the .dsc files and tarballs into $work/src
#   unpack PACKAGE VERSION DSC_SHA256   checks and unpacks one of them; prints its source folder
# apt-get source runs with a sources list and a state of this file's own, made from the machine's
# own archive address, so the system's apt lists are left as they are.

# The archive this machine already uses for bookworm (a one-line list or a deb822 file).
archive_uri() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '/^[[:space:]]*$/ { uri = "" }
         /^URIs:/ { uri = $2 }
         /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == "bookworm" && uri != "") { print uri; exit } }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i !~ /\]$/) break;
                       if ($(i + 1) == "bookworm") { print $i; exit } }' "$f"
  done
}

# Fetches the .dsc files and tarballs of PACKAGE=VERSION... into $work/src.
debian_sources() {
  local uri
  uri=$(archive_uri | head -n 1)
  [ -n "$uri" ] || fail "no bookworm archive in /etc/apt/sources.list or /etc/apt/sources.list.d/"
  mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src"
  echo "deb-src $uri bookworm main" >"$work/apt/sources.list"
  local apt_options=(
    -o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt/cache"
    -o APT::Sandbox::User="$(id -un)" -qq
  )
  say "fetching $*"
  apt-get "${apt_options[@]}" update
  # apt-get source fails on mpg123 because the archive lacks the upstream tarball's signature; the
  # .dsc and the tarballs arrive, and unpack checks them against the pinned .dsc instead.
  (cd "$work/src" && apt-get "${apt_options[@]}" source --download-only "$@" >/dev/null 2>&1) || true
}

# Checks the .dsc of PACKAGE against DIGEST and every file it lists that is here against the
# .dsc, then unpacks the upstream tarball and applies Debian's patches. Prints the source folder.
unpack() {
  local package=$1 version=${2#*:} digest=$3
  local dsc="$work/src/${package}_${version}.dsc"
  [ -f "$dsc" ] || fail "apt-get source did not fetch $dsc"
  echo "$digest  $dsc" | sha256sum --check --quiet - >&2 || fail "$dsc is not the pinned one"
  local sum size name orig="" debian=""
  while read -r sum size name; do
    case "$name" in
      *.asc) continue ;;
      *.orig.tar.*) orig=$name ;;
      *.debian.tar.*) debian=$name ;;
    esac
    [ -f "$work/src/$name" ] || fail "apt-get source did not fetch $name"
    echo "$sum  $work/src/$name" | sha256sum --check --quiet - >&2 || fail "$name does not match $dsc"
  done < <(sed -n '/^Checksums-Sha256:/,/^[^ ]/{/^ /p}' "$dsc")
  [ -n "$orig" ] && [ -n "$debian" ] || fail "$dsc names no upstream or Debian tarball"
  local tree="$work/src/$package"
  mkdir -p "$tree"
  tar -xf "$work/src/$orig" -C "$tree" --strip-components=1
  tar -xf "$work/src/$debian" -C "$tree"
  if [ -f "$tree/debian/patches/series" ]; then
    local patch
    while read -r patch _; do
      case "$patch" in ''|'#'*) continue ;; esac
      patch -d "$tree" -p1 --quiet --forward <"$tree/debian/patches/$patch" >&2 ||
        fail "Debian's $patch does not apply to $package"
    done <"$tree/debian/patches/series"
  fi
  echo "$tree"
}
