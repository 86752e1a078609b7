// A folder's one absolute name on Linux, and in the browser's file system, which Emscripten
// gives the same calls.

#include "platform/program_file.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

std::string canonical_folder(const std::string& path)
{
    char resolved[PATH_MAX];
    struct stat status;
    if (realpath(path.c_str(), resolved) == nullptr || stat(resolved, &status) != 0 || !S_ISDIR(status.st_mode))
        return {};
    return resolved;
}
