// The running program's file on Windows: the module file name of the process's own executable.

#include "platform/program_file.h"

#include <windows.h>

#include <vector>

std::string program_folder()
{
    // The name may be longer than MAX_PATH (a \\?\ path); a buffer too small is cut short.
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            const std::string program(path.data(), length);
            const std::size_t separator = program.find_last_of("\\/");
            return separator == std::string::npos ? std::string() : program.substr(0, separator);
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

std::string canonical_folder(const std::string& path)
{
    if (path.empty())
        return {};
    const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return {};
    std::string full(needed, '\0');
    const DWORD length = GetFullPathNameA(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return {};
    full.resize(length);
    const DWORD attributes = GetFileAttributesA(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return {};
    // "C:\show\" keeps its separator only where it is the drive's root.
    if (full.size() > 3 && (full.back() == '\\' || full.back() == '/'))
        full.pop_back();
    return full;
}
