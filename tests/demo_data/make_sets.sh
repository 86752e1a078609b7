#!/bin/sh
# Makes the data sets the tests read, once per test run: two runs of the generator, to compare.
#   make_sets.sh GENERATOR OUT [DRAWN]   writes OUT/first/data (its output in OUT/first.log) and
#                                        OUT/second/data: a copy of DRAWN/data when given (a set the
#                                        build drew with the same generator), else a second run
set -eu
generator=$1
out=$2
rm -rf "$out"
mkdir -p "$out/first" "$out/second"
second=""
if [ $# -ge 3 ]; then
  cp -R "$3/data" "$out/second/data"
else
  "$generator" "$out/second" >/dev/null 2>&1 &
  second=$!
fi
status=0
"$generator" "$out/first" >"$out/first.log" 2>&1 || status=$?
[ -z "$second" ] || wait "$second" || status=$?
exit "$status"
