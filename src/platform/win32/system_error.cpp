#include "platform/win32/system_error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

struct ErrnoTwin {
    DWORD error;
    int errno_value;
};

// The errors a file name meets most, said as on Linux.
// A grid laid out by hand, kept so.
// clang-format off
constexpr ErrnoTwin k_errno_twins[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},      {ERROR_PATH_NOT_FOUND, ENOENT},  {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_FILE_EXISTS, EEXIST},         {ERROR_ALREADY_EXISTS, EEXIST},  {ERROR_DISK_FULL, ENOSPC},
    {ERROR_HANDLE_DISK_FULL, ENOSPC},    {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
    {ERROR_WRITE_PROTECT, EROFS},        {ERROR_NOT_ENOUGH_MEMORY, ENOMEM}, {ERROR_OUTOFMEMORY, ENOMEM},
};
// clang-format on

}  // namespace

bool system_message(DWORD error, char* text, std::size_t size)
{
    const DWORD capacity = static_cast<DWORD>(size);
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, capacity, nullptr);
    if (length == 0)
        length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                capacity, nullptr);
    while (length > 0 &&
           (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ' || text[length - 1] == '.'))
        --length;
    if (size > 0)
        text[length] = '\0';
    return length > 0;
}

const char* system_error_text(DWORD error)
{
    for (const ErrnoTwin& twin : k_errno_twins)
        if (twin.error == error)
            return std::strerror(twin.errno_value);
    thread_local char text[256];
    if (!system_message(error, text, sizeof text))
        std::snprintf(text, sizeof text, "Windows error %lu", static_cast<unsigned long>(error));
    return text;
}
