#pragma once

struct PlatformWindow;

// Exit status of every fatal end: a failure must never look like the success (1) or the user's
// own stop (0).
inline constexpr int k_fatal_exit_status = 2;

// The one way a fatal failure ends the process: writes "text caption" to stderr, followed by the
// platform's reason when it has one, shows the message box (owned by owner when given) where a
// screen exists, and exits with k_fatal_exit_status. Releases nothing first; the platform puts
// the desktop's display mode back on the way out.
[[noreturn]] void fatal_error(const char* text, const char* caption, PlatformWindow* owner = nullptr);

// fatal_error(text, path) for a file that cannot be used: first writes
// "cannot <action> <path>: <reason>" to stderr.
[[noreturn]] void fatal_file_error(const char* text, const char* action, const char* path, const char* reason);

// fatal_file_error with the reason the system reported in errno.
[[noreturn]] void fatal_system_error(const char* text, const char* action, const char* path);

// How a program without a screen reports a fatal end instead, in its own one-line form: what
// failed, the file (or the caption), and the reason when there is one. Set once by the tools
// beside the show; the handler does not return.
using FatalReport = void (*)(const char* what, const char* path, const char* reason);
void fatal_report_with(FatalReport report);
