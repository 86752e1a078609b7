# Sourced by the measuring scripts.

# median [NUMBER...]: the median of the numbers given, or of those on standard input, one a line,
# when none are; the mean of the middle two for an even count.
median() {
  if (($#)); then printf '%s\n' "$@"; else cat; fi |
    sort -g | awk '{ v[NR] = $1 } END { if (NR) print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# wall_times RUNS COMMAND...: the wall time of each of RUNS runs, in seconds, one a line. A failing
# run ends the script with what it said.
wall_times() {
  local runs=$1 start end errors
  shift
  errors=$(mktemp)
  for _ in $(seq "$runs"); do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>"$errors" || { echo "failed: $*: $(cat "$errors")" >&2; rm -f "$errors"; exit 1; }
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { print e - s }'
  done
  rm -f "$errors"
}
