// The running program's file on Linux: /proc/self/exe, the one name the kernel keeps for it.

#include "platform/program_file.h"

#include <unistd.h>

#include <climits>

std::string program_folder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/'));
}
