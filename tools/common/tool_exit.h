#pragma once

#include <cstdio>
#include <string>

// How every tool beside the show ends: one line "tool: what: path: reason" on stderr and one of
// three statuses, so that scripts and people read all of them the same way.

inline constexpr int k_tool_usage_status = 64;         // the command line was wrong; nothing was done
inline constexpr int k_tool_failure_status = 2;        // a file or the system failed
inline constexpr int k_tool_interrupted_status = 130;  // 128 + SIGINT, as a shell reports it

// Called first in main: the name every line starts with.
void tool_set_name(const char* name);
const char* tool_name();

// Hooks run before a failure's exit (removing what was staged); the last one set wins.
void tool_on_failure(void (*clean_up)());

// Prints "tool: what: path: reason" (path and reason left out when empty) and exits with
// k_tool_failure_status.
[[noreturn]] void tool_fail(const std::string& what, const std::string& path = {}, const std::string& reason = {});

// tool_fail with the system's words for errno as the reason.
[[noreturn]] void tool_fail_errno(const std::string& what, const std::string& path);

// Prints "tool: what", then the usage on stderr, and exits with k_tool_usage_status.
[[noreturn]] void tool_usage_error(const std::string& what, void (*print_usage)(std::FILE* stream));

// One line "tool: text" on stderr: a note that is not a failure.
void tool_note(const std::string& text);
