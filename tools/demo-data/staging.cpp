#include "staging.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

// Fixed storage, so that the signal handler reads it without allocating.
constexpr int k_max_entries = 32;
constexpr std::size_t k_max_path = 4096;

struct Staging {
    char folder[k_max_path];  // empty when there is nothing to remove
    char files[k_max_entries][k_max_path];
    int file_count;
    char folders[k_max_entries][k_max_path];  // parents before children
    int folder_count;
    std::string target;
    std::string parent;
};

Staging g_staging;

bool copy_path(char (&to)[k_max_path], const std::string& from)
{
    if (from.size() >= k_max_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(to, from.c_str(), from.size() + 1);
    return true;
}

void on_stop_signal(int signal)
{
    abandon_staging();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool sync_path(const char* path)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = fsync(fd) == 0;
    const int error = errno;
    close(fd);
    errno = error;
    return synced;
}

bool fail_keeping_errno()
{
    const int error = errno;
    abandon_staging();
    errno = error;
    return false;
}

// Blocks SIGINT and SIGTERM while the finished set changes places: an interrupt then would leave
// the old set half removed under the temporary name.
void block_stop_signals(bool block)
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(block ? SIG_BLOCK : SIG_UNBLOCK, &signals, nullptr);
}

}  // namespace

bool begin_staging(const std::string& directory, const std::vector<std::string>& folders,
                   const std::vector<std::string>& files)
{
    if (folders.size() > k_max_entries || files.size() > k_max_entries) {
        errno = E2BIG;
        return false;
    }
    g_staging.parent = directory;
    g_staging.target = directory + "/data";
    std::string folder = directory + "/.data-new-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr)
        return false;
    if (!copy_path(g_staging.folder, folder))
        return fail_keeping_errno();
    for (const std::string& file : files)
        if (!copy_path(g_staging.files[g_staging.file_count++], folder + "/" + file))
            return fail_keeping_errno();
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);
    // mkdtemp makes the folder private; the data set is as readable as any folder made by mkdir.
    if (chmod(folder.c_str(), 0755) != 0)
        return fail_keeping_errno();
    for (const std::string& sub : folders) {
        if (!copy_path(g_staging.folders[g_staging.folder_count], folder + "/" + sub) ||
            mkdir(g_staging.folders[g_staging.folder_count], 0755) != 0)
            return fail_keeping_errno();
        ++g_staging.folder_count;
    }
    return true;
}

bool stage_file(const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    const std::string path = std::string(g_staging.folder) + "/" + name;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool written = true;
    for (std::size_t done = 0; written && done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            written = false;
    }
    written = written && fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    errno = error;
    return written;
}

bool finish_staging(bool replace)
{
    for (int i = g_staging.folder_count - 1; i >= 0; --i)
        if (!sync_path(g_staging.folders[i]))
            return fail_keeping_errno();
    if (!sync_path(g_staging.folder))
        return fail_keeping_errno();

    block_stop_signals(true);
    const std::string staged = g_staging.folder;
    const char* target = g_staging.target.c_str();
    std::string old_set;  // where a replaced set lies once the new one is in place
    int moved = renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, target, RENAME_NOREPLACE);
    if (moved != 0 && errno == EEXIST && replace) {
        moved = renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, target, RENAME_EXCHANGE);
        if (moved == 0)
            old_set = staged;
    }
    if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without these renames: the old set steps aside just before.
        const std::string aside = staged + "-old";
        struct stat existing;
        if (lstat(target, &existing) != 0) {
            moved = rename(staged.c_str(), target);
        } else if (!replace) {
            errno = EEXIST;
        } else if (rename(target, aside.c_str()) == 0) {
            moved = rename(staged.c_str(), target);
            const int error = errno;
            if (moved == 0)
                old_set = aside;
            else
                rename(aside.c_str(), target);
            errno = error;
        }
    }
    if (moved != 0) {
        block_stop_signals(false);
        return fail_keeping_errno();
    }
    // The temporary name may now hold the old set: not for the signal handler's list.
    g_staging.folder[0] = '\0';
    std::error_code ignored;
    if (!old_set.empty())
        std::filesystem::remove_all(old_set, ignored);  // removes links, never what they point to
    sync_path(g_staging.parent.c_str());
    block_stop_signals(false);
    return true;
}

void abandon_staging()
{
    if (g_staging.folder[0] == '\0')
        return;
    for (int i = 0; i < g_staging.file_count; ++i)
        unlink(g_staging.files[i]);
    for (int i = g_staging.folder_count - 1; i >= 0; --i)
        rmdir(g_staging.folders[i]);
    rmdir(g_staging.folder);
    g_staging.folder[0] = '\0';
}
