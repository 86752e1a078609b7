#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

bool open_output(const char* path, OutputFile* output)
{
    if (std::strcmp(path, "-") == 0) {
        output->stream = stdout;
        return true;
    }
    // A link is followed: the file it names is the one replaced, and the link stays.
    char resolved[PATH_MAX];
    struct stat status;
    if (lstat(path, &status) == 0 && S_ISLNK(status.st_mode) && realpath(path, resolved) != nullptr)
        path = resolved;
    const bool exists = stat(path, &status) == 0;
    if (exists && S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        return false;
    }
    // Devices and pipes cannot be replaced by a rename, and need not be.
    if (exists && !S_ISREG(status.st_mode)) {
        output->stream = std::fopen(path, "wb");
        return output->stream != nullptr;
    }

    const char* slash = std::strrchr(path, '/');
    const std::string folder = slash == nullptr ? "." : slash == path ? "/" : std::string(path, slash);
    const char* name = slash == nullptr ? path : slash + 1;
    std::string temporary = ".";
    temporary.append(name).append(".XXXXXX");
    if (*name == '\0' || temporary.size() >= sizeof output->temporary) {
        errno = *name == '\0' ? EISDIR : ENAMETOOLONG;
        return false;
    }
    output->folder = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (output->folder < 0)
        return false;
    std::string pattern = folder + "/" + temporary;
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        const int error = errno;
        close(output->folder);
        output->folder = -1;
        errno = error;
        return false;
    }
    std::strcpy(output->temporary, pattern.c_str() + folder.size() + 1);
    std::strcpy(output->final_name, name);
    // mkstemp makes the file private; the finished file keeps the permissions of the one it
    // replaces, or gets those fopen would give.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, exists ? status.st_mode & 07777 : 0666 & ~mask);
    output->stream = fdopen(fd, "wb");
    if (output->stream == nullptr) {
        const int error = errno;
        close(fd);
        discard_output(output);
        errno = error;
        return false;
    }
    return true;
}

bool commit_output(OutputFile* output)
{
    if (output->temporary[0] == '\0')
        return std::fflush(output->stream) == 0;
    bool done = std::fflush(output->stream) == 0 && fsync(fileno(output->stream)) == 0;
    int error = errno;
    if (std::fclose(output->stream) != 0 && done) {
        done = false;
        error = errno;
    }
    output->stream = nullptr;
    if (done && renameat(output->folder, output->temporary, output->folder, output->final_name) != 0) {
        done = false;
        error = errno;
    }
    if (!done) {
        discard_output(output);
        errno = error;
        return false;
    }
    output->temporary[0] = '\0';
    fsync(output->folder);  // the rename lasts only once the folder itself is on disk
    return true;
}

void discard_output(const OutputFile* output)
{
    if (output->temporary[0] != '\0')
        unlinkat(output->folder, output->temporary, 0);
}
