// Data files on POSIX systems: opened with O_NONBLOCK, so that a FIFO without a writer cannot
// hold the show in open(), then checked with fstat before anything is read.

#include "platform/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

DataFile data_file_open(const char* path)
{
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {nullptr, 0, std::strerror(errno)};
    struct stat status;
    if (fstat(fd, &status) != 0) {
        const int error = errno;
        close(fd);
        return {nullptr, 0, std::strerror(error)};
    }
    if (!S_ISREG(status.st_mode)) {
        close(fd);
        return {nullptr, 0, k_not_a_regular_file};
    }
    // Reads of a regular file never wait anyway; the flag goes so that the stream behaves as usual.
    const int flags = fcntl(fd, F_GETFL);
    std::FILE* stream = flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1 ? nullptr : fdopen(fd, "rb");
    if (stream == nullptr) {
        const int error = errno;
        close(fd);
        return {nullptr, 0, std::strerror(error)};
    }
    return {stream, static_cast<long long>(status.st_size), nullptr};
}
