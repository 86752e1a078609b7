#include "platform/message_box.h"
#include "platform/win32/win32_internal.h"

#include <cstdio>
#include <cstring>

Win32State g_win32 = {};

void win32_record_failure(const char* what, DWORD error)
{
    char words[160] = "";
    if (error != 0 &&
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, words,
                       sizeof words, nullptr) != 0) {
        // Windows ends its words with a full stop and a line break.
        for (char* end = words + std::strlen(words); end > words && (end[-1] == '\n' || end[-1] == '\r' || end[-1] == '.');)
            *--end = '\0';
    }
    if (words[0] != '\0')
        std::snprintf(g_win32.failure_reason, sizeof g_win32.failure_reason, "%s: %s", what, words);
    else
        std::snprintf(g_win32.failure_reason, sizeof g_win32.failure_reason, "%s", what);
}

const char* platform_failure_reason() { return g_win32.failure_reason; }

void message_box_show(PlatformWindow* owner, const char* text, const char* caption)
{
    MessageBoxA(owner != nullptr ? owner->hwnd : nullptr, text, caption, MB_OK);
}
