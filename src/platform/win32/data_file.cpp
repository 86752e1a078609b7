// Data files on Windows: opened with every sharing mode (the show never locks a user's file) and
// kept only when the system calls them a disk file that is not a folder; a pipe, a console or a
// device such as NUL is refused before anything is read, which also means nothing ever waits.

#include "platform/data_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform/win32/system_error.h"

DataFile data_file_open(const char* path)
{
    // Folders open too (backup semantics), so that they are told apart from missing files.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {nullptr, 0, system_error_text(GetLastError())};
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CloseHandle(file);
        return {nullptr, 0, k_not_a_regular_file};
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        return {nullptr, 0, system_error_text(error)};
    }
    // From here the C library owns the handle: closing the stream closes it.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (fd == -1) {
        CloseHandle(file);
        return {nullptr, 0, std::strerror(errno)};
    }
    std::FILE* stream = _fdopen(fd, "rb");
    if (stream == nullptr) {
        const int error = errno;
        _close(fd);
        return {nullptr, 0, std::strerror(error)};
    }
    return {stream, static_cast<long long>(size.QuadPart), nullptr};
}
