// A folder's one absolute name on Windows.

#include "platform/program_file.h"

#include <windows.h>

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
