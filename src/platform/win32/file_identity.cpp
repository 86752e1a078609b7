// A file's identity on Windows: the serial number of its volume and its index there, which two
// names of one file (hard links, or paths through links) share.

#include "platform/file_identity.h"

#include <windows.h>

#include "platform/win32/file_information.h"

bool file_identity(const char* path, FileIdentity* identity)
{
    // No access asked: the file's information is readable even where its contents are not.
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool known = handle_identity(file, identity);
    CloseHandle(file);
    return known;
}

bool handle_identity(HANDLE file, FileIdentity* identity)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information))
        return false;
    *identity = {information.dwVolumeSerialNumber,
                 std::uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow};
    return true;
}
