// Data files in the page: the page has fetched the data set into the module's in-memory file
// system before the show starts (a file the server did not have is simply absent), so opening is
// an fopen and a check that the name is a regular file.

#include "platform/data_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

DataFile data_file_open(const char* path)
{
    struct stat status;
    if (stat(path, &status) != 0)
        return {nullptr, 0, std::strerror(errno)};
    if (!S_ISREG(status.st_mode))
        return {nullptr, 0, k_not_a_regular_file};
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr)
        return {nullptr, 0, std::strerror(errno)};
    return {stream, static_cast<long long>(status.st_size), nullptr};
}
