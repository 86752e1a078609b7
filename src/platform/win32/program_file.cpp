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
