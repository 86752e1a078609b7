# The C++ the project lays out, and what lays it out: scripts/format and scripts/lint read both here.
# clang-format of one version, since another lays the same code out otherwise; it finds .clang-format
# above each file.
k_clang_format=clang-format-14
# cpp_sources: every C++ source and header git knows in the current directory, NUL-separated.
cpp_sources() { git ls-files -z -- '*.cpp' '*.h'; }
