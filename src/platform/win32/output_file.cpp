// The capture's files on Windows. A regular file's bytes go to a hidden file made new beside it,
// which replaces the file (MoveFileEx) only once complete and on disk: a failed or interrupted
// capture leaves what was there before and removes its own file (a killed one leaves it behind).
// Standard output is switched to binary, so that no byte 10 becomes 13 10; a device (NUL, CON)
// or a pipe is written directly.

#include "platform/output_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform/win32/file_information.h"
#include "platform/win32/system_error.h"

struct OutputFile {
    std::FILE* stream = nullptr;
    std::string temporary;   // the hidden file to remove if the capture stops; empty once named
    std::string final_path;  // what the hidden file becomes
    bool existed = false;    // a file was there already, with this identity
    FileIdentity identity;
};

namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

// path made absolute, so that it keeps naming the same file after -C.
bool full_path(const char* path, std::string* full)
{
    const DWORD needed = GetFullPathNameA(path, 0, nullptr, nullptr);
    if (needed == 0)
        return false;
    full->assign(needed, '\0');
    const DWORD length = GetFullPathNameA(path, needed, full->data(), nullptr);
    if (length == 0 || length >= needed)
        return false;
    full->resize(length);
    return true;
}

// The path of the file an open handle leads to, links followed.
bool final_path_of(HANDLE file, std::string* path)
{
    const DWORD needed = GetFinalPathNameByHandleA(file, nullptr, 0, FILE_NAME_NORMALIZED);
    if (needed == 0)
        return false;
    path->assign(needed, '\0');
    const DWORD length = GetFinalPathNameByHandleA(file, path->data(), needed, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= needed)
        return false;
    path->resize(length);
    return true;
}

OutputFile* fail(OutputFile* output, std::string* reason, const char* text)
{
    *reason = text;
    delete output;
    return nullptr;
}

// A stream over a file handle the C library then owns.
std::FILE* stream_of(HANDLE file)
{
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (fd == -1) {
        CloseHandle(file);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "wb");
    if (stream == nullptr) {
        const int error = errno;
        _close(fd);
        errno = error;
    }
    return stream;
}

// Makes the hidden file ".NAME.PID-N" beside final_path, never over an existing one.
HANDLE create_temporary(OutputFile* output)
{
    const std::size_t separator = output->final_path.find_last_of("\\/");
    const std::string folder = output->final_path.substr(0, separator + 1);
    const std::string name = output->final_path.substr(separator + 1);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        output->temporary = folder + "." + name + "." + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(counter++);
        // Shared for deleting, so that a stop can remove it while it is still open.
        HANDLE file = CreateFileA(output->temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

OutputFile* output_open(const char* path, std::string* reason)
{
    auto* output = new OutputFile;
    if (std::strcmp(path, "-") == 0) {
        if (_setmode(_fileno(stdout), _O_BINARY) == -1)
            return fail(output, reason, std::strerror(errno));
        output->stream = stdout;
        HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
        output->existed = handle != INVALID_HANDLE_VALUE && handle != nullptr &&
                          GetFileType(handle) == FILE_TYPE_DISK && handle_identity(handle, &output->identity);
        return output;
    }
    // An empty name names no file, as one ending in a separator does: said as on Linux, where
    // Windows would speak of a missing environment variable.
    if (*path == '\0')
        return fail(output, reason, std::strerror(EISDIR));
    if (!full_path(path, &output->final_path))
        return fail(output, reason, system_error_text(GetLastError()));

    HANDLE existing = CreateFileA(output->final_path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (existing != INVALID_HANDLE_VALUE) {
        const bool disk = GetFileType(existing) == FILE_TYPE_DISK;
        BY_HANDLE_FILE_INFORMATION information{};
        const bool folder = disk && GetFileInformationByHandle(existing, &information) &&
                            (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        output->existed = disk && handle_identity(existing, &output->identity);
        // A link is replaced by way of the file it leads to, so that the link stays.
        std::string target;
        if (disk && (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
            final_path_of(existing, &target))
            output->final_path = target;
        CloseHandle(existing);
        if (folder)
            return fail(output, reason, std::strerror(EISDIR));
        // Devices and pipes cannot be replaced by a rename, and need not be.
        if (!disk) {
            output->stream = std::fopen(output->final_path.c_str(), "wb");
            return output->stream != nullptr ? output : fail(output, reason, std::strerror(errno));
        }
    }
    if (is_separator(output->final_path.back()))
        return fail(output, reason, std::strerror(EISDIR));

    HANDLE file = create_temporary(output);
    if (file == INVALID_HANDLE_VALUE)
        return fail(output, reason, system_error_text(GetLastError()));
    output->stream = stream_of(file);
    if (output->stream == nullptr) {
        const int error = errno;
        DeleteFileA(output->temporary.c_str());
        return fail(output, reason, std::strerror(error));
    }
    return output;
}

std::FILE* output_stream(const OutputFile& output) { return output.stream; }

bool output_is_pipe(const OutputFile& output)
{
    return output.stream != nullptr &&
           GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(output.stream)))) == FILE_TYPE_PIPE;
}

bool output_replaces(const OutputFile& output, FileIdentity* identity)
{
    if (output.existed)
        *identity = output.identity;
    return output.existed;
}

bool output_commit(OutputFile* output, std::string* reason)
{
    if (output->temporary.empty()) {
        if (std::fflush(output->stream) == 0)
            return true;
        *reason = std::strerror(errno);
        return false;
    }
    // Flushed from the C library, then from the system's cache, before the file takes the name.
    bool done = std::fflush(output->stream) == 0;
    if (!done)
        *reason = std::strerror(errno);
    if (done && !FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(output->stream))))) {
        done = false;
        *reason = system_error_text(GetLastError());
    }
    if (std::fclose(output->stream) != 0 && done) {
        done = false;
        *reason = std::strerror(errno);
    }
    output->stream = nullptr;
    if (done && !MoveFileExA(output->temporary.c_str(), output->final_path.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        done = false;
        *reason = system_error_text(GetLastError());
    }
    if (!done)
        DeleteFileA(output->temporary.c_str());
    output->temporary.clear();
    return done;
}

void output_discard(const OutputFile* output)
{
    if (output != nullptr && !output->temporary.empty())
        DeleteFileA(output->temporary.c_str());
}

void output_close(OutputFile* output)
{
    if (output == nullptr)
        return;
    output_discard(output);
    if (output->stream != nullptr && output->stream != stdout)
        std::fclose(output->stream);
    delete output;
}
