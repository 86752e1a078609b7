#include "platform/posix/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/output_file.h"

struct OutputFile {
    std::FILE* stream = nullptr;
    int folder = -1;                    // the folder of a staged file, open for linkat, renameat, fsync
    bool unnamed = false;               // staged as an unnamed file
    char temporary[NAME_MAX + 1] = {};  // a name in folder to remove if the capture stops; else empty
    char final_name[NAME_MAX + 1] = {};
    // The file written or replaced, when one existed already: what must not be one of the inputs.
    bool existed = false;
    dev_t device = 0;
    ino_t inode = 0;
};

namespace {

mode_t current_umask()
{
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// The folder and the name of path, the folder open for the *at calls.
bool open_folder(const char* path, OutputFile* output, std::string* folder, const char** name)
{
    const char* slash = std::strrchr(path, '/');
    *folder = slash == nullptr ? "." : slash == path ? "/" : std::string(path, slash);
    *name = slash == nullptr ? path : slash + 1;
    if (**name == '\0' || std::strlen(*name) > NAME_MAX) {
        errno = **name == '\0' ? EISDIR : ENAMETOOLONG;
        return false;
    }
    output->folder = open(folder->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return output->folder >= 0;
}

// The file systems without unnamed files: a hidden file ".NAME.XXXXXX" beside the output.
int open_named_temporary(const std::string& folder, const char* name, OutputFile* output)
{
    std::string temporary = ".";
    temporary.append(name).append(".XXXXXX");
    if (temporary.size() >= sizeof output->temporary) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::string pattern = folder + "/" + temporary;
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0)
        std::strcpy(output->temporary, pattern.c_str() + pattern.size() - temporary.size());
    return fd;
}

void close_folder(OutputFile* output)
{
    if (output->folder >= 0)
        close(output->folder);
    output->folder = -1;
}

// "/proc/self/fd/N": the one way an unprivileged process can name an unnamed file to linkat.
std::string fd_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace

int open_unnamed_file(int folder, mode_t mode)
{
    // linkat needs /proc to name the file; without it the file could never be given a name.
    if (access("/proc/self/fd", X_OK) != 0) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
}

bool unnamed_files_unsupported(int error)
{
    // EISDIR: a kernel without O_TMPFILE; EOPNOTSUPP: a file system without it; EINVAL: either.
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

bool link_into_place(int fd, int folder, const char* name, char* in_flight)
{
    const std::string source = fd_path(fd);
    if (linkat(AT_FDCWD, source.c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0)
        return true;
    if (errno != EEXIST)
        return false;
    // linkat never replaces a name: link under a short hidden name (any output name fits beside
    // it), then rename that over the old file, which swaps the two atomically.
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string hidden = ".velmorastik-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        std::strcpy(in_flight, hidden.c_str());
        if (linkat(AT_FDCWD, source.c_str(), folder, in_flight, AT_SYMLINK_FOLLOW) == 0) {
            const bool renamed = renameat(folder, in_flight, folder, name) == 0;
            const int error = errno;
            if (!renamed)
                unlinkat(folder, in_flight, 0);
            in_flight[0] = '\0';
            errno = error;
            return renamed;
        }
        if (errno != EEXIST)
            break;
    }
    in_flight[0] = '\0';
    return false;
}

namespace {

void discard_output(const OutputFile* output);

// A replaced file keeps its permissions. False, with errno set, when the file cannot be created.
bool open_output(const char* path, OutputFile* output)
{
    if (std::strcmp(path, "-") == 0) {
        output->stream = stdout;
        struct stat status;
        if (fstat(STDOUT_FILENO, &status) == 0) {
            output->existed = true;
            output->device = status.st_dev;
            output->inode = status.st_ino;
        }
        return true;
    }
    char resolved[PATH_MAX];
    struct stat status;
    if (lstat(path, &status) == 0 && S_ISLNK(status.st_mode) && realpath(path, resolved) != nullptr)
        path = resolved;
    output->existed = stat(path, &status) == 0;
    if (output->existed) {
        output->device = status.st_dev;
        output->inode = status.st_ino;
    }
    if (output->existed && S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        return false;
    }
    // Devices and pipes cannot be replaced by a rename, and need not be.
    if (output->existed && !S_ISREG(status.st_mode)) {
        output->stream = std::fopen(path, "wb");
        return output->stream != nullptr;
    }

    std::string folder;
    const char* name = nullptr;
    if (!open_folder(path, output, &folder, &name))
        return false;
    std::strcpy(output->final_name, name);
    // The finished file keeps the permissions of the one it replaces, or gets those fopen would
    // give (an unnamed or mkstemp file starts with others).
    const mode_t mode = output->existed ? status.st_mode & 07777 : 0666 & ~current_umask();
    int fd = open_unnamed_file(output->folder, mode);
    output->unnamed = fd >= 0;
    if (fd < 0 && unnamed_files_unsupported(errno))
        fd = open_named_temporary(folder, name, output);
    if (fd < 0) {
        const int error = errno;
        close_folder(output);
        errno = error;
        return false;
    }
    fchmod(fd, mode);
    output->stream = fdopen(fd, "wb");
    if (output->stream == nullptr) {
        const int error = errno;
        close(fd);
        discard_output(output);
        close_folder(output);
        output->temporary[0] = '\0';
        errno = error;
        return false;
    }
    return true;
}

// False, with errno set, on failure; the staged file is then removed.
bool commit_output(OutputFile* output)
{
    if (output->folder < 0)
        return std::fflush(output->stream) == 0;
    bool done = std::fflush(output->stream) == 0 && fsync(fileno(output->stream)) == 0;
    int error = errno;
    if (done && output->unnamed &&
        !link_into_place(fileno(output->stream), output->folder, output->final_name, output->temporary)) {
        done = false;
        error = errno;
    }
    if (std::fclose(output->stream) != 0 && done) {
        done = false;
        error = errno;
    }
    output->stream = nullptr;
    if (done && !output->unnamed &&
        renameat(output->folder, output->temporary, output->folder, output->final_name) != 0) {
        done = false;
        error = errno;
    }
    if (!done) {
        discard_output(output);
        output->temporary[0] = '\0';
        close_folder(output);
        errno = error;
        return false;
    }
    output->temporary[0] = '\0';
    fsync(output->folder);  // the new name lasts only once the folder itself is on disk
    close_folder(output);
    return true;
}

void discard_output(const OutputFile* output)
{
    // An unnamed file goes with the process; only a name needs removing.
    if (output->temporary[0] != '\0')
        unlinkat(output->folder, output->temporary, 0);
}

}  // namespace

OutputFile* output_open(const char* path, std::string* reason)
{
    auto* output = new OutputFile;
    if (open_output(path, output))
        return output;
    *reason = std::strerror(errno);
    delete output;
    return nullptr;
}

std::FILE* output_stream(const OutputFile& output) { return output.stream; }

bool output_is_pipe(const OutputFile& output)
{
    struct stat status;
    return output.stream != nullptr && fstat(fileno(output.stream), &status) == 0 &&
           (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
}

bool output_replaces(const OutputFile& output, FileIdentity* identity)
{
    if (!output.existed)
        return false;
    *identity = {static_cast<std::uint64_t>(output.device), static_cast<std::uint64_t>(output.inode)};
    return true;
}

bool output_commit(OutputFile* output, std::string* reason)
{
    if (commit_output(output))
        return true;
    *reason = std::strerror(errno);
    return false;
}

void output_discard(const OutputFile* output)
{
    if (output != nullptr)
        discard_output(output);
}

void output_close(OutputFile* output)
{
    if (output == nullptr)
        return;
    discard_output(output);
    if (output->stream != nullptr && output->stream != stdout)
        std::fclose(output->stream);
    close_folder(output);
    delete output;
}
