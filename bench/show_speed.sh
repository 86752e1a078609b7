#!/usr/bin/env bash
# The whole show rendered headless at 60 fps into /dev/null by the capture tool, against the plain
# reference renderer (tests/oracle/) on the same generated data set, taking turns in the same
# run: the median of RUNS (default 5) wall-clock and CPU (user + system) times each, and the
# capture's as a ratio of the reference's. The reference's digest of the whole show is checked
# against the recorded one first, so that the yardstick renders the same show.
#   bench/show_speed.sh [BUILD_DIR] [RUNS]
# OTHER_CAPTURE=path times another capture tool in the same turns, to compare two builds.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
bin=$(realpath "${1:-build}/bin")
runs=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/velmorastik-demo-data" "$work" >/dev/null

recorded="digest: ab4e98ba8edc8305 frames: 7067"
got=$("$bin/velmorastik-reference-show" "$work" 60 | tail -n 2 | tr '\n' ' ' | sed 's/ $//')
if [ "$got" != "$recorded" ]; then
  echo "show_speed: the reference renders another show: $got, recorded $recorded" >&2
  exit 1
fi

declare -A programs=(
  [capture]="$bin/velmorastik-capture -C $work --fps 60 --raw /dev/null"
  [reference]="$bin/velmorastik-reference-show $work 60 /dev/null"
  [reference-scalar]="$bin/velmorastik-reference-show-scalar $work 60 /dev/null"
)
order=(reference reference-scalar capture)
if [ -n "${OTHER_CAPTURE:-}" ]; then
  programs[other]="$OTHER_CAPTURE -C $work --fps 60 --raw /dev/null"
  order+=(other)
fi

# One line per run and program: name, wall seconds, CPU seconds.
for _ in $(seq "$runs"); do
  for name in "${order[@]}"; do
    /usr/bin/time -f "$name %e %U %S" -a -o "$work/times" ${programs[$name]} >/dev/null 2>&1
  done
done

median_of() {  # program, column (2 wall, 3 cpu)
  awk -v name="$1" -v column="$2" '$1 == name { print column == 2 ? $2 : $3 + $4 }' "$work/times" | median
}

printf "%-18s %9s %9s   %-22s %s\n" "median of $runs" "wall s" "cpu s" "vs reference" "vs reference-scalar"
for name in "${order[@]}"; do
  wall=$(median_of "$name" 2)
  cpu=$(median_of "$name" 3)
  awk -v n="$name" -v w="$wall" -v c="$cpu" -v r="$(median_of reference 2)" -v s="$(median_of reference-scalar 2)" \
    -v rc="$(median_of reference 3)" -v sc="$(median_of reference-scalar 3)" \
    'BEGIN { printf "%-18s %9.2f %9.2f %7.3fx (cpu %5.3fx) %6.3fx (cpu %5.3fx)\n", n, w, c, w / r, c / rc, w / s, c / sc }'
done
