#include "platform/file_identity.h"

#include <sys/stat.h>

bool file_identity(const char* path, FileIdentity* identity)
{
    struct stat status;
    if (stat(path, &status) != 0)
        return false;
    *identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
    return true;
}
