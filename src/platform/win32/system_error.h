#pragma once

#include <windows.h>

// A Windows error code in words a user reads, alike on both systems where they can be: the C
// library's strerror words for the errors that have an errno twin ("No such file or directory"),
// the system's own sentence, without its full stop, for the rest. The text lasts until the next
// call on the same thread.
const char* system_error_text(DWORD error);
