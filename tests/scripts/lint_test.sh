#!/usr/bin/env bash
# scripts/lint on a made-up tree with the project's .clang-format and eslint.config.mjs: it passes
# a tree in form, and on one with a fault of each kind it fails, naming each fault's check and
# place and none of the files in form.
#   lint_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

tree=$work/tree
mkdir -p "$tree/src" "$tree/tests"
cp "$source_dir/.clang-format" "$source_dir/eslint.config.mjs" "$tree/"
ln -s "$source_dir/node_modules" "$tree/node_modules"
cat >"$tree/src/good.cpp" <<'EOF'
#include <cstdio>

namespace {

int twice(int value) { return 2 * value; }

}  // namespace

// The page's JavaScript.
// clang-format off
EM_JS(int, page_value, (), {
    return Module["value"] === undefined ? -1 : Module["value"];
});
// clang-format on

int main()
{
    std::printf("%d\n", twice(page_value()));
    return 0;
}
EOF
cat >"$tree/src/page.js" <<'EOF'
export function frame_count(frames) {
  return document.querySelectorAll(frames).length;
}
EOF
cat >"$tree/tests/serve.mjs" <<'EOF'
import { readFileSync } from 'node:fs';

export const size = readFileSync(process.argv[1]).length;
EOF
# Two blanks at a line's end are Markdown's line break.
printf 'A line  \nand its break.\n' >"$tree/README.md"
git -C "$tree" init -q
git -C "$tree" add -A

# lint TREE: its status in $status, its output in $work/out.
lint() {
  status=0
  "$source_dir/scripts/lint" "$tree" >"$work/out" 2>&1 || status=$?
  if [ "$status" -eq 77 ]; then
    cat "$work/out"
    exit 77
  fi
}

lint
[ "$status" -eq 0 ] || { cat "$work/out"; fail "the tree in form: status $status, not 0"; }
grep -q "^lint: 1 C++ files and 3 scripts pass" "$work/out" || { cat "$work/out"; fail "no summary of what passed"; }

# A fault of each kind, each in a file of its own.
printf 'int  sum( int a,int b ) {return a+b;}\n' >"$tree/src/cramped.cpp"
cat >"$tree/src/web.cpp" <<'EOF'
int value = 1;

EM_JS(int, page_flag, (), {
    return Module["flag"] ? 1 : 0;
});
EOF
cat >"$tree/tests/unused.mjs" <<'EOF'
const unused = 1;
export const used = 2;
EOF
printf 'function page() {\n  return window.innerWidth;\n}\nexport { page };\n' >"$tree/tests/page_in_node.mjs"
printf 'one\r\ntwo\r\n' >"$tree/crlf.txt"
printf 'trailing \nok\n' >"$tree/blanks.txt"
printf 'a:\n\tindented by a tab\n' >"$tree/tabs.txt"
printf 'no newline' >"$tree/unended.txt"
git -C "$tree" add -A

lint
[ "$status" -eq 1 ] || { cat "$work/out"; fail "a tree with faults: status $status, not 1"; }
expect() {
  grep -qF -- "$1" "$work/out" || { cat "$work/out"; fail "not reported: $1"; }
}
expect "lint: layout: src/cramped.cpp is not laid out as .clang-format says"
expect "+int sum(int a, int b) { return a + b; }"
expect "lint: page-js: src/web.cpp:3: JavaScript within clang-format's reach"
expect "'unused' is assigned a value but never used"
# A .mjs is Node's: the browser's window is not defined there.
expect "'window' is not defined"
expect "lint: text: crlf.txt:1:"
expect "lint: text: blanks.txt:1: blanks at the line's end"
expect "lint: text: tabs.txt:2: a tab in the indentation"
expect "lint: text: unended.txt: no newline at the end"
expect "lint: failed: layout page-js eslint text"
for good in src/good.cpp src/page.js tests/serve.mjs README.md; do
  ! grep -q "$good" "$work/out" || { cat "$work/out"; fail "$good is in form, yet reported"; }
done
echo "scripts/lint passes a tree in form and names each of a tree's faults"
