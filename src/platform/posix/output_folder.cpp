// The stills' folder on POSIX systems: each file is an unnamed file kept open until the commit
// links them all into place, so that even a killed capture leaves the folder as it was. Where the
// file system has no unnamed files, or the limit of open files allows no more, a file takes a
// hidden name ".NAME.part" instead (which a killed capture leaves behind).

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <string>

#include "platform/output_file.h"
#include "platform/posix/output_file.h"

namespace {

// A file written and not yet named: its unnamed file, or -1 when it has its hidden name.
struct StagedFile {
    int fd;
    char name[NAME_MAX + 1];
};

// Staged files in blocks that never move once made, so that a signal handler can walk them while
// more are being added.
constexpr std::size_t k_block_files = 256;

struct StagedBlock {
    StagedFile files[k_block_files];
    volatile std::sig_atomic_t count = 0;  // raised only once the file it counts is filled in
    StagedBlock* next = nullptr;
};

// Every unnamed file stays open until the commit; the rest of the capture's files (the video, the
// soundtrack, FFmpeg's own) need a few. Past that, files get hidden names.
constexpr rlim_t k_files_kept_for_others = 64;

std::size_t unnamed_files_allowed()
{
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur > k_files_kept_for_others ? limit.rlim_cur - k_files_kept_for_others : 0;
}

bool write_all(int fd, const unsigned char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

constexpr char k_hidden_suffix[] = ".part";
// What a name may take so that its hidden name ".NAME.part" still fits.
constexpr std::size_t k_longest_name = NAME_MAX - 1 - (sizeof k_hidden_suffix - 1);

// By hand, for the signal handler: ".NAME.part" into out (NAME_MAX + 1 bytes).
void hidden_name(const char* name, char* out)
{
    char* p = out;
    *p++ = '.';
    while (*name != '\0')
        *p++ = *name++;
    for (const char* c = k_hidden_suffix; *c != '\0'; ++c)
        *p++ = *c;
    *p = '\0';
}

}  // namespace

struct OutputFolder {
    std::string path;
    int fd = -1;
    std::size_t unnamed_left = 0;  // the open files the unnamed files may still take
    StagedBlock* first = nullptr;
    StagedBlock* last = nullptr;
    char in_flight[NAME_MAX + 1] = {};
};

namespace {

// Closes the unnamed files and forgets every staged file.
void clear_staged(OutputFolder* folder)
{
    StagedBlock* block = folder->first;
    folder->first = nullptr;
    folder->last = nullptr;
    while (block != nullptr) {
        for (std::sig_atomic_t i = 0; i < block->count; ++i)
            if (block->files[i].fd >= 0)
                close(block->files[i].fd);
        StagedBlock* next = block->next;
        delete block;
        block = next;
    }
}

StagedFile* next_staged(OutputFolder* folder)
{
    if (folder->last == nullptr || folder->last->count == static_cast<std::sig_atomic_t>(k_block_files)) {
        auto* block = new StagedBlock;
        if (folder->last == nullptr)
            folder->first = block;
        else
            folder->last->next = block;
        folder->last = block;
    }
    return &folder->last->files[folder->last->count];
}

std::string failure(const std::string& what, const std::string& path, int error)
{
    return what + ": " + path + ": " + std::strerror(error);
}

}  // namespace

OutputFolder* output_folder_open(const char* path, std::string* error)
{
    if (mkdir(path, 0777) != 0 && errno != EEXIST) {
        *error = failure("cannot make", path, errno);
        return nullptr;
    }
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *error = failure("cannot write stills into", path, errno);
        return nullptr;
    }
    auto* folder = new OutputFolder;
    folder->path = path;
    folder->fd = fd;
    folder->unnamed_left = unnamed_files_allowed();
    return folder;
}

bool output_folder_write(OutputFolder* folder, const char* name, const void* data, std::size_t size, std::string* error)
{
    if (std::strlen(name) > k_longest_name) {
        *error = failure("cannot write", folder->path + "/" + name, ENAMETOOLONG);
        return false;
    }
    StagedFile* staged = next_staged(folder);
    std::strcpy(staged->name, name);
    int fd = folder->unnamed_left > 0 ? open_unnamed_file(folder->fd, 0666) : -1;
    const bool unnamed = fd >= 0;
    if (fd < 0 && (folder->unnamed_left == 0 || unnamed_files_unsupported(errno) || errno == EMFILE)) {
        char hidden[NAME_MAX + 1];
        hidden_name(name, hidden);
        fd = openat(folder->fd, hidden, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    }
    bool ok = fd >= 0 && write_all(fd, static_cast<const unsigned char*>(data), size);
    int saved = errno;
    if (unnamed) {
        --folder->unnamed_left;
        staged->fd = fd;
    } else {
        if (fd >= 0 && close(fd) != 0 && ok) {
            ok = false;
            saved = errno;
        }
        staged->fd = -1;
    }
    // A hidden file that could not be made is not counted: there is nothing to remove.
    if (unnamed || fd >= 0)
        folder->last->count = folder->last->count + 1;
    if (!ok)
        *error = failure("cannot write", folder->path + "/" + name, saved);
    return ok;
}

bool output_folder_commit(OutputFolder* folder, std::string* error)
{
    if (folder->first == nullptr)
        return true;
    // Everything on disk before any file takes its name.
    if (syncfs(folder->fd) != 0) {
        *error = failure("cannot write stills into", folder->path, errno);
        output_folder_discard(folder);
        clear_staged(folder);
        return false;
    }
    for (StagedBlock* block = folder->first; block != nullptr; block = block->next)
        for (std::sig_atomic_t i = 0; i < block->count; ++i) {
            const StagedFile& file = block->files[i];
            char hidden[NAME_MAX + 1];
            hidden_name(file.name, hidden);
            const bool named = file.fd >= 0 ? link_into_place(file.fd, folder->fd, file.name, folder->in_flight)
                                            : renameat(folder->fd, hidden, folder->fd, file.name) == 0;
            if (!named) {
                const int reason = errno;
                *error = failure("cannot write", folder->path + "/" + file.name, reason);
                output_folder_discard(folder);
                clear_staged(folder);
                return false;
            }
        }
    clear_staged(folder);
    fsync(folder->fd);
    return true;
}

void output_folder_discard(const OutputFolder* folder)
{
    if (folder == nullptr || folder->fd < 0)
        return;
    if (folder->in_flight[0] != '\0')
        unlinkat(folder->fd, folder->in_flight, 0);
    // Unnamed files go with the process; hidden ones are removed by name (once named, the hidden
    // name is gone and the removal fails harmlessly).
    for (const StagedBlock* block = folder->first; block != nullptr; block = block->next)
        for (std::sig_atomic_t i = 0; i < block->count; ++i)
            if (block->files[i].fd < 0) {
                char hidden[NAME_MAX + 1];
                hidden_name(block->files[i].name, hidden);
                unlinkat(folder->fd, hidden, 0);
            }
}

void output_folder_close(OutputFolder* folder)
{
    if (folder == nullptr)
        return;
    output_folder_discard(folder);
    clear_staged(folder);
    close(folder->fd);
    delete folder;
}
