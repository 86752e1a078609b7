#!/bin/sh
# Makes the data sets the tests read, once per test run: two runs of the generator, to compare.
#   make_sets.sh GENERATOR OUT   writes OUT/first/data (its output in OUT/first.log) and OUT/second/data
set -eu
generator=$1
out=$2
rm -rf "$out"
mkdir -p "$out/first" "$out/second"
"$generator" "$out/second" >/dev/null 2>&1 &
second=$!
status=0
"$generator" "$out/first" >"$out/first.log" 2>&1 || status=$?
wait "$second" || status=$?
exit "$status"
