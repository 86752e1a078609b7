#include "staging.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

// Fixed storage, so that the signal handler reads it without allocating.
constexpr int k_max_entries = 32;
constexpr std::size_t k_max_path = 4096;

// Temporary folders are this prefix and mkdtemp's six characters; a replaced set stepping aside
// on a file system without exchanges takes the same name and the aside suffix.
constexpr char k_prefix[] = ".data-new-";
constexpr char k_template[] = ".data-new-XXXXXX";
constexpr std::size_t k_name_length = sizeof k_template - 1;
constexpr char k_aside_suffix[] = "-old";
// Written first into every folder a run stages in or sets aside, naming the program and its
// process: only a folder holding it, whose process is gone, is taken for a killed run's leftover.
// A person's own folder of the same name is never touched.
constexpr char k_marker_name[] = ".velmorastik-staging";
constexpr char k_marker_text[] = "made by velmorastik, process ";
constexpr std::size_t k_marker_max = 64;
// A later run's clean-up may take a folder made an instant ago, before its lock, for a leftover.
constexpr int k_create_attempts = 8;

int system_rename(const char* from, const char* to, unsigned int flags)
{
    return flags == 0 ? rename(from, to) : renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
}

StagingCalls g_calls = {.sync = fsync, .rename = system_rename};

struct Staging {
    char folder[k_max_path];  // empty when there is nothing to remove
    char marker[k_max_path];
    char files[k_max_entries][k_max_path];
    int file_count;
    char folders[k_max_entries][k_max_path];  // parents before children
    int folder_count;
    int lock = -1;  // the temporary folder, locked while this run lives; -1 when none
    std::string target;
    std::string parent;
};

Staging g_staging;
// A folder this run created to hold the set, removed with the temporary folder; empty when none.
char g_made_directory[k_max_path];

bool copy_path(char (&to)[k_max_path], const std::string& from)
{
    if (from.size() >= k_max_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(to, from.c_str(), from.size() + 1);
    return true;
}

// Only when empty: whatever else came into it meanwhile is not ours.
void remove_made_directory()
{
    if (g_made_directory[0] == '\0')
        return;
    rmdir(g_made_directory);
    g_made_directory[0] = '\0';
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
    const bool synced = g_calls.sync(fd) == 0;
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

bool is_staging_name(const std::string& name)
{
    if (name.compare(0, sizeof k_prefix - 1, k_prefix) != 0)
        return false;
    return name.size() == k_name_length || name.substr(std::min(name.size(), k_name_length)) == k_aside_suffix;
}

// The folder at path, opened without following a link and locked; -1 when it is not a folder,
// is locked by another run (errno EWOULDBLOCK), or is no longer at path, removed or replaced
// since it was opened (errno ENOENT).
int open_locked(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat opened;
    struct stat named;
    int error = 0;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &opened) != 0 || lstat(path.c_str(), &named) != 0)
        error = errno;
    else if (opened.st_nlink == 0 || named.st_dev != opened.st_dev || named.st_ino != opened.st_ino)
        error = ENOENT;
    if (error != 0) {
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// Writes the marker into the folder open as folder_fd. False, with errno set, when it cannot.
bool write_marker(int folder_fd)
{
    const int fd = openat(folder_fd, k_marker_name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    char text[k_marker_max];
    const int length = std::snprintf(text, sizeof text, "%s%ld\n", k_marker_text, static_cast<long>(getpid()));
    const bool written = write(fd, text, static_cast<std::size_t>(length)) == length;
    const int error = errno;
    close(fd);
    errno = error;
    return written;
}

// Whether the folder open as folder_fd holds our marker, a regular file naming a process that
// is gone.
bool marked_by_dead_run(int folder_fd)
{
    const int fd = openat(folder_fd, k_marker_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status;
    char text[k_marker_max] = {};
    const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    const ssize_t length = regular ? read(fd, text, sizeof text - 1) : -1;
    close(fd);
    const std::size_t prefix = sizeof k_marker_text - 1;
    if (length <= static_cast<ssize_t>(prefix) || std::strncmp(text, k_marker_text, prefix) != 0)
        return false;
    char* end = nullptr;
    const long pid = std::strtol(text + prefix, &end, 10);
    if (pid <= 0 || *end != '\n')
        return false;
    return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

void staging_use_calls(const StagingCalls& calls) { g_calls = calls; }

std::vector<std::string> remove_stale_staging(const std::string& directory)
{
    std::vector<std::string> removed;
    DIR* folder = opendir(directory.c_str());
    if (folder == nullptr)
        return removed;
    std::vector<std::string> candidates;
    while (const dirent* entry = readdir(folder))
        if (is_staging_name(entry->d_name))
            candidates.push_back(directory + "/" + entry->d_name);
    closedir(folder);
    for (const std::string& path : candidates) {
        const int fd = open_locked(path);
        if (fd < 0)
            continue;  // not a folder (not ours to judge), or a live run's
        struct stat owner;
        std::error_code error;
        if (fstat(fd, &owner) == 0 && owner.st_uid == geteuid() && marked_by_dead_run(fd)) {
            std::filesystem::remove_all(path, error);  // removes links, never what they point to
            if (!error)
                removed.push_back(path);
        }
        close(fd);
    }
    return removed;
}

bool begin_staging(const std::string& directory, const std::vector<std::string>& folders,
                   const std::vector<std::string>& files)
{
    if (folders.size() > k_max_entries || files.size() > k_max_entries) {
        errno = E2BIG;
        return false;
    }
    g_staging.parent = directory;
    g_staging.target = directory + "/data";
    g_staging.file_count = 0;
    g_staging.folder_count = 0;
    std::string folder;
    for (int attempt = 0; g_staging.lock < 0; ++attempt) {
        folder = directory + "/" + k_template;
        if (attempt == k_create_attempts || mkdtemp(folder.data()) == nullptr)
            return false;
        g_staging.lock = open_locked(folder);
        // Gone, or locked by the clean-up that is removing it: another name. Anything else fails.
        if (g_staging.lock < 0 && errno != ENOENT && errno != EWOULDBLOCK) {
            const int error = errno;
            rmdir(folder.c_str());
            errno = error;
            return false;
        }
    }
    if (!copy_path(g_staging.folder, folder) || !copy_path(g_staging.marker, folder + "/" + k_marker_name))
        return fail_keeping_errno();
    // First, so that the folder is known for ours from its first file on.
    if (!write_marker(g_staging.lock))
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
    written = written && g_calls.sync(fd) == 0;
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
    // The set goes in place without the marker; a run killed between the two leaves a folder
    // that no later run removes, which is the safe side.
    if (unlink(g_staging.marker) != 0) {
        block_stop_signals(false);
        return fail_keeping_errno();
    }
    g_staging.marker[0] = '\0';
    const std::string staged = g_staging.folder;
    const char* target = g_staging.target.c_str();
    std::string old_set;  // where a replaced set lies once the new one is in place
    // A replaced folder lies under a temporary name until it is removed: locked, so that no other
    // run takes it for a leftover meanwhile, and so that a later run removes it if this one dies.
    // It is marked as ours first, so that a later run removes it if this one dies meanwhile.
    const int old_lock = replace ? open(target, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
    const bool old_marked = old_lock >= 0 && write_marker(old_lock);
    if (old_lock >= 0)
        flock(old_lock, LOCK_EX | LOCK_NB);
    int moved = g_calls.rename(staged.c_str(), target, RENAME_NOREPLACE);
    if (moved != 0 && errno == EEXIST && replace) {
        moved = g_calls.rename(staged.c_str(), target, RENAME_EXCHANGE);
        if (moved == 0)
            old_set = staged;
    }
    if (moved != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without these renames: the old set steps aside just before.
        const std::string aside = staged + k_aside_suffix;
        struct stat existing;
        if (lstat(target, &existing) != 0) {
            moved = g_calls.rename(staged.c_str(), target, 0);
        } else if (!replace) {
            errno = EEXIST;
        } else if (g_calls.rename(target, aside.c_str(), 0) == 0) {
            moved = g_calls.rename(staged.c_str(), target, 0);
            const int error = errno;
            if (moved == 0)
                old_set = aside;
            else
                g_calls.rename(aside.c_str(), target, 0);
            errno = error;
        }
    }
    if (moved != 0) {
        const int error = errno;
        if (old_marked)
            unlinkat(old_lock, k_marker_name, 0);
        if (old_lock >= 0)
            close(old_lock);
        block_stop_signals(false);
        errno = error;
        return fail_keeping_errno();
    }
    // The temporary name may now hold the old set: not for the signal handler's list; the folder
    // made for the set now holds it.
    g_staging.folder[0] = '\0';
    g_made_directory[0] = '\0';
    std::error_code ignored;
    if (!old_set.empty())
        std::filesystem::remove_all(old_set, ignored);  // removes links, never what they point to
    if (old_lock >= 0)
        close(old_lock);
    close(g_staging.lock);
    g_staging.lock = -1;
    sync_path(g_staging.parent.c_str());
    block_stop_signals(false);
    return true;
}

bool staging_made_directory(const std::string& directory)
{
    if (!copy_path(g_made_directory, directory))
        return false;
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);
    return true;
}

void abandon_staging()
{
    if (g_staging.folder[0] == '\0') {
        remove_made_directory();
        return;
    }
    for (int i = 0; i < g_staging.file_count; ++i)
        unlink(g_staging.files[i]);
    if (g_staging.marker[0] != '\0')
        unlink(g_staging.marker);
    g_staging.marker[0] = '\0';
    for (int i = g_staging.folder_count - 1; i >= 0; --i)
        rmdir(g_staging.folders[i]);
    rmdir(g_staging.folder);
    g_staging.folder[0] = '\0';
    if (g_staging.lock >= 0)
        close(g_staging.lock);
    g_staging.lock = -1;
    remove_made_directory();
}

std::vector<std::string> staging_folders(const std::vector<std::string>& files)
{
    std::vector<std::string> folders;
    for (const std::string& file : files)
        for (std::size_t slash = file.find('/'); slash != std::string::npos; slash = file.find('/', slash + 1))
            if (std::find(folders.begin(), folders.end(), file.substr(0, slash)) == folders.end())
                folders.push_back(file.substr(0, slash));
    return folders;
}
