#pragma once

#include <windows.h>

#include <cstddef>

// A Windows error code in words a user reads, alike on both systems where they can be: the C
// library's strerror words for the errors that have an errno twin ("No such file or directory"),
// the system's own sentence, without its full stop, for the rest. The text lasts until the next
// call on the same thread.
const char* system_error_text(DWORD error);

// The system's own sentence for a Windows error, in English where the system has it, without
// the full stop and line break it ends with, into text (size bytes); false, text empty, when the
// system has none. Called by system_error_text and by the window's failure reasons.
bool system_message(DWORD error, char* text, std::size_t size);
