// The page's program has no file of its own: the data set is the one the page put in data/.

#include "platform/program_file.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

std::string program_folder() { return std::string(); }

std::string canonical_folder(const std::string& path)
{
    char resolved[PATH_MAX];
    struct stat status;
    if (realpath(path.c_str(), resolved) == nullptr || stat(resolved, &status) != 0 || !S_ISDIR(status.st_mode))
        return std::string();
    return resolved;
}
