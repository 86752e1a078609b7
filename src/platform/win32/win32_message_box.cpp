#include "platform/message_box.h"
#include "platform/win32/system_error.h"
#include "platform/win32/win32_internal.h"

#include <cstdio>

Win32State g_win32 = {};

void win32_record_failure(const char* what, DWORD error)
{
    char words[160] = "";
    if (error != 0 && system_message(error, words, sizeof words))
        std::snprintf(g_win32.failure_reason, sizeof g_win32.failure_reason, "%s: %s", what, words);
    else
        std::snprintf(g_win32.failure_reason, sizeof g_win32.failure_reason, "%s", what);
}

const char* platform_failure_reason() { return g_win32.failure_reason; }

void message_box_show(PlatformWindow* owner, const char* text, const char* caption)
{
    MessageBoxA(owner != nullptr ? owner->hwnd : nullptr, text, caption, MB_OK);
}
