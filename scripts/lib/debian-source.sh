# Fetching and unpacking Debian's own source packages, pinned, for the libraries the cross builds
# make themselves. Sourced by scripts/lib/cross-deps.sh, whose callers set `work` (a scratch
# folder) and define say and fail first.
#   debian_sources PACKAGE=VERSION...   finds where the archive keeps their .dsc files
#   unpack PACKAGE VERSION DSC_SHA256   fetches and unpacks one of them; prints its source folder
# apt runs with a sources list and a state of this file's own, made from the machine's own archive
# address, so that the system's apt lists are left as they are.

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

apt_options=()

# Reads the archive's source index and writes, for PACKAGE=VERSION..., the address of each
# package's .dsc in $work/dsc-uris (apt-get source's own lines: 'URI' NAME SIZE HASH).
debian_sources() {
  local uri
  uri=$(archive_uri | head -n 1)
  [ -n "$uri" ] || fail "no bookworm archive in /etc/apt/sources.list or /etc/apt/sources.list.d/"
  mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src"
  echo "deb-src $uri bookworm main" >"$work/apt/sources.list"
  apt_options=(
    -o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt/cache"
    -o APT::Sandbox::User="$(id -un)" -qq
  )
  say "fetching $*"
  apt-get "${apt_options[@]}" update
  apt-get "${apt_options[@]}" source --print-uris "$@" | grep "\.dsc' " >"$work/dsc-uris" ||
    fail "the archive has no source package $*"
}

# fetch URI FILE SHA256: FILE from URI through apt, which refuses it unless its SHA-256 is the one
# given. Status 2 when the archive has no such file, 1 on any other failure; apt's words in FILE.log.
fetch() {
  /usr/lib/apt/apt-helper "${apt_options[@]}" download-file "$1" "$2" "SHA256:$3" >"$2.log" 2>&1 && return 0
  grep -q " 404 " "$2.log" && return 2
  return 1
}

# Fetches the .dsc of PACKAGE, checked against DIGEST, and then each file it lists, each checked
# against the .dsc; unpacks them with dpkg-source, which applies Debian's patches. Prints the
# source folder.
unpack() {
  local package=$1 version=${2#*:} digest=$3
  local name="${package}_${version}.dsc" uri
  uri=$(awk -v name="$name" '$2 == name { gsub("\047", "", $1); print $1 }' "$work/dsc-uris")
  [ -n "$uri" ] || fail "the archive has no $name"
  local dsc=$work/src/$name
  if ! fetch "$uri" "$dsc" "$digest"; then
    grep -q "Hash Sum mismatch" "$dsc.log" && fail "$name is not the pinned one: see $dsc.log"
    fail "could not fetch $name: see $dsc.log"
  fi
  # The signatures of upstream tarballs are not in every archive (this one's mpg123 has none):
  # without one, dpkg-source cannot check the set, and its checks are left to the fetches above,
  # which took every other file only with the .dsc's own SHA-256.
  local sum size file status check=()
  while read -r sum size file; do
    status=0
    fetch "${uri%/*}/$file" "$work/src/$file" "$sum" || status=$?
    case "$status:$file" in
      0:*) ;;
      2:*.asc) say "the archive has no $file, the upstream tarball's signature"; check=(--no-check) ;;
      *) fail "could not fetch $file, listed in $name: see $work/src/$file.log" ;;
    esac
  done < <(sed -n '/^Checksums-Sha256:/,/^[^ ]/{/^ /p}' "$dsc")
  local tree=$work/src/$package
  dpkg-source "${check[@]}" -x "$dsc" "$tree" >"$work/$package-unpack.log" 2>&1 ||
    fail "dpkg-source could not unpack $name: see $work/$package-unpack.log"
  echo "$tree"
}
