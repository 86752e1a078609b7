#!/usr/bin/env bash
# scripts/test's summary on made-up stage results and a real CTest run's JUnit file: every stage
# with its verdict, the skipped tests with the reasons they gave, the failed ones by name, and a
# failing status exactly when a stage failed.
#   test_summary.sh SOURCE_DIR
set -euo pipefail
summary=$1/scripts/lib/test-summary
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A project whose tests pass, fail, skip in each way the build's tests do, and are disabled.
mkdir "$work/project"
cat >"$work/project/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.21)
project(stages NONE)
enable_testing()
add_test(NAME passes COMMAND sh -c "echo fine")
add_test(NAME fails COMMAND sh -c "echo broken; exit 1")
add_test(NAME skips_itself COMMAND sh -c "echo starting; echo 'SKIPPED: Xvfb <missing> & \"so\" on'; exit 77")
set_tests_properties(skips_itself PROPERTIES SKIP_RETURN_CODE 77)
add_test(NAME gtest_skip COMMAND sh -c "printf '[ RUN      ] A.B\\n/t.cpp:9: Skipped\\nthe case needs root\\n\\n[  SKIPPED ] A.B (0 ms)\\n'")
set_tests_properties(gtest_skip PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
add_test(NAME lacks_a_file COMMAND true)
set_tests_properties(lacks_a_file PROPERTIES REQUIRED_FILES /nonexistent/velmorastik)
add_test(NAME switched_off COMMAND true)
set_tests_properties(switched_off PROPERTIES DISABLED TRUE)
CMAKE
cmake -S "$work/project" -B "$work/build" >/dev/null
ctest --test-dir "$work/build" --output-junit "$work/junit.xml" >/dev/null 2>&1 || true
[ -f "$work/junit.xml" ] || fail "ctest wrote no JUnit file"

# summarize RESULTS: the summary's stderr in $work/out, its status in $status.
summarize() {
  status=0
  printf "$1" "$work/junit.xml" >"$work/results"
  "$summary" "$work/results" >"$work/stdout" 2>"$work/out" || status=$?
  [ ! -s "$work/stdout" ] || fail "the summary wrote to standard output: $(cat "$work/stdout")"
}
has() { grep -qxF -- "$1" "$work/out" || fail "no line '$1' in:"$'\n'"$(cat "$work/out")"; }

# A failed stage among others; a stage after it that was skipped for it; its CTest results.
summarize 'native build\tpassed\t\t\nnative tests\tfailed\tended with status 8\t%s\nWindows build\tskipped\tWine missing\t\nWindows tests\tskipped\tneeds the Windows build: Windows build skipped\t\n'
[ "$status" -eq 1 ] || fail "a failed stage: status $status, expected 1"
has "  passed   native build"
has "  failed   native tests: ended with status 8 (1 passed, 1 failed, 3 skipped, 1 disabled); failed: fails"
has "  skipped  Windows build: Wine missing"
has "  skipped  Windows tests: needs the Windows build: Windows build skipped"
has "test: 3 skipped tests:"
has "  native tests: skips_itself: Xvfb <missing> & \"so\" on"
has "  native tests: gtest_skip: the case needs root"
has "  native tests: lacks_a_file: Required Files Missing: Unable to find required file: /nonexistent/velmorastik"
has "test: FAILED: native tests"
if grep -q "passes:\|fails:\|switched_off:" "$work/out"; then fail "a test that ran is listed as skipped: $(cat "$work/out")"; fi
[ "$(grep -c '^  \(passed\|failed\|skipped\) ' "$work/out")" -eq 4 ] || fail "not one line per stage: $(cat "$work/out")"

# A stage's time, and the tests that ran listed by time; those skipped are not.
summarize 'native tests\tfailed\tended with status 8\t%s\t125\n'
has "  failed   native tests: ended with status 8 (1 passed, 1 failed, 3 skipped, 1 disabled); failed: fails [2 min 5 s]"
has "test: the slowest tests:"
grep -qE '^ +[0-9]+\.[0-9] s  native tests: passes$' "$work/out" || fail "the test that passed is not timed: $(cat "$work/out")"
if grep -q " s  native tests: skips_itself" "$work/out"; then fail "a skipped test is timed: $(cat "$work/out")"; fi

# Skipped stages are no failure; a stage that failed before CTest wrote its results says so.
summarize 'web build\tpassed\t\t\nweb tests\tpassed\t\t%s\nWindows build\tskipped\tWine missing\t\n'
[ "$status" -eq 0 ] || fail "no stage failed: status $status, expected 0: $(cat "$work/out")"
has "test: every stage run passed"
summarize 'web tests\tfailed\tended with status 2\t%s.gone\n'
[ "$status" -eq 1 ] || fail "failed without results: status $status, expected 1"
has "  failed   web tests: ended with status 2 (no test results: CTest wrote no $work/junit.xml.gone)"

# Many timed tests: the ten slowest, slowest first, with the stage's processor time.
{
  echo '<testsuite>'
  for i in $(seq 30); do echo "<testcase name=\"Suite.Case$i\" status=\"run\" time=\"$i.5\"></testcase>"; done
  echo '</testsuite>'
} >"$work/many.xml"
summarize "native tests\tpassed\t\t$work/many.xml\t61\t97\n"
[ "$status" -eq 0 ] || fail "many tests, all passed: status $status, expected 0: $(tail -3 "$work/out")"
has "  passed   native tests (30 passed, 0 failed, 0 skipped) [1 min 1 s, processor 97 s]"
slowest=$(grep ' s  native tests: ' "$work/out" | sed 's/.*: //' | tr '\n' ' ')
[ "$slowest" = "Suite.Case30 Suite.Case29 Suite.Case28 Suite.Case27 Suite.Case26 Suite.Case25 Suite.Case24 Suite.Case23 Suite.Case22 Suite.Case21 " ] ||
  fail "not the ten slowest in order: $slowest"

# XML as any writer may lay it out: attributes over several lines, a whole case on one line,
# entities in names and output, output in CDATA sections.
cat >"$work/laid-out.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<testsuite name="(empty)"
    tests="3"><testcase
        name="web:Fit&lt;Wide&amp;Tall&gt;.Keeps&quot;Shape&quot;"
        status="fail" time="2.5"><failure message=""/><system-out><![CDATA[<fit> & done
]]></system-out></testcase>
    <testcase name="web:live" status="notrun" time="0"><skipped message="Skipped"/><system-out><![CDATA[starting
SKIPPED: needs <chromium> & "a display"
]]></system-out></testcase>
    <testcase name="windows:A.B" status="run" time="1.3"><system-out>x &lt;/testcase&gt; y</system-out></testcase>
</testsuite>
XML
summarize "tests\tfailed\tended with status 8\t$work/laid-out.xml\n"
has "  failed   tests: ended with status 8 (1 passed, 1 failed, 1 skipped); failed: web:Fit<Wide&Tall>.Keeps\"Shape\""
has "  tests: web:live: needs <chromium> & \"a display\""
has "     2.5 s  tests: web:Fit<Wide&Tall>.Keeps\"Shape\""
has "     1.3 s  tests: windows:A.B"

# A wrong command line is a usage error, not a summary of nothing.
status=0
"$summary" "$work/none" 2>/dev/null || status=$?
[ "$status" -eq 64 ] || fail "a missing results file: status $status, expected 64"
echo "summary: stages, skipped tests with their reasons, failed tests and the status as expected"
